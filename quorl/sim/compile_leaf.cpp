// The compiler's leaves and look-aheads: the level of a variable read, a
// name or literal as a slot, the clock and shape of an expression, `pre'
// (the previous frame, or a memory computed after the equations), and the
// `current's an expression holds, compiled before it.
#include <algorithm>
#include <cstring>

#include "quorl/sim/compiler.h"

namespace sim {

uint8_t Compiler::level_of_var(int symbol) {
    const Symbol& s = _syms[(size_t)symbol];
    if (s.var < 0) return 0;
    if (s.compiled) return s.level;
    // Read under `pre' before its equation: what is assumed, checked later.
    auto known = _assumed_vars.find(symbol);
    uint8_t assumed = known == _assumed_vars.end() ? 0 : known->second;
    _var_assumptions.emplace_back(symbol, assumed);
    return assumed;
}

// A variable, a literal or a constant: its slot. A variable read by an
// equation outside `pre' is read within the instant: an edge of the graph.
bool Compiler::leaf(Exp* e, int clock, Res* r) {
    (void)clock;
    int id = e->ident();
    auto cannot_run = [&] {
        return fail({"UNSUPPORTED"}, "'" + std::string(_prg->symbol(id)) + "' cannot run");
    };
    if (_instant_only) return instant_leaf(e, r) || cannot_run();
    Symbol& s = sym(id);
    if (!s.typed) return cannot_run();
    switch (s.mode) {
        case INPUT_m:
        case OUTPUT_m:
        case LOCAL_m:
            if (_graph && !_in_pre) {
                _graph->add_read(id);
                if (s.mode == INPUT_m && s.clock) {  // its clock first
                    std::vector<int> chain;
                    clock_chain(s.clock, &chain);
                    for (int c : chain) _graph->add_read(c);
                }
            }
            *r = Res{s.slot, level_of_var(id), s.kind};
            return true;
        case USR_CONST_m:
        case BOOL_CONST_m:
        case INT_CONST_m:
        case REAL_CONST_m:
        case ENUM_CONST_m:
            if (!s.slot) {
                Val v{};
                const SimType* t = nullptr;
                if (s.mode == USR_CONST_m) {
                    auto it = _bound.constants.find(id);
                    if (it == _bound.constants.end())
                        return fail({"UNBOUND", _prg->symbol(id)},
                                    "constant '" + std::string(_prg->symbol(id)) + "' has no value");
                    v = it->second;
                } else if (!literal_value(id, &v, &t)) {
                    return cannot_run();
                }
                s.slot = new_slot(v, false);
                _code->constants.push_back(s.slot);
            }
            *r = Res{s.slot, 0, s.kind, true};
            return true;
        default: return cannot_run();
    }
}

// A leaf of an expression of one instant, compiled beside a program's code:
// variables are the program's, values are loaded into temporaries.
bool Compiler::instant_leaf(Exp* e, Res* r) {
    int id = e->ident();
    IdentInfo* info = _prg->get_ident_info(id);
    const SimType* type = info ? _codec->type_of(info->type()) : nullptr;
    if (!type) return false;
    Val value{};
    switch (info->ident_mode()) {
        case INPUT_m:
        case OUTPUT_m:
        case LOCAL_m: {
            int index = var_index(id);
            if (index < 0) return false;
            const SimVar& v = vars()[(size_t)index];
            if (v.active != 1) emit(OP_PRESENT, 0, v.active, (uint32_t)id);
            *r = Res{var_slot(index), (uint8_t)v.level, type->kind};
            return true;
        }
        case USR_CONST_m: {
            auto it = _bound.constants.find(id);
            if (it == _bound.constants.end()) return false;
            value = it->second;
            break;
        }
        default: {
            const SimType* t = nullptr;
            if (!literal_value(id, &value, &t)) return false;
        }
    }
    uint32_t slot = temp();
    uint64_t bits;
    memcpy(&bits, &value, 8);
    emit_copy(OP_CONST, type->kind, slot, (uint32_t)bits, (uint32_t)(bits >> 32));
    *r = Res{slot, 0, type->kind};
    return true;
}

// The clock of an expression: that of its first operand that is not a
// constant; `when' samples on its variable, `current' comes back to the
// clock of its operand's clock. 0 for an expression of constants alone.
int Compiler::clock_of(Exp* root) {
    auto known = _clock_memo.find(root);
    if (known != _clock_memo.end()) return known->second;
    struct Item {
        Exp* e;
        int next;
    };
    std::vector<Item> stack{{root, 0}};
    std::vector<int> values;
    while (!stack.empty()) {
        Item& it = stack.back();
        Exp* e = it.e;
        auto memo = _clock_memo.find(e);
        if (memo != _clock_memo.end() && it.next == 0) {
            values.push_back(memo->second);
            stack.pop_back();
            continue;
        }
        if (e->arity() == 0) {
            IdentInfo* info = _prg->get_ident_info(e->ident());
            IdentMode m = info ? info->ident_mode() : USR_CONST_m;
            bool flow = m == INPUT_m || m == OUTPUT_m || m == LOCAL_m;
            values.push_back(flow ? info->clock() : 0);
            stack.pop_back();
            continue;
        }
        if (e->nature() == WHEN_n) {
            values.push_back(e->operand(1)->ident());
            _clock_memo[e] = values.back();
            stack.pop_back();
            continue;
        }
        if (it.next < e->arity()) {
            Exp* o = e->operand(it.next++);
            stack.push_back(Item{o, 0});
            continue;
        }
        size_t base = values.size() - (size_t)e->arity();
        int clock = 0;
        for (size_t k = base; k < values.size() && !clock; ++k) clock = values[k];
        if (e->nature() == CURRENT_n && clock) {
            IdentInfo* var = _prg->get_ident_info(clock);
            clock = var && clock != _prg->base_clock() ? var->clock() : clock;
        }
        values.resize(base);
        values.push_back(clock);
        _clock_memo[e] = clock;
        stack.pop_back();
    }
    return values.back();
}

// The kinds of the values of an expression.
std::vector<Kind> Compiler::shape_of(Exp* root) {
    std::vector<std::pair<Exp*, int>> stack{{root, 0}};
    std::vector<std::vector<Kind>> values;
    auto kind_of = [this](const EcType* t) {
        const SimType* s = _codec->type_of(t);
        return s ? s->kind : Kind::INT;
    };
    auto params = [&](const EcType* t) {
        std::vector<Kind> out;
        if (t && t->is_tuple())
            for (IntList* l = t->name_list(); l; l = l->tail())
                out.push_back(kind_of(_prg->find_named_type(l->head())));
        else
            out.push_back(kind_of(t));
        return out;
    };
    while (!stack.empty()) {
        auto& it = stack.back();
        Exp* e = it.first;
        int n = e->nature();
        if (e->arity() == 0) {
            IdentInfo* info = _prg->get_ident_info(e->ident());
            values.push_back({kind_of(info ? info->type() : nullptr)});
            stack.pop_back();
            continue;
        }
        // Most kinds take their shape from the first operand (a condition's
        // from the second).
        int needed = n == TUPLE_n ? e->arity() : n == IF_n ? 2 : 1;
        if (it.second < needed) {
            stack.emplace_back(e->operand(it.second++), 0);
            continue;
        }
        size_t base = values.size() - (size_t)needed;
        std::vector<Kind> shape;
        if (n == TUPLE_n) {
            for (size_t k = base; k < values.size(); ++k) shape.push_back(values[k][0]);
        } else if (n == IF_n) {
            shape = values[base + 1];
        } else if (n == CALL_n) {
            FuncInfo* f = _prg->get_func_info(e->order());
            shape = params(f ? f->outputs_type() : nullptr);
        } else if (n == NOT_n || compares(n) || (n >= AND_n && n <= IMPL_n) || n == NOR_n ||
                   n == DIESE_n) {
            shape = {Kind::BOOL};
        } else if (n == INT2REAL_n) {
            shape = {Kind::REAL};
        } else if (n == REAL2INT_n) {
            shape = {Kind::INT};
        } else {
            shape = values[base];
        }
        values.resize(base);
        values.push_back(shape);
        stack.pop_back();
    }
    return values.back();
}

// `pre' of a variable reads the previous frame: the variable's own slot on
// the base clock, its memory on another clock; `pre' of a constant is the
// constant after the first instant; `pre' of any other expression reads
// its memory, computed after the equations.
bool Compiler::pre(Exp* e, int clock, bool after_first, uint32_t first_dst,
                   std::vector<Res>* out) {
    // The first value goes to the caller's target when there is one; the
    // caller moves the others.
    auto dst = [&](size_t k) { return k == 0 && first_dst != UINT32_MAX ? first_dst : temp(); };
    Exp* x = e->operand(0);
    if (x->arity() == 0) {
        Res r{};
        _in_pre = true;  // read in the previous frame: not within the instant
        bool known = leaf(x, clock, &r);
        _in_pre = false;
        if (!known) return false;
        IdentInfo* info = _prg->get_ident_info(x->ident());
        IdentMode m = info->ident_mode();
        uint32_t d = dst(0);
        if (m != INPUT_m && m != OUTPUT_m && m != LOCAL_m) {
            emit_copy(OP_PREV, r.kind, d, r.slot, clock_slots(clock).fnow);
            out->push_back(Res{d, 1, r.kind});
            return true;
        }
        int c = info->clock();
        uint32_t from = r.slot;
        // After the first instant of the clock (the right of ->), the pre
        // of a value never nil is never nil.
        bool never_nil = after_first && r.level == 0 && c == clock;
        if (c != _prg->base_clock()) {
            auto known = _var_memory.find(x->ident());
            if (known == _var_memory.end()) {
                known = _var_memory.emplace(x->ident(), new_slot(Val{}, true)).first;
                _var_memories.emplace_back(known->second, x->ident());
            }
            from = known->second;
        }
        emit_copy(never_nil ? OP_PREV0 : r.level ? OP_PREVN : OP_PREV, r.kind, d, from,
                  clock_slots(c).fnow);
        out->push_back(Res{d, never_nil ? (uint8_t)0 : later(r.level), r.kind});
        return true;
    }
    auto known = _memory_of.find(e);
    if (known == _memory_of.end()) {
        Memory mem{x, clock, {}, shape_of(x), _owner};
        for (size_t k = 0; k < mem.kinds.size(); ++k) mem.slots.push_back(new_slot(Val{}, true));
        known = _memory_of.emplace(e, _memories.size()).first;
        _memories.push_back(std::move(mem));
    }
    auto known_level = _assumed_exps.find(x);
    uint8_t assumed = known_level == _assumed_exps.end() ? 0 : known_level->second;
    _exp_assumptions.emplace_back(x, assumed);
    uint32_t fnow = clock_slots(clock).fnow;
    const Memory& mem = _memories[known->second];
    for (size_t k = 0; k < mem.slots.size(); ++k) {
        uint32_t d = dst(k);
        emit_copy(OP_PREVN, mem.kinds[k], d, mem.slots[k], fnow);
        out->push_back(Res{d, later(assumed), mem.kinds[k]});
    }
    return true;
}

// Compiles the `current's of root that stand outside every `pre' before
// root itself, innermost first, so that none is computed inside a branch.
bool Compiler::hoist_currents(Exp* root) {
    std::vector<std::pair<Exp*, int>> stack{{root, 0}};
    std::vector<Exp*> found;
    while (!stack.empty()) {
        auto& it = stack.back();
        Exp* e = it.first;
        if (e->nature() == PRE_n || it.second >= e->arity()) {
            if (e->nature() == CURRENT_n) found.push_back(e);
            stack.pop_back();
            continue;
        }
        stack.emplace_back(e->operand(it.second++), 0);
    }
    for (Exp* c : found) {
        std::vector<Res> r;
        if (!expression(c, _prg->base_clock(), {}, &r)) return false;
        _current_of[c] = r;
    }
    return true;
}

}  // namespace sim
