// The engine that runs a program: built once (compiled) for a program as
// it stands, then stepped instant after instant. A step is atomic: when it
// fails (a runtime error, a false assertion, a missing input, an external
// function that fails) the state is exactly what it was before it.
#ifndef QUORL_SIM_ENGINE_H
#define QUORL_SIM_ENGINE_H

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "quorl/sim/code.h"
#include "quorl/sim/compile.h"
#include "quorl/sim/history.h"
#include "quorl/sim/native.h"
#include "quorl/sim/runner.h"
#include "quorl/sim/value.h"

class EcPrg;
class Exp;

// The external functions, for the engine: called with the arguments' texts,
// they give the results' texts.
class ExternalFunctions {
public:
    virtual ~ExternalFunctions() = default;
    // `expected' results into *results; false, and why, when the call fails.
    virtual bool call(int function, const std::vector<std::string>& args, size_t expected,
                      std::vector<std::string>* results, std::string* why) = 0;
};

struct EngineOptions {
    CompileOptions compile;
    bool native = true;  // run the step as machine code where the processor allows
    size_t history = 100000;  // steps kept for the trace
    bool record_all = false;  // every variable kept, else the inputs and outputs and:
    std::vector<int> record;  // these variables
};

// The inputs of one step: a value for each input (Code::inputs order) that
// is given.
struct StepInputs {
    std::vector<Val> value;
    std::vector<uint8_t> given;
    void clear(size_t n) {
        value.assign(n, Val{});
        given.assign(n, 0);
    }
};

// Why a step failed.
struct StepFailure {
    RunFault fault = RUN_OK;
    uint64_t step = 0;
    int variable = 0;  // the variable whose equation failed, or 0
    uint32_t detail = 0;
    std::string reason;  // in words
};

class Engine : private Outside {
public:
    // Compiles prg (which check found well formed) with the values of its
    // constants (their texts, read here) and the functions that have a
    // command; null and *error when it does not compile (a constant or
    // function not bound, a value that does not read, ...).
    static std::unique_ptr<Engine> build(const EcPrg* prg, const EngineOptions& options,
                                         const std::unordered_map<int, std::string>& constants,
                                         const std::unordered_set<int>& functions,
                                         CompileError* error);
    ~Engine() override;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    const EcPrg* program() const { return _prg; }
    const Code& code() const { return _code; }
    ValueCodec& codec() { return _codec; }
    uint64_t instant() const { return _instant; }
    const std::vector<std::pair<uint64_t, uint32_t>>& violations() const { return _violations; }
    const History& history() const { return _history; }
    void set_functions(ExternalFunctions* f) { _functions = f; }
    // Set by whoever replaces the engine or its program while a step runs:
    // the step then fails when its external function returns.
    void abandon() { _abandoned = true; }
    bool abandoned() const { return _abandoned; }

    // One step; false and *failure when it fails (nothing changed).
    bool step(const StepInputs& inputs, StepFailure* failure);

    // The index in code().vars of a variable, or -1.
    int var_index(int symbol) const;
    // A variable at the current instant: 0 present (*v set), 1 nil, 2 absent.
    int value(uint32_t var, Val* v) const;

    // An expression of the current instant, compiled once, evaluated after
    // any step.
    struct Probe {
        Code code;
        uint32_t result = 0;
        const SimType* type = nullptr;
    };
    bool compile_probe(Exp* e, Probe* probe, CompileError* error);
    // 0 a value (*v set), 1 nil; -1 and *failure when it fails.
    int evaluate(const Probe& probe, Val* v, StepFailure* failure);

private:
    Engine(const EcPrg* prg, const EngineOptions& options);
    // Outside.
    const Val* given(uint32_t k) override;
    bool call(const CallSite& site, const Val* args, Val* results, std::string* why) override;
    bool violated(uint32_t index) override;
    void fail(const RunError& e, StepFailure* failure);
    void grow_frames(uint32_t nslots);

    const EcPrg* _prg;
    EngineOptions _options;
    ValueCodec _codec;
    Code _code;
    std::unique_ptr<NativeCode> _native;  // the machine code of _code, or null
    Bound _bound;
    // The two frames: [_state] holds the current instant, [1 - _state] is
    // computed by the next step.
    std::vector<Val> _values[2];
    std::vector<uint8_t> _nils[2];
    int _state = 0;
    uint64_t _instant = 0;
    const StepInputs* _inputs = nullptr;  // of the step under way
    std::vector<std::pair<uint64_t, uint32_t>> _violations;
    size_t _violations_before = 0;  // of the step under way
    History _history;
    ExternalFunctions* _functions = nullptr;
    bool _abandoned = false;
    bool _running = false;  // a step or an evaluation is under way
    unsigned _revision = 0;  // the program's when the engine was built
};

#endif
