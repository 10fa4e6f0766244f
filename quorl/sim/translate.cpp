// The machine code of each instruction, and of the step around them: the
// prologue that loads the frames' registers, the exits, the jumps resolved.
#include <climits>
#include <cstddef>

#include "quorl/sim/translator.h"

namespace native {

using namespace x64;

void Translator::instruction(uint32_t index) {
    const Ins& x = _code.ins[index];
    Op op = base_op(x.op);
    bool real = (x.op & kRealOp) != 0;
    switch (op) {
        case OP_MOV: copy(x.d, x.a, real); return;
        case OP_MOVN:
            copy(x.d, x.a, real);
            a.load8(RAX, nil(x.a));
            a.store8(nil(x.d), RAX);
            return;
        case OP_NIL1:
        case OP_NIL2:
            a.load8(RAX, nil(x.a));
            if (op == OP_NIL2) a.or8(RAX, nil(x.b));
            a.store8(nil(x.d), RAX);
            a.op({}, false, {0x84}, RAX, Opnd::r(RAX));  // test al, al
            jump_to(a.jcc(NE), index + 2);
            return;
        case OP_NILSET:
        case OP_NILCLR: a.store8_imm(nil(x.d), op == OP_NILSET); return;
        case OP_CONST:
            a.mov64_imm(RAX, (int64_t)((uint64_t)x.a | (uint64_t)x.b << 32));
            real ? rbits_store(x.d, RAX) : istore(x.d, RAX);
            return;
        case OP_SEL:
        case OP_SELN: {
            uint32_t c = _code.ins[index + 1].a;
            if ((c & ~kNilFlag) == _code.base_fnow) {  // -> on the base clock: its right side
                copy(x.d, x.b & ~kNilFlag, real);
                if (op == OP_SELN) nil_of(x.d, x.b);
                return;
            }
            op == OP_SEL ? selection(x, c, real) : selection_with_nil(x, c, real);
            return;
        }
        case OP_JMP: jump_to(a.jmp(), index + 1 + x.a); return;
        case OP_JF:
        case OP_GUARD:
            if (x.a == _code.base_fnow) {  // -> on the base clock, with jumps
                jump_to(a.jmp(), index + 1 + x.b);
                return;
            }
            test_zero(x.a);
            jump_to(a.jcc(E), index + 1 + x.b);
            return;
        case OP_JNIL:
            a.cmp8_imm(nil(x.a), 0);
            jump_to(a.jcc(NE), index + 1 + x.b);
            return;
        case OP_IDIV:
        case OP_IMOD: division(x, index); return;
        case OP_INEG:
        case OP_INEGO:
        case OP_NOT: {
            int w = work(x.d, {}, x.a);
            iload(w, x.a);
            if (op == OP_NOT) {
                a.alu32(Asm::XOR, w, Opnd::i(1));
            } else {
                if (op == OP_INEGO) {
                    a.alu32(Asm::CMP, w, Opnd::i(INT_MIN));
                    fail(a.jcc(E), RUN_OVERFLOW, index);
                }
                a.neg32(w);
            }
            istore(x.d, w);
            return;
        }
        case OP_RADD:
        case OP_RSUB:
        case OP_RMUL:
        case OP_RDIV: real_binary(x); return;
        case OP_REQ:
        case OP_RNE:
        case OP_RLT:
        case OP_RLE:
        case OP_RGT:
        case OP_RGE: real_compare(x); return;
        case OP_RNEG:
            rbits_load(RAX, x.a);
            a.btc64(RAX, 63);
            rbits_store(x.d, RAX);
            return;
        case OP_I2R: {
            int w = xreg(x.d) >= 0 ? xreg(x.d) : 0;
            a.cvtsi2sd(w, imem(x.a));
            rstore(x.d, w);
            return;
        }
        case OP_PREV:
        case OP_PREVN:
        case OP_PREV0: previous(x, real); return;
        case OP_MEMSAVE: memory(x, real); return;
        case OP_CLOCK: {
            uint32_t c = x.b & ~kNilFlag;
            iload(RAX, x.a);
            a.alu32(Asm::AND, RAX, isrc(c));
            if (x.b & kNilFlag) {
                a.op({}, false, {0x0F, 0xB6}, RCX, nil(c));  // movzx ecx, byte nil
                a.alu32(Asm::XOR, RCX, Opnd::i(1));
                a.alu32(Asm::AND, RAX, Opnd::r(RCX));
            }
            istore(x.d, RAX);
            return;
        }
        case OP_FNOW:
            a.mov32(RAX, prev(x.a));
            a.store32(cur(x.d), RAX);
            return;
        case OP_FSTATE:
            iload(RAX, x.b);
            a.alu32(Asm::XOR, RAX, Opnd::i(1));
            a.alu32(Asm::AND, RAX, isrc(x.a));
            istore(x.d, RAX);
            return;
        case OP_HALT: _ok_exits.push_back(a.jmp()); return;
        case OP_ARG: return;
        case OP_ASSERT: assertion(x, index); return;
        default: break;
    }
    if ((op >= OP_IADD && op <= OP_ISUBO) || op == OP_IMULO || op == OP_IMUL ||
        (op >= OP_IEQ && op <= OP_IGE) || (op >= OP_AND && op <= OP_IMPL)) {
        int_binary(x, index);
        return;
    }
    slow(index);  // powers, int of a real, #, nor, inputs, calls
}

bool Translator::translate() {
    // Prologue: the callee-saved registers, the stack aligned for calls.
    for (int r : {RBX, RBP, R12, R13, R14, R15}) a.push(r);
    a.sub_rsp(8);
    a.mov_reg64(R15, RDI);
    a.mov64(RBX, Opnd::m(R15, offsetof(Context, cur)));
    a.mov64(RBP, Opnd::m(R15, offsetof(Context, prev)));
    a.mov64(R13, Opnd::m(R15, offsetof(Context, curnil)));
    a.mov64(R14, Opnd::m(R15, offsetof(Context, prevnil)));
    std::vector<size_t> at(_code.ins.size() + 1);
    for (uint32_t k = 0; k < _code.ins.size(); ++k) {
        at[k] = a.size();
        instruction(k);
    }
    at[_code.ins.size()] = a.size();
    assertion_stubs();
    // The failures of the machine code itself note what and where.
    for (const Stub& s : _stubs) {
        a.land(s.at, a.size());
        a.op({}, false, {0xC7}, 0, Opnd::m(R15, offsetof(Context, fault)));
        a.dword((int32_t)s.fault);
        a.op({}, false, {0xC7}, 0, Opnd::m(R15, offsetof(Context, ins)));
        a.dword((int32_t)s.index);
        _fail_exits.push_back(a.jmp());
    }
    size_t ok = a.size();
    a.alu32(Asm::XOR, RAX, Opnd::r(RAX));
    size_t out = a.jmp();
    size_t failed = a.size();
    a.mov32(RAX, Opnd::i(1));
    a.land(out, a.size());
    a.add_rsp(8);
    for (int r : {R15, R14, R13, R12, RBP, RBX}) a.pop(r);
    a.ret();
    for (size_t j : _ok_exits) a.land(j, ok);
    for (size_t j : _fail_exits) a.land(j, failed);
    for (const Fixup& f : _fixups) {
        if (f.target > _code.ins.size()) return false;
        a.land(f.at, at[f.target]);
    }
    return true;
}

bool translate(const Code& code, const Val* constants, std::vector<uint8_t>* bytes,
               std::vector<NativeCode::Slow>* slow) {
    Translator t(code, constants);
    if (!t.translate()) return false;
    bytes->swap(t.a.code);
    slow->swap(t.slow_ins);
    return true;
}

}  // namespace native
