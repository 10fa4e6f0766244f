// The run of compiled code (quorl/sim/code.h) for one step, on the frame
// being computed and the previous instant's.
#ifndef QUORL_SIM_RUNNER_H
#define QUORL_SIM_RUNNER_H

#include <cstdint>
#include <string>

#include "quorl/sim/code.h"

struct Frames {
    Val* cur;
    const Val* prev;
    uint8_t* curnil;
    const uint8_t* prevnil;
};

// What the code asks of the world outside.
class Outside {
public:
    virtual ~Outside() = default;
    // The value given to input k (its place in Code::inputs) for this step,
    // or null.
    virtual const Val* given(uint32_t k) = 0;
    // Calls the site's function on its arguments; false and why when it fails.
    virtual bool call(const CallSite& site, const Val* args, Val* results, std::string* why) = 0;
    // Assertion `index' is false: true to go on, false to fail the step.
    virtual bool violated(uint32_t index) = 0;
};

enum RunFault {
    RUN_OK,
    RUN_DIVISION_BY_ZERO,
    RUN_OVERFLOW,
    RUN_NEGATIVE_EXPONENT,
    RUN_REAL_TO_INT,  // detail: 0 NaN, 1 an infinity, 2 out of range
    RUN_NO_INPUT,     // detail: the input's place in Code::inputs
    RUN_CALL,         // detail: the call site; why: what went wrong
    RUN_ASSERT,       // detail: the assertion's index
    RUN_ABSENT,       // detail: the symbol of a variable absent at this instant
    RUN_BUSY,         // a step of the same engine is under way (from an external function)
};

struct RunError {
    RunFault fault = RUN_OK;
    uint32_t ins = 0;  // the instruction that failed
    uint32_t detail = 0;
    std::string why;
};

// Runs code.ins (or the given instructions, over code's calls and lists)
// from the first instruction to OP_HALT.
RunFault run_code(const Code& code, const Ins* ins, const Frames& f, Outside* outside,
                  RunError* error);

#endif
