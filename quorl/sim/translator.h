// The translator of a step's code into x86-64 machine code (System V):
// its state and the small moves every instruction is made of. The
// instructions are in quorl/sim/translate.cpp, the longer pieces of them in
// quorl/sim/translate_ops.cpp.
//
// Registers while the code runs: rbx the frame being computed, rbp the
// previous frame, r13 and r14 their nil flags, r15 the context; rax, rcx,
// rdx and xmm0, xmm1 for the instruction at hand. The temporaries of an
// equation (the compiler takes and frees them as a stack) live in
// registers by depth: an int in rsi, rdi, r8 to r11, a real in xmm2 to
// xmm7. Values of other slots stay in the frames. The instructions that are
// rare or long run through the run loop, the temporaries first written to
// their slots and read back after.
#ifndef QUORL_SIM_TRANSLATOR_H
#define QUORL_SIM_TRANSLATOR_H

#include <cstdint>
#include <cstddef>
#include <initializer_list>
#include <unordered_map>
#include <vector>

#include "quorl/sim/translate.h"
#include "quorl/sim/x64.h"

namespace native {

// The translator and its pieces, all in this namespace, speak the
// assembler's names.
using namespace x64;  // NOLINT(google-build-using-namespace): internal header

const int kTempRegs[] = {RSI, RDI, R8, R9, R10, R11};
const int kRegTemps = 6;

class Translator {
public:
    Translator(const Code& code, const Val* constants) : _code(code), _values(constants) {
        for (size_t k = 0; k < code.temps.size() && (int)k < kRegTemps; ++k)
            _depth[code.temps[k]] = (int)k;
        _constant.assign(code.nslots, false);
        for (uint32_t s : code.constants) _constant[s] = true;
    }
    bool translate();
    Asm a;
    std::vector<NativeCode::Slow> slow_ins;

private:
    // ---- where a slot's value is
    int depth(uint32_t slot) const {
        auto it = _depth.find(slot);
        return it == _depth.end() ? -1 : it->second;
    }
    int ireg(uint32_t slot) const {
        int d = depth(slot);
        return d >= 0 && d < kRegTemps ? kTempRegs[d] : -1;
    }
    int xreg(uint32_t slot) const { return depth(slot) >= 0 ? 2 + depth(slot) : -1; }
    static Opnd cur(uint32_t slot) { return Opnd::m(RBX, (int64_t)slot * 8); }
    static Opnd prev(uint32_t slot) { return Opnd::m(RBP, (int64_t)slot * 8); }
    static Opnd nil(uint32_t slot) { return Opnd::m(R13, slot); }
    static Opnd prevnil(uint32_t slot) { return Opnd::m(R14, slot); }
    // A temporary now holds an int or a real (for the spills around the
    // run loop).
    void written(uint32_t slot, bool real) {
        if (depth(slot) >= 0) _real[depth(slot)] = real;
    }

    // ---- ints, on 32 bits
    Opnd isrc(uint32_t slot) const {
        if (ireg(slot) >= 0) return Opnd::r(ireg(slot));
        if (_constant[slot]) return Opnd::i(_values[slot].i);
        return cur(slot);
    }
    Opnd imem(uint32_t slot) const {  // an r/m operand (a constant from its slot)
        return ireg(slot) >= 0 ? Opnd::r(ireg(slot)) : cur(slot);
    }
    void iload(int r, uint32_t slot) {
        if (ireg(slot) != r) a.mov32(r, isrc(slot));
    }
    void istore(uint32_t slot, int r) { store(slot, r, false); }
    // The register an int instruction computes in: the destination's own
    // when none of `others' is in it; else the first operand's, a temporary
    // the instruction is the last to read; else rax.
    int work(uint32_t d, std::initializer_list<uint32_t> others, uint32_t first = UINT32_MAX) const {
        for (int r : {ireg(d), first == UINT32_MAX ? -1 : ireg(first)}) {
            if (r < 0) continue;
            bool free = true;
            for (uint32_t o : others) free = free && ireg(o) != r;
            if (free) return r;
        }
        return RAX;
    }
    void test_zero(uint32_t slot) {
        if (ireg(slot) >= 0)
            a.test32(ireg(slot), ireg(slot));
        else
            a.cmp32_imm(cur(slot), 0);
    }

    // ---- reals
    void rload(int x, uint32_t slot) {
        if (xreg(slot) == x) return;
        a.movsd_load(x, xreg(slot) >= 0 ? Opnd::r(xreg(slot)) : cur(slot));
    }
    Opnd rsrc(uint32_t slot) const { return xreg(slot) >= 0 ? Opnd::r(xreg(slot)) : cur(slot); }
    void rstore(uint32_t slot, int x) { store(slot, x, true); }
    // slot := register r (an xmm register for a real): into the slot's own
    // register when it has one, else its frame.
    void store(uint32_t slot, int r, bool real) {
        written(slot, real);
        int home = real ? xreg(slot) : ireg(slot);
        if (home == r) return;
        if (home >= 0 && real)
            a.movsd_load(home, Opnd::r(r));
        else if (home >= 0)
            a.mov32(home, Opnd::r(r));
        else if (real)
            a.movsd_store(cur(slot), r);
        else
            a.store32(cur(slot), r);
    }
    // A real's 64 bits in a general register, and back.
    void rbits_load(int r, uint32_t slot) {
        if (xreg(slot) >= 0)
            a.movq_from_xmm(r, xreg(slot));
        else
            a.mov64(r, cur(slot));
    }
    void rbits_store(uint32_t slot, int r) {
        written(slot, true);
        if (xreg(slot) >= 0)
            a.movq_to_xmm(xreg(slot), r);
        else
            a.store64(cur(slot), r);
    }

    // d := s, a real or an int.
    void copy(uint32_t d, uint32_t s, bool real);

    // ---- jumps to instructions, resolved at the end
    void jump_to(size_t at, uint32_t target) { _fixups.push_back({at, target}); }
    void fail(size_t at, RunFault fault, uint32_t index) { _stubs.push_back({at, fault, index}); }

    void instruction(uint32_t index);
    void selection(const Ins& x, uint32_t c, bool real);
    void selection_with_nil(const Ins& x, uint32_t c, bool real);
    void nil_of(uint32_t d, uint32_t operand);
    void slow(uint32_t index);
    void spill(bool back);
    void int_binary(const Ins& x, uint32_t index);
    void division(const Ins& x, uint32_t index);
    void real_binary(const Ins& x);
    void real_compare(const Ins& x);
    void previous(const Ins& x, bool real);
    void memory(const Ins& x, bool real);
    void assertion(const Ins& x, uint32_t index);
    void assertion_stubs();

    const Code& _code;
    const Val* _values;
    std::unordered_map<uint32_t, int> _depth;
    std::vector<bool> _constant;
    bool _real[kRegTemps] = {};
    struct Fixup {
        size_t at;
        uint32_t target;
    };
    struct Stub {
        size_t at;
        RunFault fault;
        uint32_t index;
    };
    // An assertion found false goes out of line to the run loop, which
    // decides (error, warning) and comes back.
    struct Violation {
        size_t at;       // the jump to patch
        size_t back;     // where the code goes on
        uint32_t slow;   // its instruction in slow_ins
        int reg;         // the register of its operand, or -1
        uint32_t slot;
    };
    std::vector<Violation> _violations;
    std::vector<Fixup> _fixups;
    std::vector<Stub> _stubs;
    std::vector<size_t> _ok_exits, _fail_exits;
};

}  // namespace native

#endif
