// The compiler of a program into instructions (quorl/sim/code.h): a static
// schedule of its equations (quorl/sim/schedule.h), one guarded block per
// clock, typed instructions on slots, a nil flag checked only where a nil
// can arise.
#ifndef QUORL_SIM_COMPILE_H
#define QUORL_SIM_COMPILE_H

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "quorl/sim/code.h"
#include "quorl/sim/value.h"

class EcPrg;
class Exp;

enum class AssertMode { ERROR, WARN, IGNORE };

struct CompileOptions {
    bool overflow_error = false;  // integer overflow is a runtime error, else it wraps
    AssertMode assertions = AssertMode::ERROR;
};

// What the run binds: the values of constants and the external functions
// that have a command, by symbol.
struct Bound {
    std::unordered_map<int, Val> constants;
    std::unordered_set<int> functions;
};

// Why a program or an expression does not compile: the error code's words
// after ZINDLE and the message.
struct CompileError {
    std::vector<std::string> code;
    std::string message;
};

// Compiles the program (which check found well formed) into *code.
bool compile_program(const EcPrg* prg, ValueCodec* codec, const CompileOptions& options,
                     const Bound& bound, Code* code, CompileError* error);

// Compiles an expression over the current instant's values (no pre, ->,
// when or current in it) of the compiled program into *code (instructions,
// calls, lists), run on the frame of the current instant: the result's slot
// (with kNilFlag when it may be nil) in *result. Its temporaries are slots
// from program.nslots up to *nslots: the caller makes the frame that large.
bool compile_instant_expression(const EcPrg* prg, ValueCodec* codec, const Bound& bound,
                                const Code& program, Exp* e, Code* code, uint32_t* result,
                                uint32_t* nslots, CompileError* error);

#endif
