// The code of a step as machine code (x86-64): the same instructions as the
// run loop's (quorl/sim/runner.cpp), without dispatch, the temporaries of an
// equation in registers. What is rare or long (calls out, powers, the
// inputs on clocks, assertions) runs through the run loop itself, one
// instruction at a time, so that each rule has one home.
#ifndef QUORL_SIM_NATIVE_H
#define QUORL_SIM_NATIVE_H

#include <cstddef>
#include <memory>
#include <vector>

#include "quorl/sim/code.h"
#include "quorl/sim/runner.h"

class NativeCode {
public:
    // The machine code of code.ins for the instants after the first one of
    // the base clock (whose flag it takes as false: `->' on the base clock
    // is its right side), or null where there is none (another processor,
    // or no memory that can hold code). `constants' is a frame, where the
    // constants' values are read.
    static std::unique_ptr<NativeCode> translate(const Code& code, const Val* constants);
    ~NativeCode();
    NativeCode(const NativeCode&) = delete;
    NativeCode& operator=(const NativeCode&) = delete;

    // Runs one step, as run_code does on code.ins.
    RunFault run(const Code& code, const Frames& f, Outside* outside, RunError* error) const;
    size_t size() const { return _size; }

    // The instructions that run through the run loop, with their places in
    // code.ins: the machine code needs nothing else of code.ins.
    struct Slow {
        Ins ins[2];  // the instruction (and its second word), then OP_HALT
        uint32_t index;
    };
    const std::vector<Slow>& slow() const { return _slow; }

private:
    NativeCode(void* memory, size_t size, std::vector<Slow> slow)
        : _memory(memory), _size(size), _slow(std::move(slow)) {}
    void* _memory;
    size_t _size;
    std::vector<Slow> _slow;
};

#endif
