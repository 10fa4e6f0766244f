// The compiler's slots: one per variable, literal, constant, clock flag,
// memory and temporary; what it knows of each symbol; the clocks' flags and
// the inputs read where their clock ticks. And its output: the
// instructions, and taking them back.
#include <cstring>

#include "corvel/symbols.h"
#include "quorl/sim/compiler.h"

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

// A slot holding a value computed while compiling, one per value.
uint32_t Compiler::constant_slot(Val v) {
    uint64_t bits;
    memcpy(&bits, &v, 8);
    auto known = _folded.find(bits);
    if (known != _folded.end()) return known->second;
    uint32_t slot = new_slot(v, false);
    _code->constants.push_back(slot);
    return _folded[bits] = slot;
}

// What the compiler knows of a symbol, its kind of record read once.
Symbol& Compiler::sym(int id) {
    Symbol& s = _syms[(size_t)id];
    if (s.mode != kUnknownMode) return s;
    IdentInfo* info = _prg->get_ident_info(id);
    s.mode = info ? (uint8_t)info->ident_mode() : kNoRecord;
    const SimType* t = info ? _codec->type_of(info->type()) : nullptr;
    s.kind = t ? t->kind : Kind::INT;
    s.typed = t != nullptr;
    return s;
}

// A variable's place in the program's list of them (inputs, outputs,
// locals), or -1; an expression of one instant asks the program's code.
int Compiler::var_index(int symbol) const {
    if (!_instant_only) return symbol > 0 && (size_t)symbol < _syms.size() ? _syms[(size_t)symbol].var : -1;
    return program_code().var_index(_prg, symbol);
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
            chain.size() > vars().size())
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

// The clock variables from `clock' up to the base clock, innermost first.
void Compiler::clock_chain(int clock, std::vector<int>* chain) {
    chain->clear();
    for (int c = clock; c > 0 && c != _prg->base_clock(); c = clock_slots(c).parent) {
        chain->push_back(c);
        if (chain->size() > _clocks.size()) break;
    }
}

// The activity of a clock and of its parents, from their variables'
// values (which an equation being compiled reads within the instant).
void Compiler::emit_clock(int clock) {
    std::vector<int> chain;
    clock_chain(clock, &chain);
    for (size_t k = chain.size(); k-- > 0;) {
        const ClockSlots& s = clock_slots(chain[k]);
        int index = var_index(chain[k]);
        emit(OP_CLOCK, s.act, clock_slots(s.parent).act,
             nil_operand(var_slot(index), (uint8_t)vars()[(size_t)index].level));
        if (_graph) _graph->add_read(chain[k]);
    }
}

// ------------------------------------------------------------------ variables

bool Compiler::variables() {
    Val v{};
    _code->constants.push_back(new_slot(v, false));  // slot 0: false
    v.i = 1;
    _code->constants.push_back(new_slot(v, false));  // slot 1: true, the base clock's activity
    ClockSlots base;
    base.act = 1;
    base.fnow = new_slot(v, false);
    base.fstate = new_slot(v, false);
    _code->base_fnow = base.fnow;
    _code->base_fstate = base.fstate;
    _clocks.emplace(_prg->base_clock(), base);
    _clock_order.push_back(_prg->base_clock());
    _syms.assign((size_t)_prg->symbols()->count() + 1, Symbol());
    _code->vars.reserve((size_t)_prg->nb_inputs() + (size_t)_prg->nb_outputs() + (size_t)_prg->nb_locals());
    _code->first_var_slot = _code->nslots;  // one slot each, in this order
    for (const IdList* list : {&_prg->inputs(), &_prg->outputs(), &_prg->locals()}) {
        for (IntList* l = list->list(); l; l = l->tail()) {
            Symbol& s = sym(l->head());
            IdentInfo* info = _prg->get_ident_info(l->head());
            const SimType* type = _codec->type_of(info->type());
            if (!type)
                return fail({"UNSUPPORTED"}, "'" + std::string(_prg->symbol(l->head())) +
                                                 "' has no type that can run");
            if (type->index >= kMaxTypes)
                return fail({"UNSUPPORTED"}, "more than " + std::to_string(kMaxTypes) + " types");
            if (s.var >= 0)
                return fail({"UNSUPPORTED"}, "'" + std::string(_prg->symbol(l->head())) +
                                                 "' is declared twice");
            s.var = (int32_t)_code->vars.size();
            s.slot = new_slot(Val{}, true);
            s.clock = info->clock() > 0 && info->clock() != _prg->base_clock() ? info->clock() : 0;
            _code->vars.push_back(SimVar{l->head(), 1, 0, type->index});
            if (list != &_prg->inputs()) continue;
            s.compiled = 1;  // inputs are never nil
            if (s.clock) _inputs_on[s.clock].push_back((uint32_t)_code->inputs.size());
            else _code->base_inputs.push_back((uint32_t)_code->inputs.size());
            _code->inputs.push_back((uint32_t)s.var);
        }
    }
    return true;
}

// The inputs on a clock, read where that clock's activity is known; those
// that are clocks of other inputs bring theirs.
void Compiler::inputs_on(int clock) {
    if (_inputs_on.empty()) return;
    std::vector<int> clocks{clock};
    while (!clocks.empty()) {
        int c = clocks.back();
        clocks.pop_back();
        auto found = _inputs_on.find(c);
        if (found == _inputs_on.end()) continue;
        for (uint32_t k : found->second) {
            SimVar& v = _code->vars[_code->inputs[k]];
            own(v.symbol);
            emit_clock(c);
            v.active = clock_slots(c).act;
            emit(OP_INPUT, _code->slot_of(_code->inputs[k]), k, v.active);
            clocks.push_back(v.symbol);
        }
    }
}

// ------------------------------------------------------------------ output

namespace {

// Instructions whose failure needs their owner known (see own).
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

}  // namespace

// A temporary that is the latest taken is free again.
void Compiler::release(uint32_t slot) {
    if (_temp_next > 0 && _temps[_temp_next - 1] == slot) --_temp_next;
}

uint32_t Compiler::emit(Op op, uint32_t d, uint32_t a, uint32_t b) {
    if (may_fail(base_op(op))) {
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

// The nil flag of d from those of two operands that may be nil (with one,
// NIL1 reads only its flag); none when neither may be.
void Compiler::emit_nil(uint32_t d, const Res& a, const Res& b) {
    if (a.level && b.level)
        emit(OP_NIL2, d, a.slot, b.slot);
    else if (a.level || b.level)
        emit(OP_NIL1, d, a.level ? a.slot : b.slot);
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

}  // namespace sim
