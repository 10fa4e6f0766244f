// The compiler's expression half: one expression into instructions, with an
// explicit stack (depth costs no call depth). An `if' or `->' whose
// branches are small and can neither fail nor call out is computed whole
// and selected without a jump; otherwise it jumps over the branch it does
// not take. The operands of `pre' are computed after the equations (their
// memories); the operand of `current' where its clock ticks, never inside a
// branch (an expression that holds one in a branch is compiled again with
// its `current's first).
#include <algorithm>
#include <cstring>

#include "quorl/sim/compiler.h"

namespace sim {

namespace {

// Instructions a speculatively computed pair of branches may take.
const size_t kSpeculate = 16;

Op int_op(int n, bool overflow) {
    switch (n) {
        case PLUS_n: return overflow ? OP_IADDO : OP_IADD;
        case MINUS_n: return overflow ? OP_ISUBO : OP_ISUB;
        case TIMES_n: return overflow ? OP_IMULO : OP_IMUL;
        case POWER_n: return overflow ? OP_IPOWO : OP_IPOW;
        case DIV_n:
        case SLASH_n: return OP_IDIV;
        case MOD_n: return OP_IMOD;
        case EQUAL_n: return OP_IEQ;
        case NEQ_n: return OP_INE;
        case LT_n: return OP_ILT;
        case LTE_n: return OP_ILE;
        case GT_n: return OP_IGT;
        case GTE_n: return OP_IGE;
        case AND_n: return OP_AND;
        case OR_n: return OP_OR;
        case XOR_n: return OP_XOR;
        default: return OP_IMPL;
    }
}

Op real_op(int n) {
    switch (n) {
        case PLUS_n: return OP_RADD;
        case MINUS_n: return OP_RSUB;
        case TIMES_n: return OP_RMUL;
        case SLASH_n: return OP_RDIV;
        case POWER_n: return OP_RPOW;
        case EQUAL_n: return OP_REQ;
        case NEQ_n: return OP_RNE;
        case LT_n: return OP_RLT;
        case LTE_n: return OP_RLE;
        case GT_n: return OP_RGT;
        default: return OP_RGE;
    }
}

bool may_fail(Op op) {
    switch (op) {
        case OP_IADDO:
        case OP_ISUBO:
        case OP_IMULO:
        case OP_INEGO:
        case OP_IDIV:
        case OP_IMOD:
        case OP_IPOW:
        case OP_IPOWO:
        case OP_R2I:
        case OP_CALL:
        case OP_PRESENT: return true;
        default: return false;
    }
}

bool compares(int n) { return n >= EQUAL_n && n <= LT_n; }

}  // namespace

// A temporary that is the latest taken is free again.
void Compiler::release(uint32_t slot) {
    if (_temp_next > 0 && _temps[_temp_next - 1] == slot) --_temp_next;
}

uint32_t Compiler::emit(Op op, uint32_t d, uint32_t a, uint32_t b) {
    if (may_fail(op)) {
        ++_unsafe;
        if (_owner_pending && !_instant_only) {
            _part_owners[_part].push_back(_pending_owner);
            _owner_pending = false;
        }
    }
    Ins i{};
    i.op = op;
    i.d = d;
    i.a = a;
    i.b = b;
    _out->push_back(i);
    return (uint32_t)(_out->size() - 1);
}

Mark Compiler::mark() const {
    return Mark{_out->size(), _code->calls.size(), _code->lists.size(), _temp_next, 0, _unsafe};
}

void Compiler::rollback(const Mark& m) {
    _out->resize(m.ins);
    _code->calls.resize(m.calls);
    _code->lists.resize(m.lists);
    _temp_next = m.temps;
    _unsafe = m.unsafe;
}

uint8_t Compiler::level_of_var(int symbol) {
    const Symbol& s = _syms[(size_t)symbol];
    if (s.var < 0) return 0;
    if (s.compiled) return vars()[(size_t)s.var].level;
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
            *r = Res{s.slot, 0, s.kind};
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
            *r = Res{v.slot, v.level, type->kind};
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
    emit(OP_CONST, slot, (uint32_t)bits, (uint32_t)(bits >> 32));
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
            emit(OP_PREV, d, r.slot, clock_slots(clock).fnow);
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
        emit(never_nil ? OP_PREV0 : r.level ? OP_PREVN : OP_PREV, d, from, clock_slots(c).fnow);
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
        emit(OP_PREVN, d, mem.slots[k], fnow);
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

bool Compiler::expression(Exp* root, int clock, const std::vector<uint32_t>& dsts,
                          std::vector<Res>* out) {
    std::vector<uint32_t>& pool = _pool;
    std::vector<Res>& res = _res;
    std::vector<Frame>& frames = _frames;
    pool.assign(dsts.begin(), dsts.end());
    res.clear();
    frames.clear();
    _branches.clear();
    // The operands are read soon, and a variable's leaf can be anywhere in
    // memory: each node asks for all of them when it is pushed.
    // A node's operands inherit what is known of the instant (after the
    // first one of the clock), but for a change of clock.
    auto push = [&](Exp* e, int c, int dst, bool after_first) {
        for (int k = 0; k < e->arity(); ++k) __builtin_prefetch(e->operand(k));
        frames.push_back(Frame{e, c, 0, dst, (uint32_t)res.size(), -1, after_first});
    };
    auto branch = [&](Frame& fr) -> Branch& {
        if (fr.branch < 0) {
            fr.branch = (int)_branches.size();
            _branches.push_back(Branch{});
        }
        return _branches[(size_t)fr.branch];
    };
    push(root, clock, dsts.empty() ? -1 : 0, false);
    // The k-th target of a frame: the caller's slot, or a new temporary.
    auto target = [&](const Frame& f, size_t k) {
        return f.dst >= 0 ? pool[(size_t)f.dst + k] : temp();
    };
    auto place = [&](const Frame& f, size_t k, Res r) {
        if (f.dst < 0 || pool[(size_t)f.dst + k] == r.slot) return r;
        uint32_t d = pool[(size_t)f.dst + k];
        emit(r.level ? OP_MOVN : OP_MOV, d, r.slot);
        return Res{d, r.level, r.kind};
    };
    // A node's values replace its operands'.
    auto finishv = [&](const Res* values, size_t n) {
        Frame& f = frames.back();
        res.resize(f.base);
        res.insert(res.end(), values, values + n);
        frames.pop_back();
    };
    auto finish = [&](Res value) { finishv(&value, 1); };
    // The temporaries of the operands from `from' on are free again once the
    // instruction that reads them is emitted (it reads before it writes).
    auto consume = [&](size_t from) {
        for (size_t i = res.size(); i-- > from;) release(res[i].slot);
    };
    auto unsupported = [&](Exp* e) {
        return fail({"UNSUPPORTED"}, std::string("'") + opkey(e->nature()) + "' (" +
                                         nodekey(e->nature()) + ") cannot run");
    };
    while (!frames.empty()) {
        size_t fi = frames.size() - 1;
        Frame& f = frames[fi];
        Exp* e = f.e;
        const int n = e->nature();
        if (e->arity() == 0) {
            Res r{};
            if (!leaf(e, f.clock, &r)) return false;
            finish(place(f, 0, r));
            continue;
        }
        if (_instant_only && (n == PRE_n || n == ARROW_n || n == WHEN_n || n == CURRENT_n))
            return fail({"UNSUPPORTED"}, std::string("'") + opkey(n) +
                                             "' cannot stand in an expression of one instant");
        switch (n) {
            case PRE_n: {
                std::vector<Res> r;
                if (!pre(e, f.clock, f.after_first, f.dst >= 0 ? pool[(size_t)f.dst] : UINT32_MAX, &r))
                    return false;
                for (size_t k = 1; k < r.size(); ++k) r[k] = place(f, k, r[k]);
                finishv(r.data(), r.size());
                continue;
            }
            case WHEN_n: {
                if (f.stage++ == 0) {
                    if (_graph) _graph->add_read(e->operand(1)->ident());
                    IdentInfo* sampler = _prg->get_ident_info(e->operand(1)->ident());
                    push(e->operand(0), sampler ? sampler->clock() : f.clock, f.dst, false);
                    continue;
                }
                frames.pop_back();  // the operand's values are this node's
                continue;
            }
            case CURRENT_n: {
                auto hoisted = _current_of.find(e);
                if (hoisted != _current_of.end()) {
                    std::vector<Res> r = hoisted->second;
                    for (size_t k = 0; k < r.size(); ++k) r[k] = place(f, k, r[k]);
                    finishv(r.data(), r.size());
                    continue;
                }
                int c = clock_of(e->operand(0));
                if (!c || c == _prg->base_clock()) {  // on the base clock: the operand itself
                    if (f.stage++ == 0) {
                        push(e->operand(0), f.clock, f.dst, f.after_first);
                        continue;
                    }
                    frames.pop_back();
                    continue;
                }
                if (f.stage == 0) {
                    if (_conditional > 0) _need_hoist = true;
                    emit_clock(c);
                    branch(f).jf = emit(OP_GUARD, 0, clock_slots(c).act, 0);
                    f.stage = 1;
                    push(e->operand(0), c, -1, false);
                    continue;
                }
                uint32_t act = clock_slots(c).act;
                Branch& g = branch(f);
                (*_out)[g.jf].b = (uint32_t)(_out->size() - g.jf - 1);
                // Its memory: the operand's values at the last tick of its clock.
                std::vector<uint32_t>& memory = _current_memory[e];
                while (memory.size() < res.size() - f.base) memory.push_back(new_slot(Val{}, true));
                std::vector<Res> r;
                for (size_t k = f.base; k < res.size(); ++k) {
                    Res v = res[k];
                    uint32_t m = memory[k - f.base];
                    emit(OP_MEMSAVE, m, v.slot | (v.level ? kNilFlag : 0), act);
                    r.push_back(Res{m, kInf, v.kind});
                }
                consume(f.base);
                for (size_t k = 0; k < r.size(); ++k) r[k] = place(f, k, r[k]);
                finishv(r.data(), r.size());
                continue;
            }
            case IF_n:
            case ARROW_n: {
                // Operands: the condition (the clock's first instant for ->),
                // the branch taken when it holds, the other one.
                Exp* first = n == IF_n ? e->operand(1) : e->operand(0);
                Exp* second = n == IF_n ? e->operand(2) : e->operand(1);
                if (f.stage == 0) {
                    f.stage = 1;
                    if (n == IF_n) {
                        push(e->operand(0), f.clock, -1, f.after_first);
                        continue;
                    }
                    res.push_back(Res{clock_slots(f.clock).fnow, 0, Kind::BOOL});
                }
                if (f.stage == 1) {
                    auto jump = _jump_form.find(e);
                    if (jump != _jump_form.end()) {
                        branch(f).count = jump->second;
                        f.stage = 10;
                    } else {
                        Branch& b = branch(f);
                        b.mark = mark();
                        b.mark.res = res.size();
                        f.stage = 2;
                        push(first, f.clock, -1, f.after_first);
                        continue;
                    }
                }
                if (f.stage == 2) {
                    f.stage = 3;
                    push(second, f.clock, -1, n == ARROW_n || f.after_first);
                    continue;
                }
                Res cond = res[f.base];
                if (f.stage == 3) {
                    size_t k = (res.size() - f.base - 1) / 2;
                    Branch& b = branch(f);
                    if (_unsafe != b.mark.unsafe || _out->size() - b.mark.ins > kSpeculate) {
                        rollback(b.mark);
                        res.resize(b.mark.res);
                        _jump_form[e] = (int)k;
                        b.count = (int)k;
                        f.stage = 10;
                    } else {
                        if (k == 1) consume(f.base);
                        std::vector<Res> r;
                        for (size_t i = 0; i < k; ++i) {
                            Res a = res[f.base + 1 + i], b = res[f.base + 1 + k + i];
                            uint8_t level = n == ARROW_n
                                                ? (b.level >= 2 ? b.level : std::min<uint8_t>(a.level, 1))
                                                : std::max({cond.level, a.level, b.level});
                            bool nil = cond.level || a.level || b.level;
                            uint32_t d = target(f, i);
                            emit(nil ? OP_SELN : OP_SEL, d, a.slot, b.slot);
                            emit(OP_ARG, 0, cond.slot);
                            r.push_back(Res{d, level, a.kind});
                        }
                        finishv(r.data(), r.size());
                        continue;
                    }
                }
                if (f.stage == 10) {
                    if (f.dst < 0) {
                        f.dst = (int)pool.size();
                        for (int i = 0; i < branch(f).count; ++i) pool.push_back(temp());
                    }
                    Branch& b = branch(f);
                    if (cond.level) b.jnil = emit(OP_JNIL, 0, cond.slot, 0);
                    b.jf = emit(OP_JF, 0, cond.slot, 0);
                    ++_conditional;
                    f.stage = 11;
                    push(first, f.clock, f.dst, f.after_first);
                    continue;
                }
                Branch& b = branch(f);
                size_t k = (size_t)b.count;
                size_t from = f.base + 1 + (f.stage == 11 ? 0 : k);
                for (size_t i = 0; i < k; ++i)
                    if (!res[from + i].level) emit(OP_NILCLR, pool[(size_t)f.dst + i]);
                if (f.stage == 11) {
                    b.jend = emit(OP_JMP, 0, 0);
                    (*_out)[b.jf].b = (uint32_t)(_out->size() - b.jf - 1);
                    f.stage = 12;
                    push(second, f.clock, f.dst, n == ARROW_n || f.after_first);
                    continue;
                }
                --_conditional;
                if (cond.level) {
                    uint32_t skip = emit(OP_JMP, 0, 0);
                    (*_out)[b.jnil].b = (uint32_t)(_out->size() - b.jnil - 1);
                    for (size_t i = 0; i < k; ++i) emit(OP_NILSET, pool[(size_t)f.dst + i]);
                    (*_out)[skip].a = (uint32_t)(_out->size() - skip - 1);
                }
                (*_out)[b.jend].a = (uint32_t)(_out->size() - b.jend - 1);
                std::vector<Res> r;
                for (size_t i = 0; i < k; ++i) {
                    Res a = res[f.base + 1 + i], b = res[f.base + 1 + k + i];
                    uint8_t level = n == ARROW_n
                                        ? (b.level >= 2 ? b.level : std::min<uint8_t>(a.level, 1))
                                        : std::max({cond.level, a.level, b.level});
                    r.push_back(Res{pool[(size_t)f.dst + i], level, a.kind});
                }
                finishv(r.data(), r.size());
                continue;
            }
            case TUPLE_n: {
                if (f.stage < e->arity()) {
                    int i = f.stage++;
                    push(e->operand(i), f.clock, f.dst >= 0 ? f.dst + i : -1, f.after_first);
                    continue;
                }
                frames.pop_back();  // the members' values are the tuple's
                continue;
            }
            case CALL_n: {
                if (f.stage++ == 0) {
                    push(e->operand(0), f.clock, -1, f.after_first);
                    continue;
                }
                int function = e->order();
                FuncInfo* fn = _prg->get_func_info(function);
                if (!fn) return unsupported(e);
                if (!_bound.functions.count(function))
                    return fail({"UNBOUND", _prg->symbol(function)},
                                "function '" + std::string(_prg->symbol(function)) +
                                    "' has no command");
                CallSite site;
                site.function = function;
                site.variable = _owner;
                uint8_t level = 0;
                for (size_t k = f.base; k < res.size(); ++k) {
                    site.args.push_back(res[k].slot);
                    level = std::max(level, res[k].level);
                }
                auto types = [&](const EcType* t, std::vector<const SimType*>* out) {
                    if (t && t->is_tuple())
                        for (IntList* l = t->name_list(); l; l = l->tail())
                            out->push_back(_codec->type_of(_prg->find_named_type(l->head())));
                    else
                        out->push_back(_codec->type_of(t));
                };
                types(fn->inputs_type(), &site.arg_types);
                types(fn->outputs_type(), &site.result_types);
                consume(f.base);  // the call reads its arguments before it writes
                std::vector<Res> r;
                for (size_t k = 0; k < site.result_types.size(); ++k) {
                    const SimType* t = site.result_types[k];
                    if (!t) return unsupported(e);
                    site.results.push_back(target(f, k));
                    r.push_back(Res{site.results.back(), level, t->kind});
                }
                site.nil_aware = level > 0;
                _code->calls.push_back(std::move(site));
                emit(OP_CALL, 0, (uint32_t)(_code->calls.size() - 1));
                finishv(r.data(), r.size());
                continue;
            }
            case DIESE_n:
            case NOR_n: {
                if (f.stage < e->arity()) {
                    push(e->operand(f.stage++), f.clock, -1, f.after_first);
                    continue;
                }
                uint32_t list = (uint32_t)_code->lists.size();
                _code->lists.push_back((uint32_t)(res.size() - f.base));
                uint8_t level = 0;
                for (size_t k = f.base; k < res.size(); ++k) {
                    _code->lists.push_back(res[k].slot);
                    level = std::max(level, res[k].level);
                }
                consume(f.base);
                uint32_t d = target(f, 0);
                emit(n == DIESE_n ? OP_DIESE : OP_NOR, d, list, level ? 1 : 0);
                finish(Res{d, level, Kind::BOOL});
                continue;
            }
            case NOT_n:
            case UMINUS_n:
            case INT2REAL_n:
            case REAL2INT_n: {
                if (f.stage++ == 0) {
                    push(e->operand(0), f.clock, -1, f.after_first);
                    continue;
                }
                Res a = res[f.base];
                Op op = n == NOT_n        ? OP_NOT
                        : n == INT2REAL_n ? OP_I2R
                        : n == REAL2INT_n ? OP_R2I
                        : a.kind == Kind::REAL ? OP_RNEG
                        : _options.overflow_error ? OP_INEGO
                                                  : OP_INEG;
                Kind kind = n == NOT_n ? Kind::BOOL
                            : n == INT2REAL_n ? Kind::REAL
                            : n == REAL2INT_n ? Kind::INT
                                              : a.kind;
                consume(f.base);
                uint32_t d = target(f, 0);
                if (a.level) emit(OP_NIL1, d, a.slot);
                emit(op, d, a.slot);
                finish(Res{d, a.level, kind});
                continue;
            }
            default: break;
        }
        if (n < AND_n || n > POWER_n) return unsupported(e);
        // Binary operators.
        if (f.stage < 2) {
            push(e->operand(f.stage++), f.clock, -1, f.after_first);
            continue;
        }
        size_t k = (res.size() - f.base) / 2;
        Kind kind = compares(n) || (n >= AND_n && n <= IMPL_n) ? Kind::BOOL : res[f.base].kind;
        if (k == 1) {
            Res a = res[f.base], b = res[f.base + 1];
            Op op = a.kind == Kind::REAL ? real_op(n) : int_op(n, _options.overflow_error);
            consume(f.base);
            uint32_t d = target(f, 0);
            if (a.level || b.level) emit(OP_NIL2, d, a.slot, b.slot);
            emit(op, d, a.slot, b.slot);
            finish(Res{d, std::max(a.level, b.level), kind});
            continue;
        }
        // Tuples compared member by member.
        uint8_t level = 0;
        std::vector<uint32_t> parts;
        for (size_t i = 0; i < k; ++i) {
            Res a = res[f.base + i], b = res[f.base + k + i];
            Op op = a.kind == Kind::REAL ? real_op(n) : int_op(n, _options.overflow_error);
            uint32_t d = temp();
            if (a.level || b.level) emit(OP_NIL2, d, a.slot, b.slot);
            emit(op, d, a.slot, b.slot);
            level = std::max({level, a.level, b.level});
            parts.push_back(d);
        }
        uint32_t d = target(f, 0);
        Op join = n == EQUAL_n ? OP_AND : OP_OR;
        if (level) emit(OP_NIL2, d, parts[0], parts[1]);
        emit(join, d, parts[0], parts[1]);
        for (size_t i = 2; i < k; ++i) {
            if (level) emit(OP_NIL2, d, d, parts[i]);
            emit(join, d, d, parts[i]);
        }
        finish(Res{d, level, kind});
    }
    out->insert(out->end(), res.begin(), res.end());
    return true;
}

}  // namespace sim
