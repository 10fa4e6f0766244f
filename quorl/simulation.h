// A program object's run: the engine built by `sim reset', and what `sim
// bind' bound: the command of each external function, the value of each
// constant. The engine is shared with the operation that runs it, so that a
// script run meanwhile (an external function) may reset, reload or delete
// everything without pulling it from under that operation.
#ifndef QUORL_SIMULATION_H
#define QUORL_SIMULATION_H

#include <tcl.h>

#include <memory>
#include <string>
#include <unordered_map>

#include "quorl/sim/engine.h"

// Commands and values by symbol. The commands' objects are held.
struct Bindings {
    std::unordered_map<int, Tcl_Obj*> functions;
    std::unordered_map<int, std::string> constants;
    Bindings() = default;
    Bindings(const Bindings&) = delete;
    Bindings& operator=(const Bindings&) = delete;
    ~Bindings();
};

struct Simulation {
    std::shared_ptr<Engine> engine;  // null before the first reset
    unsigned revision = 0;           // the program's when the engine was built
    std::shared_ptr<Bindings> bindings = std::make_shared<Bindings>();
    ~Simulation() {
        if (engine) engine->abandon();
    }
};

// The external functions as Tcl commands: each call runs its bound command
// prefix with the arguments appended, at the global level.
class TclFunctions : public ExternalFunctions {
public:
    TclFunctions(Tcl_Interp* interp, std::shared_ptr<Bindings> bindings)
        : _interp(interp), _bindings(std::move(bindings)) {}
    bool call(int function, const std::vector<std::string>& args, size_t expected,
              std::vector<std::string>* results, std::string* why) override;

private:
    Tcl_Interp* _interp;
    std::shared_ptr<Bindings> _bindings;
};

#endif
