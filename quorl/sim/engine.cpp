// The engine: frames, steps, the world outside, expressions of an instant.
#include "quorl/sim/engine.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "quorl/ecprg.h"

Engine::Engine(const EcPrg* prg, const EngineOptions& options)
    : _prg(prg), _options(options), _codec(prg) {}

Engine::~Engine() = default;

std::unique_ptr<Engine> Engine::build(const EcPrg* prg, const EngineOptions& options,
                                      const std::unordered_map<int, std::string>& constants,
                                      const std::unordered_set<int>& functions,
                                      CompileError* error) {
    std::unique_ptr<Engine> engine(new Engine(prg, options));
    Bound& bound = engine->_bound;
    bound.functions = functions;
    for (const auto& k : constants) {
        IdentInfo* info = prg->get_ident_info(k.first);
        const SimType* t = info ? engine->_codec.type_of(info->type()) : nullptr;
        std::string why = "its type cannot run";
        if (!t || !engine->_codec.read(*t, k.second.c_str(), &bound.constants[k.first], &why)) {
            error->code = {"VALUE", prg->symbol(k.first), why};
            error->message = "constant '" + std::string(prg->symbol(k.first)) + "': " + why;
            return nullptr;
        }
    }
    engine->_revision = prg->revision();
    if (!compile_program(prg, &engine->_codec, options.compile, bound, &engine->_code, error))
        return nullptr;
    Code& code = engine->_code;
    for (int f = 0; f < 2; ++f) {
        engine->_values[f] = code.init;
        engine->_nils[f] = code.init_nil;
    }
    code.init = std::vector<Val>();  // the frames have them
    code.init_nil = std::vector<uint8_t>();
    // The trace keeps the inputs and outputs, and what was asked for.
    std::vector<uint32_t> kept;
    std::vector<uint8_t> wanted(code.vars.size(), 0);
    size_t inputs_outputs = (size_t)prg->nb_inputs() + (size_t)prg->nb_outputs();
    for (size_t k = 0; k < code.vars.size(); ++k)
        wanted[k] = options.record_all || k < inputs_outputs;
    for (int symbol : options.record) {
        int k = engine->var_index(symbol);
        if (k >= 0) wanted[(size_t)k] = 1;
    }
    for (size_t k = 0; k < wanted.size(); ++k)
        if (wanted[k]) kept.push_back((uint32_t)k);
    engine->_history.reset(std::move(kept), options.history);
    return engine;
}

int Engine::var_index(int symbol) const { return _code.var_index(_prg, symbol); }

int Engine::value(uint32_t var, Val* v) const {
    const SimVar& s = _code.vars[var];
    const std::vector<Val>& values = _values[_state];
    if (_instant == 0 || !values[s.active].i) return ABSENT;
    if (s.level && _nils[_state][_code.slot_of(var)]) return NIL;
    *v = values[_code.slot_of(var)];
    return PRESENT;
}

// ------------------------------------------------------------------ steps

const Val* Engine::given(uint32_t k) {
    return _inputs && _inputs->given[k] ? &_inputs->value[k] : nullptr;
}

bool Engine::call(const CallSite& site, const Val* args, Val* results, std::string* why) {
    const std::string name = _prg->symbol(site.function);
    if (!_functions) {
        *why = "function '" + name + "' has no command";
        return false;
    }
    std::vector<std::string> texts, out;
    for (size_t k = 0; k < site.args.size(); ++k)
        texts.push_back(site.arg_types[k] ? _codec.write(*site.arg_types[k], args[k]) : "");
    bool ok = _functions->call(site.function, texts, site.results.size(), &out, why);
    // The command may have replaced or changed the program, or this engine.
    if (_abandoned || _prg->revision() != _revision) {
        _abandoned = true;
        *why = "the program was changed or deleted while '" + name + "' ran";
        return false;
    }
    if (!ok) {
        *why = "function '" + name + "' failed: " + *why;
        return false;
    }
    if (out.size() != site.results.size()) {
        *why = "function '" + name + "' returned " + std::to_string(out.size()) + " values for " +
               std::to_string(site.results.size());
        return false;
    }
    for (size_t k = 0; k < out.size(); ++k) {
        std::string fault;
        if (!_codec.read(*site.result_types[k], out[k].c_str(), &results[k], &fault)) {
            *why = "function '" + name + "' returned '";
            why->append(out[k]).append("': ").append(fault);
            return false;
        }
    }
    return true;
}

bool Engine::violated(uint32_t index) {
    if (_options.compile.assertions == AssertMode::ERROR) return false;
    _violations.emplace_back(_instant + 1, index);
    return true;
}

