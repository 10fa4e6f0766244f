// The compiler's program half: slots for every variable, literal, clock
// and memory; the code of one step, in the order it runs:
//   the first-instant flags of the clocks (each from the previous frame),
//   the inputs on clocks other than the base clock (the base clock's are
//     put in their slots before the code runs),
//   the equations in the schedule's order, a block guarded by its clock for
//     each variable on another clock than the base clock,
//   the assertions,
//   every clock's activity again, then the memories of `pre' (computed
//     where their clock ticks, kept where it does not),
//   the clocks' states for the next instant.
#include <cstring>

#include "corvel/symbols.h"
#include "quorl/sim/compiler.h"
#include "quorl/sim/schedule.h"

namespace sim {

bool Compiler::fail(std::vector<std::string> code, std::string message) {
    _error->code = std::move(code);
    _error->message = std::move(message);
    return false;
}

uint32_t Compiler::new_slot(Val init, bool nil) {
    if (_instant_only) return _code->nslots + (uint32_t)_instant_slots++;
    _code->init.push_back(init);
    _code->init_nil.push_back(nil ? 1 : 0);
    return _code->nslots++;
}

uint32_t Compiler::temp() {
    if (_temp_next == _temps.size()) _temps.push_back(new_slot(Val{}, false));
    return _temps[_temp_next++];
}

const SimType* Compiler::named_type(int type_name) {
    return _codec->type_of(_prg->find_named_type(type_name));
}

// A literal or an enumeration value as a value of its type.
bool Compiler::literal_value(int symbol, Val* v, const SimType** type) {
    IdentInfo* info = _prg->get_ident_info(symbol);
    *type = info ? _codec->type_of(info->type()) : nullptr;
    if (!*type) return false;
    const char* text = _prg->symbol(symbol);
    v->r = 0;
    switch (info->ident_mode()) {
        case BOOL_CONST_m: v->i = strcmp(text, "true") == 0; return true;
        case INT_CONST_m: v->i = (int32_t)(uint32_t)strtoull(text, nullptr, 10); return true;
        case REAL_CONST_m: return read_real(text, &v->r);
        case ENUM_CONST_m:
            for (size_t k = 0; k < (*type)->values.size(); ++k)
                if ((*type)->values[k] == symbol) v->i = (int32_t)k;
            return true;
        default: return false;
    }
}

// A variable's place in the program's list of them (inputs, outputs,
// locals), or -1: the model knows each one's place in its own list.
int Compiler::var_index(int symbol) const {
    IdentInfo* info = _prg->get_ident_info(symbol);
    if (!info) return -1;
    int base = 0;
    switch (info->ident_mode()) {
        case INPUT_m: break;
        case OUTPUT_m: base = _prg->nb_inputs(); break;
        case LOCAL_m: base = _prg->nb_inputs() + _prg->nb_outputs(); break;
        default: return -1;
    }
    size_t index = (size_t)base + (size_t)info->index_in_list();
    const std::vector<SimVar>& all = vars();
    return index < all.size() && all[index].symbol == symbol ? (int)index : -1;
}

uint32_t Compiler::literal_slot(int symbol, const SimType** type) {
    Val v{};
    if (!literal_value(symbol, &v, type)) return 0;
    auto known = _literals.find(symbol);
    if (known != _literals.end()) return known->second;
    return _literals[symbol] = new_slot(v, false);
}

// ------------------------------------------------------------------ clocks

ClockSlots& Compiler::clock_slots(int clock) {
    if (clock <= 0) clock = _prg->base_clock();
    auto known = _clocks.find(clock);
    if (known != _clocks.end()) return known->second;
    // Its parents first: the clock of the clock variable, and so on.
    std::vector<int> chain{clock};
    for (;;) {
        IdentInfo* var = _prg->get_ident_info(chain.back());
        int parent = var ? var->clock() : _prg->base_clock();
        if (parent <= 0 || parent == _prg->base_clock() || _clocks.count(parent) ||
            chain.size() > _code->vars.size())
            break;
        chain.push_back(parent);
    }
    for (size_t k = chain.size(); k-- > 0;) {
        int c = chain[k];
        IdentInfo* var = _prg->get_ident_info(c);
        ClockSlots s;
        s.parent = var && var->clock() > 0 ? var->clock() : _prg->base_clock();
        s.act = new_slot(Val{}, false);
        Val yes{};
        yes.i = 1;
        s.fnow = new_slot(yes, false);
        s.fstate = new_slot(yes, false);
        _clocks.emplace(c, s);
        _clock_order.push_back(c);
    }
    return _clocks[clock];
}

// The activity of a clock and of its parents, from their variables' values.
void Compiler::emit_clock(int clock) {
    std::vector<int> chain;
    for (int c = clock; c > 0 && c != _prg->base_clock(); c = clock_slots(c).parent) {
        chain.push_back(c);
        if (chain.size() > _clocks.size()) break;
    }
    for (size_t k = chain.size(); k-- > 0;) {
        const ClockSlots& s = clock_slots(chain[k]);
        emit(OP_CLOCK, s.act, clock_slots(s.parent).act, vars()[(size_t)var_index(chain[k])].slot);
    }
}

// ------------------------------------------------------------------ program

bool Compiler::variables() {
    Val v{};
    new_slot(v, false);  // slot 0: false
    v.i = 1;
    new_slot(v, false);  // slot 1: true, the base clock's activity
    ClockSlots base;
    base.act = 1;
    base.fnow = new_slot(v, false);
    base.fstate = new_slot(v, false);
    _clocks.emplace(_prg->base_clock(), base);
    _clock_order.push_back(_prg->base_clock());
    for (const IdList* list : {&_prg->inputs(), &_prg->outputs(), &_prg->locals()}) {
        for (IntList* l = list->list(); l; l = l->tail()) {
            IdentInfo* info = _prg->get_ident_info(l->head());
            const SimType* type = info ? _codec->type_of(info->type()) : nullptr;
            if (!type)
                return fail({"UNSUPPORTED"}, "'" + std::string(_prg->symbol(l->head())) +
                                                 "' has no type that can run");
            uint32_t index = (uint32_t)_code->vars.size();
            uint32_t slot = new_slot(Val{}, true);
            _code->vars.push_back(SimVar{l->head(), slot, 1, 0, type});
            if (var_index(l->head()) != (int)index)
                return fail({"UNSUPPORTED"}, "'" + std::string(_prg->symbol(l->head())) +
                                                 "' is declared twice");
            if (list == &_prg->inputs()) _code->inputs.push_back(index);
        }
    }
    _compiled.assign(_code->vars.size(), 0);
    for (uint32_t k : _code->inputs) _compiled[k] = 1;  // inputs are never nil
    return true;
}

// The inputs on a clock, read where that clock's activity is known; those
// that are clocks of other inputs bring theirs.
void Compiler::inputs_on(int clock) {
    std::vector<int> clocks{clock};
    while (!clocks.empty()) {
        int c = clocks.back();
        clocks.pop_back();
        for (size_t k = 0; k < _code->inputs.size(); ++k) {
            SimVar& v = _code->vars[_code->inputs[k]];
            if (_prg->get_ident_info(v.symbol)->clock() != c) continue;
            own(v.symbol);
            emit_clock(c);
            v.active = clock_slots(c).act;
            emit(OP_INPUT, v.slot, (uint32_t)k, v.active);
            clocks.push_back(v.symbol);
        }
    }
}

bool Compiler::unit(Exp* e, int clock, const std::vector<uint32_t>& dsts, int owner,
                    std::vector<Res>* out) {
    _owner = owner;
    _temp_next = 0;
    _current_of.clear();
    _need_hoist = false;
    Mark m = mark();
    if (!expression(e, clock, dsts, out)) return false;
    if (!_need_hoist) return true;
    rollback(m);
    out->clear();
    _need_hoist = false;
    return hoist_currents(e) && expression(e, clock, dsts, out);
}

bool Compiler::equation(IdentInfo* info) {
    IntList* tuple = info->tuple_linked();
    if (tuple && info->tuple_order() != 1) return true;  // its tuple's first member computes it
    int clock = info->clock() > 0 ? info->clock() : _prg->base_clock();
    own(info->ident());
    uint32_t guard = UINT32_MAX;
    if (clock != _prg->base_clock()) {
        emit_clock(clock);
        guard = emit(OP_GUARD, 0, clock_slots(clock).act, 0);
    }
    std::vector<int> members;
    if (tuple)
        for (IntList* m = tuple; m; m = m->tail()) members.push_back(m->head());
    else
        members.push_back(info->ident());
    std::vector<uint32_t> dsts;
    dsts.reserve(members.size());
    for (int m : members) dsts.push_back(_code->vars[(size_t)var_index(m)].slot);
    std::vector<Res> values;
    Exp* rhs = info->right_side();
    if (!rhs)
        return fail({"UNSUPPORTED"}, "'" + std::string(_prg->symbol(info->ident())) +
                                         "' has no equation");
    if (!unit(rhs, clock, dsts, info->ident(), &values)) return false;
    if (values.size() != members.size())
        return fail({"UNSUPPORTED"}, "the equation of '" +
                                         std::string(_prg->symbol(info->ident())) +
                                         "' does not give one value per name");
    for (size_t k = 0; k < members.size(); ++k) {
        size_t index = (size_t)var_index(members[k]);
        SimVar& v = _code->vars[index];
        v.level = values[k].level;
        v.active = clock_slots(clock).act;
        _compiled[index] = 1;
    }
    if (guard != UINT32_MAX) (*_out)[guard].b = (uint32_t)(_out->size() - guard - 1);
    for (int m : members) inputs_on(m);
    return true;
}

bool Compiler::equations(const std::vector<int>& order) {
    for (int symbol : order)
        if (!equation(_prg->get_ident_info(symbol))) return false;
    return true;
}

bool Compiler::assertions() {
    uint32_t index = 0;
    for (IntList* l = _prg->assertions().list(); l; l = l->tail()) {
        IdentInfo* info = _prg->get_ident_info(l->head());
        if (!info || !info->ec_def()) continue;
        if (_options.assertions != AssertMode::IGNORE) {
            Exp* e = info->ec_def();
            int clock = clock_of(e);
            if (!clock) clock = _prg->base_clock();
            own(0);
            uint32_t guard = UINT32_MAX;
            if (clock != _prg->base_clock()) {
                emit_clock(clock);
                guard = emit(OP_GUARD, 0, clock_slots(clock).act, 0);
            }
            std::vector<Res> r;
            if (!unit(e, clock, {}, 0, &r)) return false;
            emit(OP_ASSERT, 0, r[0].slot | (r[0].level ? kNilFlag : 0), index);
            if (guard != UINT32_MAX) (*_out)[guard].b = (uint32_t)(_out->size() - guard - 1);
        }
        ++index;
    }
    return true;
}

// The memories of `pre': those of variables on clocks other than the base
// clock, then those of expressions (whose code may bring more).
bool Compiler::memories() {
    own(0);
    for (const auto& vm : _var_memories) {
        const SimVar& v = _code->vars[(size_t)var_index(vm.second)];
        emit(OP_MEMSAVE, vm.first, v.slot | (v.level ? kNilFlag : 0), v.active);
    }
    for (size_t i = 0; i < _memories.size(); ++i) {
        Memory mem = _memories[i];  // the list may grow meanwhile
        own(mem.owner);
        emit_clock(mem.clock);
        uint32_t act = clock_slots(mem.clock).act;
        uint32_t guard = act == 1 ? UINT32_MAX : emit(OP_GUARD, 0, act, 0);
        std::vector<Res> r;
        if (!unit(mem.operand, mem.clock, {}, mem.owner, &r)) return false;
        if (guard != UINT32_MAX) (*_out)[guard].b = (uint32_t)(_out->size() - guard - 1);
        uint8_t level = 0;
        for (size_t k = 0; k < r.size() && k < mem.slots.size(); ++k) {
            emit(OP_MEMSAVE, mem.slots[k], r[k].slot | (r[k].level ? kNilFlag : 0), act);
            level = std::max(level, r[k].level);
        }
        uint8_t& found = _found[mem.operand];
        found = std::max(found, level);
    }
    return true;
}

bool Compiler::assumptions_hold() {
    bool hold = true;
    for (const auto& a : _var_assumptions) {
        int v = var_index(a.first);
        uint8_t actual = v >= 0 ? _code->vars[(size_t)v].level : 0;
        if (actual <= a.second) continue;
        uint8_t& assumed = _assumed_vars[a.first];
        assumed = std::max(assumed, actual);
        hold = false;
    }
    for (const auto& a : _exp_assumptions) {
        auto f = _found.find(a.first);
        uint8_t actual = f != _found.end() ? f->second : 0;
        if (actual <= a.second) continue;
        uint8_t& assumed = _assumed_exps[a.first];
        assumed = std::max(assumed, actual);
        hold = false;
    }
    return hold;
}

bool Compiler::program() {
    std::vector<int> order;
    std::string fault;
    if (!schedule(_prg, &order, &fault)) return fail({"CHECK", "0", "0", "cycle", fault}, fault);
    for (int attempt = 0;; ++attempt) {
        *_code = Code();
        _temps.clear();
        _literals.clear();
        _clocks.clear();
        _clock_order.clear();
        _var_memory.clear();
        _var_memories.clear();
        _memory_of.clear();
        _memories.clear();
        _current_memory.clear();
        _var_assumptions.clear();
        _exp_assumptions.clear();
        _found.clear();
        _unsafe = 0;
        for (auto& part : _parts) part.clear();
        for (auto& owners : _part_owners) owners.clear();
        if (!variables()) return false;
        begin_part(PART_INPUTS);
        for (uint32_t p = 0; p < _code->inputs.size(); ++p)
            if (_prg->get_ident_info(_code->vars[_code->inputs[p]].symbol)->clock() ==
                _prg->base_clock())
                _code->base_inputs.push_back(p);
        for (uint32_t p : _code->base_inputs) inputs_on(_code->vars[_code->inputs[p]].symbol);
        begin_part(PART_EQUATIONS);
        if (!equations(order) || !assertions()) return false;
        begin_part(PART_MEMORIES);
        if (!memories()) return false;
        if (assumptions_hold()) {
            assemble();
            break;
        }
        if (attempt == 2) {  // what is still unknown may be nil at any instant
            for (auto& a : _assumed_vars) a.second = kInf;
            for (auto& a : _assumed_exps) a.second = kInf;
        }
    }
    if (_code->nslots >= kMaxSlots)
        return fail({"LIMIT"}, "the program is too large to run (more than " +
                                   std::to_string(kMaxSlots) + " values)");
    return true;
}

void Compiler::begin_part(int part) { _part = part; _out = &_parts[part]; }

// What comes next in the current part computes `variable'.
void Compiler::own(int variable) {
    _part_owners[_part].push_back(CodeOwner{(uint32_t)_out->size(), variable});
}

// The parts in the order they run, the owners of their code with them.
void Compiler::assemble() {
    begin_part(PART_FLAGS);
    for (int c : _clock_order) emit(OP_FNOW, clock_slots(c).fnow, clock_slots(c).fstate);
    begin_part(PART_CLOCKS);
    for (int c : _clock_order) {
        const ClockSlots& s = clock_slots(c);
        if (c != _prg->base_clock())
            emit(OP_CLOCK, s.act, clock_slots(s.parent).act, vars()[(size_t)var_index(c)].slot);
    }
    begin_part(PART_STATES);
    for (int c : _clock_order)
        emit(OP_FSTATE, clock_slots(c).fstate, clock_slots(c).fnow, clock_slots(c).act);
    emit(OP_HALT, 0);
    for (int part = 0; part < PART_COUNT; ++part) {
        uint32_t offset = (uint32_t)_code->ins.size();
        _code->owners.push_back(CodeOwner{offset, 0});
        for (const CodeOwner& o : _part_owners[part])
            _code->owners.push_back(CodeOwner{o.start + offset, o.variable});
        _code->ins.insert(_code->ins.end(), _parts[part].begin(), _parts[part].end());
    }
    _out = nullptr;
}

bool Compiler::instant(const Code& program, Exp* e, uint32_t* result, uint32_t* nslots) {
    _instant_only = true;
    _vars = &program.vars;
    _code->nslots = program.nslots;
    _out = &_code->ins;
    std::vector<Res> r;
    if (!expression(e, _prg->base_clock(), {}, &r)) return false;
    if (r.size() != 1) return fail({"UNSUPPORTED"}, "the expression gives a tuple");
    emit(OP_HALT, 0);
    *result = r[0].slot | (r[0].level ? kNilFlag : 0);
    *nslots = _code->nslots + (uint32_t)_instant_slots;
    return true;
}

}  // namespace sim

int Code::variable_at(uint32_t ins) const {
    int variable = 0;
    for (const CodeOwner& o : owners) {
        if (o.start > ins) break;
        variable = o.variable;
    }
    return variable;
}

bool compile_program(const EcPrg* prg, ValueCodec* codec, const CompileOptions& options,
                     const Bound& bound, Code* code, CompileError* error) {
    return sim::Compiler(prg, codec, options, bound, code, error).program();
}

bool compile_instant_expression(const EcPrg* prg, ValueCodec* codec, const Bound& bound,
                                const Code& program, Exp* e, Code* code, uint32_t* result,
                                uint32_t* nslots, CompileError* error) {
    return sim::Compiler(prg, codec, CompileOptions(), bound, code, error)
        .instant(program, e, result, nslots);
}
