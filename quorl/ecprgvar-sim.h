// The `sim' operation of program objects: one call of a subcommand, with
// what its handlers share (errors, the engine, values as Tcl objects). The
// handlers live in ecprgvar-sim.cpp (the engine and its instant) and
// ecprgvar-simrun.cpp (runs and traces).
#ifndef QUORL_ECPRGVAR_SIM_H
#define QUORL_ECPRGVAR_SIM_H

#include <tcl.h>

#include <memory>
#include <string>
#include <vector>

#include "quorl/ecprgvar.h"
#include "quorl/options.h"
#include "quorl/simulation.h"

class SimCall {
public:
    SimCall(EcPrgVar* object, const char* sub, int count, const char** args)
        : obj(object), sub(sub), count(count), args(args) {}

    // "Quorl: bad `p' call\n=> p sim SUB : message", with the code.
    int error(const ErrorWords& code, const std::string& message);
    int usage(const char* text);
    // The options of the call against a table; false after the error.
    bool options(const std::vector<OptionRule>& table, const char* text, OptionWords* out,
                 bool strict = true);
    // A non-negative count from an option's text; false after the error.
    bool count_of(const char* option, const char* text, long long* out);

    Simulation& simulation();
    // The engine, built with the defaults when there is none; null after
    // the error (CHANGED when the program changed since it was built).
    std::shared_ptr<Engine> engine(bool build);
    // Builds the engine with these options; TCL_OK or the error.
    int reset(const EngineOptions& options);
    // The errors of a failed step, or of an expression that failed.
    int step_error(const Engine& engine, const StepFailure& f);
    // A program's symbol for a name, or 0.
    int symbol(const char* name) const;
    // A named variable's place in the engine, or -1 after the error
    // (UNDECLARED; with `recorded', UNRECORDED when its history is not kept).
    int variable(const Engine& engine, const char* name, bool recorded);
    // A value's text, "" for nil.
    Tcl_Obj* value_obj(Engine& engine, const SimType& type, Val v) const;

    EcPrgVar* obj;
    const char* sub;
    int count;
    const char** args;
};

int sim_reset(SimCall& c);
int sim_bind(SimCall& c);
int sim_step(SimCall& c);
int sim_instant(SimCall& c);
int sim_violations(SimCall& c);
int sim_value(SimCall& c);
int sim_eval(SimCall& c);
int sim_run(SimCall& c);
int sim_trace(SimCall& c);
int sim_history(SimCall& c);

#endif
