// The compiler's program half: the code of one step, in the order it runs:
//   the first-instant flags of the clocks (each from the previous frame),
//   the inputs on clocks other than the base clock (the base clock's are
//     put in their slots before the code runs),
//   the equations in the schedule's order, a block guarded by its clock for
//     each variable on another clock than the base clock,
//   the assertions,
//   every clock's activity again, then the memories of `pre' (computed
//     where their clock ticks, kept where it does not),
//   the clocks' states for the next instant.
// The equations are compiled in the order they are declared (the order of
// the program's memory), each into a piece of its own; what each reads
// within the instant makes the dependency graph, whose order then puts the
// pieces in place.
#include "corvel/symbols.h"
#include "quorl/sim/compiler.h"
#include "quorl/sim/schedule.h"

namespace sim {

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

// One equation (a tuple's at its first member, the others read that one).
bool Compiler::equation(IdentInfo* info) {
    IntList* tuple = info->tuple_members();
    if (tuple && info->tuple_order() != 1) {
        if (_graph) _graph->read_tuple_head(info);
        return true;
    }
    int clock = info->clock() > 0 ? info->clock() : _prg->base_clock();
    own(info->ident());
    uint32_t guard = UINT32_MAX;
    if (clock != _prg->base_clock()) {
        emit_clock(clock);
        guard = emit(OP_GUARD, 0, clock_slots(clock).act, 0);
    }
    _members.clear();
    if (tuple)
        for (IntList* m = tuple; m; m = m->tail()) _members.push_back(m->head());
    else
        _members.push_back(info->ident());
    _dsts.clear();
    for (int m : _members) _dsts.push_back(_syms[(size_t)m].slot);
    Exp* rhs = info->right_side();
    if (!rhs)
        return fail({"UNSUPPORTED"}, "'" + std::string(_prg->symbol(info->ident())) +
                                         "' has no equation");
    _values.clear();
    if (!unit(rhs, clock, _dsts, info->ident(), &_values)) return false;
    if (_values.size() != _members.size())
        return fail({"UNSUPPORTED"}, "the equation of '" +
                                         std::string(_prg->symbol(info->ident())) +
                                         "' does not give one value per name");
    for (size_t k = 0; k < _members.size(); ++k) {
        Symbol& s = _syms[(size_t)_members[k]];
        SimVar& v = _code->vars[(size_t)s.var];
        v.level = s.level = _values[k].level;
        v.active = clock_slots(clock).act;
        s.compiled = 1;
    }
    if (guard != UINT32_MAX) (*_out)[guard].b = (uint32_t)(_out->size() - guard - 1);
    for (int m : _members) inputs_on(m);
    return true;
}

// Every equation, each into its piece, then the pieces in the order of
// `order' (computed here on the first attempt, from what they read).
bool Compiler::equations(DepGraph* graph, std::vector<int>* order) {
    bool reading = order->empty();
    _graph = reading ? graph : nullptr;
    std::vector<uint32_t> starts, owner_starts;
    _out->reserve((size_t)graph->size() * 6);  // about what an equation takes
    starts.reserve((size_t)graph->size() + 1);
    owner_starts.reserve((size_t)graph->size() + 1);
    for (int v = 0; v < graph->size(); ++v) {
        starts.push_back((uint32_t)_out->size());
        owner_starts.push_back((uint32_t)_part_owners[_part].size());
        int symbol = graph->symbol(v);
        // A variable needs its clock first, whatever its equation reads.
        if (_graph && _syms[(size_t)symbol].clock) {
            std::vector<int> chain;
            clock_chain(_syms[(size_t)symbol].clock, &chain);
            for (int c : chain) _graph->add_read(c);
        }
        if (!equation(_prg->get_ident_info(symbol))) return false;
        if (_graph) _graph->end_node();
    }
    starts.push_back((uint32_t)_out->size());
    owner_starts.push_back((uint32_t)_part_owners[_part].size());
    _graph = nullptr;
    if (reading) {
        graph->finish();
        std::string fault;
        if (!evaluation_order(_prg, *graph, order, &fault))
            return fail({"CHECK", "0", "0", "cycle", fault}, fault);
    }
    // The pieces in order, the owners of their code with them.
    std::vector<Ins> sorted;
    std::vector<CodeOwner> owners;
    sorted.reserve(_out->size());
    owners.reserve(_part_owners[_part].size());
    for (int v : *order) {
        uint32_t at = (uint32_t)sorted.size();
        sorted.insert(sorted.end(), _out->begin() + starts[(size_t)v],
                      _out->begin() + starts[(size_t)v + 1]);
        for (uint32_t k = owner_starts[(size_t)v]; k < owner_starts[(size_t)v + 1]; ++k) {
            CodeOwner o = _part_owners[_part][k];
            owners.push_back(CodeOwner{o.start - starts[(size_t)v] + at, o.variable});
        }
    }
    _out->swap(sorted);
    _part_owners[_part].swap(owners);
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
            emit(OP_ASSERT, 0, nil_operand(r[0]), index);
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
        int index = var_index(vm.second);
        const SimVar& v = _code->vars[(size_t)index];
        emit_copy(OP_MEMSAVE, _codec->type(v.type).kind, vm.first,
                  nil_operand(var_slot(index), (uint8_t)v.level), v.active);
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
            emit_copy(OP_MEMSAVE, r[k].kind, mem.slots[k], nil_operand(r[k]),
                      act);
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

void Compiler::forget_attempt() {
    *_code = Code();
    _temps.clear();
    _clocks.clear();
    _clock_order.clear();
    _inputs_on.clear();
    _var_memory.clear();
    _var_memories.clear();
    _memory_of.clear();
    _memories.clear();
    _folded.clear();
    _current_memory.clear();
    _var_assumptions.clear();
    _exp_assumptions.clear();
    _found.clear();
    _unsafe = 0;
    for (auto& part : _parts) part.clear();
    for (auto& owners : _part_owners) owners.clear();
}

bool Compiler::program() {
    DepGraph graph(_prg);
    std::vector<int> order;  // the equations' nodes in the order they run
    for (int attempt = 0;; ++attempt) {
        forget_attempt();
        if (!variables()) return false;
        begin_part(PART_INPUTS);
        for (uint32_t p : _code->base_inputs) inputs_on(_code->vars[_code->inputs[p]].symbol);
        begin_part(PART_EQUATIONS);
        if (!equations(&graph, &order)) return false;
        begin_part(PART_ASSERTIONS);
        if (!assertions()) return false;
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
    _syms = std::vector<Symbol>();  // only the compile needs them
    _code->temps = _temps;
    if (_code->nslots >= kMaxSlots)
        return fail({"LIMIT"}, "the program is too large to run (more than " +
                                   std::to_string(kMaxSlots) + " values)");
    return true;
}

void Compiler::begin_part(int part) {
    _part = part;
    _out = &_parts[part];
    _owner_pending = false;
}

// What comes next in the current part computes `variable'. Only the code
// that may fail needs its owner known: it is noted when such an
// instruction is emitted (see emit).
void Compiler::own(int variable) {
    _pending_owner = CodeOwner{(uint32_t)_out->size(), variable};
    _owner_pending = true;
}

// The parts in the order they run, the owners of their code with them.
void Compiler::assemble() {
    begin_part(PART_FLAGS);
    for (int c : _clock_order) emit(OP_FNOW, clock_slots(c).fnow, clock_slots(c).fstate);
    begin_part(PART_CLOCKS);
    for (int c : _clock_order) {
        const ClockSlots& s = clock_slots(c);
        if (c == _prg->base_clock()) continue;
        int index = var_index(c);
        emit(OP_CLOCK, s.act, clock_slots(s.parent).act,
             nil_operand(var_slot(index), (uint8_t)vars()[(size_t)index].level));
    }
    begin_part(PART_STATES);
    for (int c : _clock_order)
        emit(OP_FSTATE, clock_slots(c).fstate, clock_slots(c).fnow, clock_slots(c).act);
    emit(OP_HALT, 0);
    size_t total = 0;
    for (const auto& part : _parts) total += part.size();
    _code->ins.reserve(total);
    for (int part = 0; part < PART_COUNT; ++part) {
        uint32_t offset = (uint32_t)_code->ins.size();
        _code->owners.push_back(CodeOwner{offset, 0});
        for (const CodeOwner& o : _part_owners[part])
            _code->owners.push_back(CodeOwner{o.start + offset, o.variable});
        _code->ins.insert(_code->ins.end(), _parts[part].begin(), _parts[part].end());
        _parts[part] = std::vector<Ins>();
    }
    _out = nullptr;
}

bool Compiler::instant(const Code& program, Exp* e, uint32_t* result, uint32_t* nslots) {
    _instant_only = true;
    _program = &program;
    _code->nslots = program.nslots;
    _out = &_code->ins;
    std::vector<Res> r;
    if (!expression(e, _prg->base_clock(), {}, &r)) return false;
    if (r.size() != 1) return fail({"UNSUPPORTED"}, "the expression gives a tuple");
    emit(OP_HALT, 0);
    *result = nil_operand(r[0]);
    *nslots = _code->nslots + (uint32_t)_instant_slots;
    return true;
}

}  // namespace sim

int Code::var_index(const EcPrg* prg, int symbol) const {
    IdentInfo* info = prg->get_ident_info(symbol);
    if (!info) return -1;
    size_t base = 0;
    switch (info->ident_mode()) {
        case INPUT_m: break;
        case OUTPUT_m: base = (size_t)prg->nb_inputs(); break;
        case LOCAL_m: base = (size_t)prg->nb_inputs() + (size_t)prg->nb_outputs(); break;
        default: return -1;
    }
    size_t index = base + (size_t)info->index_in_list();
    return index < vars.size() && vars[index].symbol == symbol ? (int)index : -1;
}

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