void Engine::fail(const RunError& e, StepFailure* failure) {
    failure->fault = e.fault;
    failure->step = _instant + 1;
    failure->detail = e.detail;
    failure->variable = _code.variable_at(e.ins);
    switch (e.fault) {
        case RUN_DIVISION_BY_ZERO: failure->reason = "division by zero"; break;
        case RUN_OVERFLOW: failure->reason = "integer overflow"; break;
        case RUN_NEGATIVE_EXPONENT: failure->reason = "negative exponent of an int"; break;
        case RUN_REAL_TO_INT:
            failure->reason = e.detail == 0   ? "int of NaN"
                              : e.detail == 1 ? "int of an infinite real"
                                              : "int of a real beyond 32 bits";
            break;
        case RUN_NO_INPUT: {
            failure->variable = _code.vars[_code.inputs[e.detail]].symbol;
            failure->reason = "input '" + std::string(_prg->symbol(failure->variable)) +
                              "' has no value";
            break;
        }
        case RUN_CALL:
            failure->variable = _code.calls[e.detail].variable;
            failure->reason = e.why;
            break;
        case RUN_ASSERT: failure->reason = "assertion " + std::to_string(e.detail) + " is false"; break;
        case RUN_ABSENT:
            failure->variable = (int)e.detail;
            failure->reason = "'" + std::string(_prg->symbol((int)e.detail)) + "' is absent";
            break;
        case RUN_OK:
        case RUN_BUSY: break;
    }
}

// An external function may call back into the engine that called it.
static bool busy(bool running, StepFailure* failure) {
    if (!running) return false;
    failure->fault = RUN_BUSY;
    failure->variable = 0;
    failure->reason = "a step of this run is under way";
    return true;
}

bool Engine::step(const StepInputs& inputs, StepFailure* failure) {
    if (busy(_running, failure)) return false;
    if (_abandoned) {  // by a script the run's channel ran, for one
        failure->fault = RUN_CALL;
        failure->step = _instant + 1;
        failure->variable = 0;
        failure->reason = "the program was changed or deleted during the run";
        return false;
    }
    int work = 1 - _state;
    Val* cur = _values[work].data();
    uint8_t* curnil = _nils[work].data();
    const Val* prev = _values[_state].data();
    const uint8_t* prevnil = _nils[_state].data();
    // The inputs on the base clock: given, or as they were.
    for (uint32_t place : _code.base_inputs) {
        uint32_t slot = _code.slot_of(_code.inputs[place]);
        if (inputs.given[place]) {
            cur[slot] = inputs.value[place];
        } else if (!prevnil[slot]) {
            cur[slot] = prev[slot];
        } else {
            RunError e;
            e.fault = RUN_NO_INPUT;
            e.detail = place;
            fail(e, failure);
            return false;
        }
        curnil[slot] = 0;
    }
    _inputs = &inputs;
    _violations_before = _violations.size();
    RunError error;
    // After the first instant of the base clock, the machine code runs the
    // step; it is made then, and the instructions it replaces go.
    bool steady = prev[_code.base_fstate].i == 0;
    if (steady && _options.native && !_native && !_code.ins.empty()) {
        _native = NativeCode::translate(_code, prev);
        if (_native) {
            _code.ins = std::vector<Ins>();
#ifdef __GLIBC__
            malloc_trim(0);  // what built a large program goes back to the system
#endif
        }
    }
    _running = true;
    Frames frames{cur, prev, curnil, prevnil};
    RunFault fault = steady && _native ? _native->run(_code, frames, this, &error)
                                       : run_code(_code, _code.ins.data(), frames, this, &error);
    _running = false;
    _inputs = nullptr;
    if (fault != RUN_OK || _abandoned) {
        _violations.resize(_violations_before);
        if (fault == RUN_OK) {  // abandoned after a call that succeeded
            error.fault = RUN_CALL;
            error.why = "the program was changed or deleted during the step";
        }
        fail(error, failure);
        return false;
    }
    _state = work;
    ++_instant;
    _history.record(_instant, _code, cur, curnil);
    return true;
}

// ------------------------------------------------------------------ probes

void Engine::grow_frames(uint32_t nslots) {
    for (int f = 0; f < 2; ++f) {
        if (_values[f].size() < nslots) _values[f].resize(nslots);
        if (_nils[f].size() < nslots) _nils[f].resize(nslots);
    }
}

bool Engine::compile_probe(Exp* e, Probe* probe, CompileError* error) {
    uint32_t nslots = 0;
    if (!compile_instant_expression(_prg, &_codec, _bound, _code, e, &probe->code, &probe->result,
                                    &nslots, error))
        return false;
    probe->type = _codec.type_of(e->type());
    if (!probe->type) {
        error->code = {"UNSUPPORTED"};
        error->message = "the expression has no type that can run";
        return false;
    }
    probe->code.nslots = nslots;
    grow_frames(nslots);
    return true;
}

int Engine::evaluate(const Probe& probe, Val* v, StepFailure* failure) {
    if (busy(_running, failure)) return -1;
    grow_frames(probe.code.nslots);
    Val* values = _values[_state].data();
    uint8_t* nils = _nils[_state].data();
    RunError error;
    _running = true;
    RunFault fault = run_code(probe.code, probe.code.ins.data(),
                              Frames{values, values, nils, nils}, this, &error);
    _running = false;
    if (fault != RUN_OK) {
        fail(error, failure);
        failure->step = _instant;
        return -1;
    }
    uint32_t slot = probe.result & ~kNilFlag;
    if ((probe.result & kNilFlag) && nils[slot]) return 1;
    *v = values[slot];
    return 0;
}
