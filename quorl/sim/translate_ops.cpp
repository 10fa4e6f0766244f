// The longer pieces of the instructions' machine code: copies, selections,
// previous values and memories, arithmetic, and the way through the run
// loop.
#include <climits>

#include "quorl/sim/translator.h"

namespace native {

using namespace x64;

void Translator::copy(uint32_t d, uint32_t s, bool real) {
    if (real) {
        if (xreg(d) >= 0) {
            rload(xreg(d), s);
            written(d, true);
        } else if (xreg(s) >= 0) {
            a.movsd_store(cur(d), xreg(s));
        } else {
            a.mov64(RAX, cur(s));
            a.store64(cur(d), RAX);
        }
        return;
    }
    if (ireg(d) >= 0) {
        iload(ireg(d), s);
        written(d, false);
    } else if (ireg(s) < 0 && _constant[s]) {
        a.op({}, false, {0xC7}, 0, cur(d));  // mov dword [d], imm32
        a.dword(_values[s].i);
    } else {
        int r = ireg(s) >= 0 ? ireg(s) : RAX;
        iload(r, s);
        a.store32(cur(d), r);
    }
}

// d := (c ? a : b), without a branch.
void Translator::selection(const Ins& x, uint32_t c, bool real) {
    if (real) {
        rbits_load(RAX, x.a);
        if (xreg(x.b) >= 0) a.movq_from_xmm(RCX, xreg(x.b));
        test_zero(c);
        a.cmov64(E, RAX, xreg(x.b) >= 0 ? Opnd::r(RCX) : cur(x.b));
        rbits_store(x.d, RAX);
        return;
    }
    if (_constant[x.a] && _constant[x.b]) {
        // Between two constants: else + c * (then - else), c being 0 or 1
        // (the arithmetic wraps, so the difference need not fit).
        int32_t then = _values[x.a].i, otherwise = _values[x.b].i;
        int w = work(x.d, {c});
        a.imul32_imm(w, imem(c), (int32_t)((uint32_t)then - (uint32_t)otherwise));
        if (otherwise != 0) a.alu32(Asm::ADD, w, Opnd::i(otherwise));
        istore(x.d, w);
        return;
    }
    int w = work(x.d, {x.b, c}, x.a);
    iload(w, x.a);
    test_zero(c);
    a.op({}, false, {0x0F, 0x44}, w, imem(x.b));  // cmove r32, r/m32
    istore(x.d, w);
}

// The same with nil flags: nil when c is, else the chosen one's.
// The operands and the condition carry kNilFlag when they may be nil.
void Translator::selection_with_nil(const Ins& x, uint32_t c, bool real) {
    size_t is_nil = SIZE_MAX;
    if (c & kNilFlag) {
        a.cmp8_imm(nil(c & ~kNilFlag), 0);
        is_nil = a.jcc(NE);
    }
    test_zero(c & ~kNilFlag);
    size_t second = a.jcc(E);
    copy(x.d, x.a & ~kNilFlag, real);
    nil_of(x.d, x.a);
    size_t end = a.jmp();
    a.land(second, a.size());
    copy(x.d, x.b & ~kNilFlag, real);
    nil_of(x.d, x.b);
    if (is_nil != SIZE_MAX) {
        size_t done = a.jmp();
        a.land(is_nil, a.size());
        a.store8_imm(nil(x.d), 1);
        a.land(done, a.size());
    }
    a.land(end, a.size());
    written(x.d, real);
}

// d's nil flag: the operand's when it may be nil, else clear.
void Translator::nil_of(uint32_t d, uint32_t operand) {
    if (operand & kNilFlag) {
        a.load8(RAX, nil(operand & ~kNilFlag));
        a.store8(nil(d), RAX);
    } else {
        a.store8_imm(nil(d), 0);
    }
}

void Translator::spill(bool back) {
    for (size_t k = 0; k < _code.temps.size() && (int)k < kRegTemps; ++k) {
        Opnd home = cur(_code.temps[k]);
        if (_real[k])
            back ? a.movsd_load(2 + (int)k, home) : a.movsd_store(home, 2 + (int)k);
        else
            back ? a.mov64(kTempRegs[k], home) : a.store64(home, kTempRegs[k]);
    }
}

void Translator::slow(uint32_t index) {
    const Ins& x = _code.ins[index];
    NativeCode::Slow s{{x, Ins{}}, index};
    s.ins[1].op = OP_HALT;
    slow_ins.push_back(s);
    spill(false);
    a.mov_reg64(RDI, R15);
    a.mov32(RSI, Opnd::i((int32_t)(slow_ins.size() - 1)));
    a.mov64_imm(RAX, (int64_t)(intptr_t)&run_one);
    a.call(RAX);
    // What it wrote, and of which kind.
    Op op = base_op(x.op);
    if (op == OP_RPOW) {
        written(x.d, true);
    } else if (op == OP_CALL) {
        const CallSite& site = _code.calls[x.a];
        for (size_t k = 0; k < site.results.size(); ++k)
            written(site.results[k], site.result_types[k]->kind == Kind::REAL);
    } else if (op != OP_INPUT && op != OP_ASSERT && op != OP_PRESENT) {
        written(x.d, false);
    }
    spill(true);
    a.test32(RAX, RAX);
    _fail_exits.push_back(a.jcc(NE));
}

void Translator::int_binary(const Ins& x, uint32_t index) {
    Op op = base_op(x.op);
    uint32_t first = x.a, second = x.b;
    bool compare = op >= OP_IEQ && op <= OP_IGE;
    bool commutes = op == OP_IADD || op == OP_IADDO || op == OP_IMUL || op == OP_IMULO ||
                    op == OP_AND || op == OP_OR || op == OP_XOR;
    // Into the destination's register when the second operand is not in it.
    if (commutes && ireg(second) >= 0 && ireg(second) == ireg(x.d) && ireg(first) != ireg(x.d))
        std::swap(first, second);
    if (compare) {
        static const Cond cond[] = {E, NE, L, LE, G, GE};
        int left = ireg(first);
        if (left >= 0) {
            a.alu32(Asm::CMP, left, isrc(second));
        } else if (_constant[second]) {  // the frame against an immediate
            a.cmp32_imm(imem(first), _values[second].i);
        } else if (ireg(second) >= 0) {  // the frame against a register
            a.cmp32_mem(imem(first), ireg(second));
        } else {
            iload(RAX, first);
            a.alu32(Asm::CMP, RAX, isrc(second));
        }
        a.setcc(cond[op - OP_IEQ], RAX);
        int w = ireg(x.d) >= 0 ? ireg(x.d) : RAX;
        a.movzx8(w, RAX);
        istore(x.d, w);
        return;
    }
    int w = work(x.d, {second}, first);
    if ((op == OP_IMUL || op == OP_IMULO) && _constant[second]) {  // w := first * immediate
        a.imul32_imm(w, imem(first), _values[second].i);
        if (op == OP_IMULO) fail(a.jcc(O), RUN_OVERFLOW, index);
        istore(x.d, w);
        return;
    }
    iload(w, first);
    switch (op) {
        case OP_IADD:
        case OP_IADDO: a.alu32(Asm::ADD, w, isrc(second)); break;
        case OP_ISUB:
        case OP_ISUBO: a.alu32(Asm::SUB, w, isrc(second)); break;
        case OP_IMUL:
        case OP_IMULO: a.imul32(w, isrc(second)); break;
        case OP_AND: a.alu32(Asm::AND, w, isrc(second)); break;
        case OP_OR: a.alu32(Asm::OR, w, isrc(second)); break;
        case OP_XOR: a.alu32(Asm::XOR, w, isrc(second)); break;
        default:  // =>
            a.alu32(Asm::XOR, w, Opnd::i(1));
            a.alu32(Asm::OR, w, isrc(second));
    }
    if (op == OP_IADDO || op == OP_ISUBO || op == OP_IMULO) fail(a.jcc(O), RUN_OVERFLOW, index);
    istore(x.d, w);
}

// div and mod truncate toward zero; a zero divisor fails; INT_MIN div -1
// fails, INT_MIN mod -1 is 0.
void Translator::division(const Ins& x, uint32_t index) {
    Op op = base_op(x.op);
    iload(RAX, x.a);
    a.mov32(RCX, isrc(x.b));
    if (_constant[x.b] && _values[x.b].i != 0 && _values[x.b].i != -1) {  // nothing to check
        a.cdq();
        a.idiv32(RCX);
        istore(x.d, op == OP_IMOD ? RDX : RAX);
        return;
    }
    a.test32(RCX, RCX);
    fail(a.jcc(E), RUN_DIVISION_BY_ZERO, index);
    a.alu32(Asm::CMP, RCX, Opnd::i(-1));
    size_t normal = a.jcc(NE);
    if (op == OP_IDIV) {
        a.alu32(Asm::CMP, RAX, Opnd::i(INT_MIN));
        fail(a.jcc(E), RUN_OVERFLOW, index);
        a.neg32(RAX);
    } else {
        a.alu32(Asm::XOR, RAX, Opnd::r(RAX));
    }
    size_t done = a.jmp();
    a.land(normal, a.size());
    a.cdq();
    a.idiv32(RCX);
    if (op == OP_IMOD) a.mov32(RAX, Opnd::r(RDX));
    a.land(done, a.size());
    istore(x.d, RAX);
}

void Translator::real_binary(const Ins& x) {
    Op op = base_op(x.op);
    int code = op == OP_RADD ? Asm::ADDSD
               : op == OP_RSUB ? Asm::SUBSD
               : op == OP_RMUL ? Asm::MULSD
                               : Asm::DIVSD;
    // In the destination's register when the second operand is not in it.
    int w = xreg(x.d) >= 0 && xreg(x.d) != xreg(x.b) ? xreg(x.d) : 0;
    rload(w, x.a);
    a.sd(code, w, rsrc(x.b));
    rstore(x.d, w);
}

// ucomisd sets the carry, zero and parity flags; parity means unordered
// (a NaN), for which only <> holds.
void Translator::real_compare(const Ins& x) {
    Op op = base_op(x.op);
    bool swap = op == OP_RLT || op == OP_RLE;  // a < b is b > a
    uint32_t left = swap ? x.b : x.a, right = swap ? x.a : x.b;
    int l = xreg(left) >= 0 ? xreg(left) : 0;
    rload(l, left);
    a.ucomisd(l, rsrc(right));
    switch (op) {
        case OP_REQ:
            a.setcc(E, RAX);
            a.setcc(NP, RCX);
            a.op({}, false, {0x22}, RAX, Opnd::r(RCX));  // and al, cl
            break;
        case OP_RNE:
            a.setcc(NE, RAX);
            a.setcc(P, RCX);
            a.op({}, false, {0x0A}, RAX, Opnd::r(RCX));  // or al, cl
            break;
        case OP_RLT:
        case OP_RGT: a.setcc(A, RAX); break;
        default: a.setcc(AE, RAX); break;
    }
    int w = ireg(x.d) >= 0 ? ireg(x.d) : RAX;
    a.movzx8(w, RAX);
    istore(x.d, w);
}

void Translator::previous(const Ins& x, bool real) {
    Op op = base_op(x.op);
    if (real && xreg(x.d) >= 0) {
        a.movsd_load(xreg(x.d), prev(x.a));
        written(x.d, true);
    } else if (real) {
        a.mov64(RAX, prev(x.a));
        a.store64(cur(x.d), RAX);
    } else {
        int w = ireg(x.d) >= 0 ? ireg(x.d) : RAX;
        a.mov32(w, prev(x.a));
        istore(x.d, w);
    }
    if (op == OP_PREV0) return;
    if (x.b == _code.base_fnow) {  // not the first instant
        if (op == OP_PREVN) {
            a.load8(RAX, prevnil(x.a));
            a.store8(nil(x.d), RAX);
        } else {
            a.store8_imm(nil(x.d), 0);
        }
        return;
    }
    a.load8(RAX, cur(x.b));
    if (op == OP_PREVN) a.or8(RAX, prevnil(x.a));
    a.store8(nil(x.d), RAX);
}

// A memory: the new value where its clock ticks, else the old one.
void Translator::memory(const Ins& x, bool real) {
    uint32_t from = x.a & ~kNilFlag;
    size_t keep = 0;
    bool always = x.b == 1;  // the base clock's activity
    if (!always) {
        test_zero(x.b);
        keep = a.jcc(E);
    }
    copy(x.d, from, real);
    if (x.a & kNilFlag)
        a.load8(RAX, nil(from));
    else
        a.alu32(Asm::XOR, RAX, Opnd::r(RAX));
    a.store8(nil(x.d), RAX);
    if (always) return;
    size_t end = a.jmp();
    a.land(keep, a.size());
    a.mov64(RAX, prev(x.d));
    a.store64(cur(x.d), RAX);
    a.load8(RAX, prevnil(x.d));
    a.store8(nil(x.d), RAX);
    a.land(end, a.size());
}

// An assertion holds when its operand is true or nil; else the run loop
// runs it. Nothing is left in the temporaries' registers after an
// assertion, so only its operand is written to its slot for the run loop.
void Translator::assertion(const Ins& x, uint32_t index) {
    uint32_t s = x.a & ~kNilFlag;
    size_t nil_holds = 0;
    if (x.a & kNilFlag) {
        a.cmp8_imm(nil(s), 0);
        nil_holds = a.jcc(NE);
    }
    test_zero(s);
    size_t at = a.jcc(E);
    if (x.a & kNilFlag) a.land(nil_holds, a.size());
    slow_ins.push_back(NativeCode::Slow{{x, Ins{}}, index});
    slow_ins.back().ins[1].op = OP_HALT;
    _violations.push_back({at, a.size(), (uint32_t)(slow_ins.size() - 1), ireg(s), s});
}

// After the code: one stub per assertion, and the call into the run loop
// they share (its failure leaves by the failure exit).
void Translator::assertion_stubs() {
    if (_violations.empty()) return;
    std::vector<size_t> calls;
    for (const Violation& v : _violations) {
        a.land(v.at, a.size());
        if (v.reg >= 0) a.store32(cur(v.slot), v.reg);
        a.mov32(RSI, Opnd::i((int32_t)v.slow));
        calls.push_back(a.call_near());
        a.land(a.jmp(), v.back);
    }
    for (size_t c : calls) a.land(c, a.size());
    a.sub_rsp(8);  // the call pushed 8 bytes: aligned again for C
    a.mov_reg64(RDI, R15);
    a.mov64_imm(RAX, (int64_t)(intptr_t)&run_one);
    a.call(RAX);
    a.add_rsp(8);
    a.test32(RAX, RAX);
    size_t failed = a.jcc(NE);
    a.ret();
    a.land(failed, a.size());
    a.add_rsp(8);  // the return address
    _fail_exits.push_back(a.jmp());
}

}  // namespace native
