// The compiled form of a program: instructions on value slots, run once per
// step. Every value of an instant has a slot; two frames of slots take
// turns (the previous instant's and the one being computed), so that `pre'
// reads the previous frame and a failed step leaves the previous frame, the
// state before the step, untouched.
#ifndef QUORL_SIM_CODE_H
#define QUORL_SIM_CODE_H

#include <cstdint>
#include <vector>

#include "quorl/sim/value.h"

class EcPrg;

// Instructions. Operands are slots unless said otherwise; "cur" is the frame
// being computed, "prev" the previous instant's. An instruction that writes
// a slot that may be nil writes its nil flag too; the others leave it.
enum Op : uint8_t {
    // Copies and selections.
    OP_MOV,    // d := a
    OP_MOVN,   // d := a, with a's nil flag
    OP_NIL1,   // nil d := nil a; when nil, skip the next instruction
    OP_NIL2,   // nil d := nil a or nil b; when nil, skip the next instruction
    OP_NILSET, // nil d := 1
    OP_NILCLR, // nil d := 0
    OP_CONST,  // d := the value whose two halves are a (low) and b (high)
    OP_SEL,    // d := a if c else b; c in the a of the next word (two words)
    OP_SELN,   // the same with nil flags: nil when c is, else the chosen one's
    OP_JMP,    // skip the next a instructions
    OP_JF,     // skip the next b instructions when a is false
    OP_JNIL,   // skip the next b instructions when a is nil
    // Integers (32-bit two's complement; also bools, enumerations and the
    // numbers of external values for the comparisons).
    OP_IADD, OP_ISUB, OP_IMUL, OP_INEG,      // wrap around
    OP_IADDO, OP_ISUBO, OP_IMULO, OP_INEGO,  // overflow is an error
    OP_IDIV, OP_IMOD, OP_IPOW, OP_IPOWO,
    OP_IEQ, OP_INE, OP_ILT, OP_ILE, OP_IGT, OP_IGE,
    // Reals (IEEE doubles).
    OP_RADD, OP_RSUB, OP_RMUL, OP_RDIV, OP_RNEG, OP_RPOW,
    OP_REQ, OP_RNE, OP_RLT, OP_RLE, OP_RGT, OP_RGE,
    OP_I2R, OP_R2I,
    // Booleans.
    OP_AND, OP_OR, OP_XOR, OP_IMPL, OP_NOT,
    OP_DIESE,  // d := at most one of the slots of list a is true
    OP_NOR,    // d := none of the slots of list a is true
    // (a list is code.lists[a] ... : its count, then its slots; with b set,
    // a nil slot makes d nil)
    // Memories and clocks.
    OP_PREV,     // d := prev a; nil when b (the clock's "first instant" flag) is set
    OP_PREVN,    // the same, also nil when prev a was
    OP_PREV0,    // d := prev a, never nil (after the first instant: the right of ->)
    OP_MEMSAVE,  // d := a when b (a clock's activity) is set, else prev d; a's nil flag
                 // too when b has kNilFlag, else not nil
    OP_GUARD,    // when a is false, skip the next b instructions
    OP_CLOCK,    // d := a and b and b is not nil
    OP_FNOW,     // d := prev a
    OP_FSTATE,   // d := a and not b
    // The world outside.
    OP_INPUT,   // d := the value given to input a this step, else what it held
    OP_CALL,    // call a (a call site); its arguments and results are slots of the site
    OP_ASSERT,  // assertion b is violated when a is false (and not nil)
    OP_PRESENT, // an error unless a (a clock's activity) is set: variable b is absent
    OP_HALT,
    OP_ARG,  // the second word of an instruction: never run
    OP_COUNT
};

// The instructions that copy values whatever their type (moves,
// selections, pre, memories, constants) say when the value is a real with
// this bit of their op: the machine code keeps reals apart.
const uint32_t kRealOp = 0x80;
inline Op base_op(uint32_t op) { return (Op)(op & ~kRealOp); }
static_assert(OP_COUNT <= (int)kRealOp, "ops leave their top bit free");

struct Ins {
    uint32_t op : 8;
    uint32_t d : 24;  // destination slot
    uint32_t a;
    uint32_t b;
};
static_assert(sizeof(Ins) == 12, "three words per instruction");

const uint32_t kMaxSlots = 1u << 24;
const uint32_t kNilFlag = 0x80000000u;  // in an operand that is a slot: read its nil flag

// A call of an external function: where its arguments are and where its
// results go; the variable whose equation calls it.
struct CallSite {
    int function;  // symbol
    int variable;  // symbol of the variable (0 for an assertion)
    std::vector<uint32_t> args;  // slots, with kNilFlag when they may be nil
    std::vector<const SimType*> arg_types;
    std::vector<uint32_t> results;
    std::vector<const SimType*> result_types;
    bool nil_aware = false;  // an argument may be nil: then the results are, uncalled
};

// A variable as the run sees it.
// (12 bytes: a program may have millions. Its value's slot is
// Code::slot_of.)
struct SimVar {
    int symbol;
    uint32_t active;     // slot of its clock's activity flag
    uint32_t level : 8;  // 0: never nil; else may be nil (see compile.h)
    uint32_t type : 24;  // ValueCodec::type
};
const uint32_t kMaxTypes = 1u << 24;

// Where each part of the code comes from, for runtime errors: the
// instructions from `start' on, up to the next entry, compute `variable'.
struct CodeOwner {
    uint32_t start;
    int variable;  // 0 for an assertion or the machinery of clocks
};

struct Code {
    std::vector<Ins> ins;
    uint32_t nslots = 0;
    std::vector<Val> init;            // both frames before the first step
    std::vector<uint8_t> init_nil;
    std::vector<CallSite> calls;
    std::vector<uint32_t> lists;      // operand lists of the n-ary instructions
    std::vector<uint32_t> temps;      // the temporaries' slots, by depth (see compile.h)
    std::vector<uint32_t> constants;  // slots that hold the same value at every step
    uint32_t base_fnow = 0;    // the base clock's "first instant" flag
    uint32_t base_fstate = 0;  // its state: not ticked yet
    std::vector<CodeOwner> owners;    // in increasing start order
    std::vector<SimVar> vars;         // inputs, outputs and locals
    uint32_t first_var_slot = 0;      // the variables' slots follow each other from here
    uint32_t slot_of(uint32_t var) const { return first_var_slot + var; }
    std::vector<uint32_t> inputs;     // index in vars of each input, in order
    std::vector<uint32_t> base_inputs;  // places in `inputs' of those on the base clock
    int variable_at(uint32_t ins) const;
    // A variable's place in vars, or -1, found through the model, which
    // knows each one's place in its own list (inputs, outputs, locals).
    int var_index(const EcPrg* prg, int symbol) const;
};

#endif
