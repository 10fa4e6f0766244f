// The code of a step as machine code (x86-64): the same instructions as the
// run loop's (quorl/sim/runner.cpp), without dispatch, the temporaries of an
// equation in registers. What is rare or long (calls out, powers, the
// inputs on clocks, assertions) runs through the run loop itself, one
// instruction at a time, so that each rule has one home.
#ifndef QUORL_SIM_NATIVE_H
#define QUORL_SIM_NATIVE_H

#include <cstddef>
#include <memory>

#include "quorl/sim/code.h"
#include "quorl/sim/runner.h"

class NativeCode {
public:
    // The machine code of code.ins, or null where there is none (another
    // processor, or no memory that can hold code).
    static std::unique_ptr<NativeCode> translate(const Code& code);
    ~NativeCode();
    NativeCode(const NativeCode&) = delete;
    NativeCode& operator=(const NativeCode&) = delete;

    // Runs one step, as run_code does on code.ins.
    RunFault run(const Code& code, const Frames& f, Outside* outside, RunError* error) const;
    size_t size() const { return _size; }

private:
    NativeCode(void* memory, size_t size) : _memory(memory), _size(size) {}
    void* _memory;
    size_t _size;
};

#endif
