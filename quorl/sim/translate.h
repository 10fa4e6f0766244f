// Between the machine code of a step and the C++ around it: what the code
// reads besides the frames, the door back into the run loop, and the
// translator that writes the code (quorl/sim/translate.cpp).
#ifndef QUORL_SIM_TRANSLATE_H
#define QUORL_SIM_TRANSLATE_H

#include <cstdint>
#include <vector>

#include "quorl/sim/native.h"

namespace native {

// What the machine code reads and writes besides the frames (the code
// reaches its fields by their offsets).
struct Context {
    Val* cur;
    const Val* prev;
    uint8_t* curnil;
    const uint8_t* prevnil;
    const Code* code;              // its calls and lists
    const NativeCode::Slow* slow;  // the instructions run through the run loop
    Outside* outside;
    RunError* error;
    uint32_t fault;  // a failure of the machine code itself
    uint32_t ins;    // its instruction
};

// One instruction through the run loop: 0, or 1 after a failure (the
// error is then filled in).
int run_one(Context* c, uint32_t slow);

// The machine code of code.ins (see NativeCode::translate): its bytes and
// the instructions it runs through the run loop; false when there is none.
bool translate(const Code& code, const Val* constants, std::vector<uint8_t>* bytes,
               std::vector<NativeCode::Slow>* slow);

}  // namespace native

#endif
