// Machine code for the code of a step (x86-64, System V).
//
// Registers while it runs: rbx the frame being computed, rbp the previous
// frame, r13 and r14 their nil flags, r15 the context; rax, rcx, rdx for the
// instruction at hand; rsi, rdi, r8 to r11 the temporaries of an equation
// (by depth: the compiler takes and frees them as a stack), xmm0 and xmm1
// for reals. Values of other slots stay in the frames. The instructions
// that are rare or long run through the run loop, the temporaries first
// written to their slots and read back after.
#include "quorl/sim/native.h"

#if defined(__x86_64__) && defined(__linux__)
#define QUORL_NATIVE 1
#endif

#include <sys/mman.h>

#include <climits>
#include <cstddef>
#include <unordered_map>
#include <vector>

#include "quorl/sim/x64.h"

namespace {

// What the machine code reads and writes besides the frames.
struct Context {
    Val* cur;               // 0
    const Val* prev;        // 8
    uint8_t* curnil;        // 16
    const uint8_t* prevnil; // 24
    const Code* code;       // 32: its calls and lists
    const NativeCode::Slow* slow;
    Outside* outside;       // 48
    RunError* error;        // 56
    uint32_t fault;         // 64: a failure of the machine code itself
    uint32_t ins;           // 68: its instruction
};

// One instruction through the run loop: 0, or 1 after a failure (the
// error is then filled in).
int run_one(Context* c, uint32_t slow) {
    const NativeCode::Slow& s = c->slow[slow];
    Frames f{c->cur, c->prev, c->curnil, c->prevnil};
    if (run_code(*c->code, s.ins, f, c->outside, c->error) == RUN_OK) return 0;
    c->error->ins = s.index;
    return 1;
}

using namespace x64;

const int kTempRegs[] = {RSI, RDI, R8, R9, R10, R11};
const int kNTempRegs = 6;

class Translator {
public:
    Translator(const Code& code, const Val* constants) : _code(code), _values(constants) {
        for (size_t k = 0; k < code.temps.size() && (int)k < kNTempRegs; ++k)
            _reg_of[code.temps[k]] = kTempRegs[k];
        _constant.assign(code.nslots, false);
        for (uint32_t s : code.constants) _constant[s] = true;
    }
    bool translate();
    Asm a;
    std::vector<NativeCode::Slow> slow_ins;

private:
    // ---- operands
    int reg(uint32_t slot) const {
        auto it = _reg_of.find(slot);
        return it == _reg_of.end() ? -1 : it->second;
    }
    static Opnd cur(uint32_t slot) { return Opnd::m(RBX, (int64_t)slot * 8); }
    static Opnd prev(uint32_t slot) { return Opnd::m(RBP, (int64_t)slot * 8); }
    static Opnd nil(uint32_t slot) { return Opnd::m(R13, slot); }
    static Opnd prevnil(uint32_t slot) { return Opnd::m(R14, slot); }
    // A slot as the source of a 32-bit operation: its register, its
    // constant, or its place in the frame.
    Opnd src32(uint32_t slot) const {
        int r = reg(slot);
        if (r >= 0) return Opnd::r(r);
        if (_constant[slot]) return Opnd::i(_values[slot].i);
        return cur(slot);
    }
    void load32(int dst, uint32_t slot) {
        if (reg(slot) != dst) a.mov32(dst, src32(slot));
    }
    // A constant whose upper half is 0 (an int, a bool) is an immediate; a
    // real is read from its slot (shorter than a 64-bit immediate).
    void load64(int dst, uint32_t slot) {
        int r = reg(slot);
        uint64_t bits = 0;
        if (_constant[slot]) memcpy(&bits, &_values[slot], 8);
        if (r == dst) return;
        if (r >= 0)
            a.mov_reg64(dst, r);
        else if (_constant[slot] && bits >> 32 == 0)
            a.mov32(dst, Opnd::i((int32_t)(uint32_t)bits));
        else
            a.mov64(dst, cur(slot));
    }
    // A slot as the r/m operand of a 64-bit instruction (cmov): its
    // register, or its place in the frame (a constant's too).
    Opnd src64(uint32_t slot) const {
        int r = reg(slot);
        return r >= 0 ? Opnd::r(r) : cur(slot);
    }
    // The register an instruction computes in: the destination's own when
    // it has one that none of `others' is in, else rax.
    int work(uint32_t d, std::initializer_list<uint32_t> others) const {
        int r = reg(d);
        if (r < 0) return RAX;
        for (uint32_t o : others)
            if (reg(o) == r) return RAX;
        return r;
    }
    void store32(uint32_t slot, int src) {
        int r = reg(slot);
        if (r == src) return;
        if (r >= 0)
            a.mov32(r, Opnd::r(src));
        else
            a.store32(cur(slot), src);
    }
    void store64(uint32_t slot, int src) {
        int r = reg(slot);
        if (r == src) return;
        if (r >= 0)
            a.mov_reg64(r, src);
        else
            a.store64(cur(slot), src);
    }
    void load_real(int x, uint32_t slot) {
        int r = reg(slot);
        if (r >= 0)
            a.movq_to_xmm(x, r);
        else
            a.movsd_load(x, cur(slot));
    }
    Opnd real_src(uint32_t slot) {  // an operand of an sd instruction
        int r = reg(slot);
        if (r < 0) return cur(slot);
        a.movq_to_xmm(1, r);
        return Opnd::r(1);
    }
    void store_real(uint32_t slot, int x) {
        int r = reg(slot);
        if (r >= 0)
            a.movq_from_xmm(r, x);
        else
            a.movsd_store(cur(slot), x);
    }
    // cmp a 32-bit slot with 0.
    void test_zero(uint32_t slot) {
        int r = reg(slot);
        if (r >= 0)
            a.test32(r, r);
        else
            a.cmp32_imm(cur(slot), 0);
    }

    // ---- jumps to instructions, resolved at the end
    void jump_to(size_t at, uint32_t target) { _fixups.push_back({at, target}); }
    void fail(size_t at, RunFault fault, uint32_t index) { _stubs.push_back({at, fault, index}); }

    void instruction(uint32_t index);
    void slow(uint32_t index);
    void int_binary(const Ins& x, uint32_t index);
    void division(const Ins& x, uint32_t index);
    void real_binary(const Ins& x);
    void real_compare(const Ins& x);

    const Code& _code;
    const Val* _values;
    std::unordered_map<uint32_t, int> _reg_of;
    std::vector<bool> _constant;
    struct Fixup {
        size_t at;
        uint32_t target;
    };
    struct Stub {
        size_t at;
        RunFault fault;
        uint32_t index;
    };
    std::vector<Fixup> _fixups;
    std::vector<Stub> _stubs;
    std::vector<size_t> _ok_exits, _fail_exits;
};

void Translator::slow(uint32_t index) {
    NativeCode::Slow s{{_code.ins[index], Ins{}}, index};
    s.ins[1].op = OP_HALT;
    slow_ins.push_back(s);
    for (size_t k = 0; k < _code.temps.size() && (int)k < kNTempRegs; ++k)
        a.store64(cur(_code.temps[k]), kTempRegs[k]);
    a.mov_reg64(RDI, R15);
    a.mov32(RSI, Opnd::i((int32_t)(slow_ins.size() - 1)));
    a.mov64_imm(RAX, (int64_t)(intptr_t)&run_one);
    a.call(RAX);
    for (size_t k = 0; k < _code.temps.size() && (int)k < kNTempRegs; ++k)
        a.mov64(kTempRegs[k], cur(_code.temps[k]));
    a.test32(RAX, RAX);
    _fail_exits.push_back(a.jcc(NE));
}

void Translator::int_binary(const Ins& x, uint32_t index) {
    uint32_t first = x.a, second = x.b;
    bool compare = x.op >= OP_IEQ && x.op <= OP_IGE;
    bool commutes = x.op == OP_IADD || x.op == OP_IADDO || x.op == OP_IMUL || x.op == OP_IMULO ||
                    x.op == OP_AND || x.op == OP_OR || x.op == OP_XOR;
    // Into the destination's register when the second operand is not in it.
    if (commutes && reg(second) >= 0 && reg(second) == reg(x.d) && reg(first) != reg(x.d))
        std::swap(first, second);
    if (compare) {
        static const Cond cond[] = {E, NE, L, LE, G, GE};
        int left = reg(first);
        if (left < 0) {
            load32(RAX, first);
            left = RAX;
        }
        a.alu32(Asm::CMP, left, src32(second));
        a.setcc(cond[x.op - OP_IEQ], RAX);
        int w = reg(x.d) >= 0 ? reg(x.d) : RAX;
        a.movzx8(w, RAX);
        store32(x.d, w);
        return;
    }
    int w = work(x.d, {second});
    load32(w, first);
    switch (x.op) {
        case OP_IADD:
        case OP_IADDO: a.alu32(Asm::ADD, w, src32(second)); break;
        case OP_ISUB:
        case OP_ISUBO: a.alu32(Asm::SUB, w, src32(second)); break;
        case OP_IMUL:
        case OP_IMULO: a.imul32(w, src32(second)); break;
        case OP_AND: a.alu32(Asm::AND, w, src32(second)); break;
        case OP_OR: a.alu32(Asm::OR, w, src32(second)); break;
        case OP_XOR: a.alu32(Asm::XOR, w, src32(second)); break;
        default:  // =>
            a.alu32(Asm::XOR, w, Opnd::i(1));
            a.alu32(Asm::OR, w, src32(second));
    }
    if (x.op == OP_IADDO || x.op == OP_ISUBO || x.op == OP_IMULO) fail(a.jcc(O), RUN_OVERFLOW, index);
    store32(x.d, w);
}

// div and mod truncate toward zero; a zero divisor fails; INT_MIN div -1
// fails, INT_MIN mod -1 is 0.
void Translator::division(const Ins& x, uint32_t index) {
    load32(RAX, x.a);
    a.mov32(RCX, src32(x.b));
    a.test32(RCX, RCX);
    fail(a.jcc(E), RUN_DIVISION_BY_ZERO, index);
    a.alu32(Asm::CMP, RCX, Opnd::i(-1));
    size_t normal = a.jcc(NE);
    if (x.op == OP_IDIV) {
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
    if (x.op == OP_IMOD) a.mov32(RAX, Opnd::r(RDX));
    a.land(done, a.size());
    store32(x.d, RAX);
}

void Translator::real_binary(const Ins& x) {
    load_real(0, x.a);
    int opcode = x.op == OP_RADD ? Asm::ADDSD
                 : x.op == OP_RSUB ? Asm::SUBSD
                 : x.op == OP_RMUL ? Asm::MULSD
                                   : Asm::DIVSD;
    a.sd(opcode, 0, real_src(x.b));
    store_real(x.d, 0);
}

// ucomisd sets the carry, zero and parity flags; parity means unordered
// (a NaN), for which only <> holds.
void Translator::real_compare(const Ins& x) {
    bool swap = x.op == OP_RLT || x.op == OP_RLE;  // a < b is b > a
    load_real(0, swap ? x.b : x.a);
    a.ucomisd(0, real_src(swap ? x.a : x.b));
    switch (x.op) {
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
    a.movzx8(RAX, RAX);
    store32(x.d, RAX);
}

void Translator::instruction(uint32_t index) {
    const Ins& x = _code.ins[index];
    switch (x.op) {
        case OP_MOV: {
            int w = work(x.d, {});
            load64(w, x.a);
            store64(x.d, w);
            return;
        }
        case OP_MOVN:
            load64(RAX, x.a);
            store64(x.d, RAX);
            a.load8(RAX, nil(x.a));
            a.store8(nil(x.d), RAX);
            return;
        case OP_NIL1:
        case OP_NIL2:
            a.load8(RAX, nil(x.a));
            if (x.op == OP_NIL2) a.or8(RAX, nil(x.b));
            a.store8(nil(x.d), RAX);
            a.op({}, false, {0x84}, RAX, Opnd::r(RAX));  // test al, al
            jump_to(a.jcc(NE), index + 2);
            return;
        case OP_NILSET:
        case OP_NILCLR: a.store8_imm(nil(x.d), x.op == OP_NILSET); return;
        case OP_CONST:
            a.mov64_imm(RAX, (int64_t)((uint64_t)x.a | (uint64_t)x.b << 32));
            store64(x.d, RAX);
            return;
        case OP_SEL: {
            uint32_t c = _code.ins[index + 1].a;
            if (c == _code.base_fnow) {  // -> on the base clock: its right side
                int w = work(x.d, {});
                load64(w, x.b);
                store64(x.d, w);
                return;
            }
            int w = work(x.d, {x.b, c});
            load64(w, x.a);
            test_zero(c);
            a.cmov64(E, w, src64(x.b));
            store64(x.d, w);
            return;
        }
        case OP_SELN: {
            uint32_t c = _code.ins[index + 1].a;
            if (c == _code.base_fnow) {
                load64(RAX, x.b);
                store64(x.d, RAX);
                a.load8(RAX, nil(x.b));
                a.store8(nil(x.d), RAX);
                return;
            }
            a.cmp8_imm(nil(c), 0);
            size_t is_nil = a.jcc(NE);
            test_zero(c);
            size_t second = a.jcc(E);
            load64(RAX, x.a);
            a.load8(RCX, nil(x.a));
            size_t chosen = a.jmp();
            a.land(second, a.size());
            load64(RAX, x.b);
            a.load8(RCX, nil(x.b));
            a.land(chosen, a.size());
            store64(x.d, RAX);
            a.store8(nil(x.d), RCX);
            size_t end = a.jmp();
            a.land(is_nil, a.size());
            a.store8_imm(nil(x.d), 1);
            a.land(end, a.size());
            return;
        }
        case OP_JMP: jump_to(a.jmp(), index + 1 + x.a); return;
        case OP_JF:
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
        case OP_GUARD:
            test_zero(x.a);
            jump_to(a.jcc(E), index + 1 + x.b);
            return;
        case OP_IDIV:
        case OP_IMOD: division(x, index); return;
        case OP_INEG:
        case OP_INEGO:
        case OP_NOT: {
            int w = work(x.d, {});
            load32(w, x.a);
            if (x.op == OP_NOT) {
                a.alu32(Asm::XOR, w, Opnd::i(1));
            } else {
                if (x.op == OP_INEGO) {
                    a.alu32(Asm::CMP, w, Opnd::i(INT_MIN));
                    fail(a.jcc(E), RUN_OVERFLOW, index);
                }
                a.neg32(w);
            }
            store32(x.d, w);
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
            load64(RAX, x.a);
            a.btc64(RAX, 63);
            store64(x.d, RAX);
            return;
        case OP_I2R:
            a.cvtsi2sd(0, reg(x.a) >= 0 ? Opnd::r(reg(x.a)) : cur(x.a));
            store_real(x.d, 0);
            return;
        case OP_PREV:
        case OP_PREVN:
        case OP_PREV0: {
            int w = work(x.d, {});
            a.mov64(w, prev(x.a));
            store64(x.d, w);
            if (x.op == OP_PREV0) return;
            if (x.b == _code.base_fnow) {  // not the first instant
                if (x.op == OP_PREVN) {
                    a.load8(RAX, prevnil(x.a));
                    a.store8(nil(x.d), RAX);
                } else {
                    a.store8_imm(nil(x.d), 0);
                }
                return;
            }
            a.load8(RAX, cur(x.b));
            if (x.op == OP_PREVN) a.or8(RAX, prevnil(x.a));
            a.store8(nil(x.d), RAX);
            return;
        }
        case OP_MEMSAVE: {
            uint32_t from = x.a & ~kNilFlag;
            size_t keep = 0;
            bool always = x.b == 1;  // the base clock's activity
            if (!always) {
                test_zero(x.b);
                keep = a.jcc(E);
            }
            load64(RAX, from);
            a.store64(cur(x.d), RAX);
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
            return;
        }
        case OP_CLOCK: {
            uint32_t c = x.b & ~kNilFlag;
            load32(RAX, x.a);
            a.alu32(Asm::AND, RAX, src32(c));
            if (x.b & kNilFlag) {
                a.op({}, false, {0x0F, 0xB6}, RCX, nil(c));  // movzx ecx, byte nil
                a.alu32(Asm::XOR, RCX, Opnd::i(1));
                a.alu32(Asm::AND, RAX, Opnd::r(RCX));
            }
            store32(x.d, RAX);
            return;
        }
        case OP_FNOW:
            a.mov32(RAX, prev(x.a));
            a.store32(cur(x.d), RAX);
            return;
        case OP_FSTATE:
            load32(RAX, x.b);
            a.alu32(Asm::XOR, RAX, Opnd::i(1));
            a.alu32(Asm::AND, RAX, src32(x.a));
            store32(x.d, RAX);
            return;
        case OP_HALT: _ok_exits.push_back(a.jmp()); return;
        case OP_ARG: return;
        default: break;
    }
    if ((x.op >= OP_IADD && x.op <= OP_ISUBO) || x.op == OP_IMULO || x.op == OP_IMUL ||
        (x.op >= OP_IEQ && x.op <= OP_IGE) || (x.op >= OP_AND && x.op <= OP_IMPL)) {
        int_binary(x, index);
        return;
    }
    slow(index);  // powers, int of a real, #, nor, inputs, calls, assertions
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

}  // namespace

std::unique_ptr<NativeCode> NativeCode::translate(const Code& code, const Val* constants) {
#ifdef QUORL_NATIVE
    Translator t(code, constants);
    if (!t.translate()) return nullptr;
    size_t size = t.a.size();
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return nullptr;
    memcpy(memory, t.a.code.data(), size);
    if (mprotect(memory, size, PROT_READ | PROT_EXEC) != 0) {
        munmap(memory, size);
        return nullptr;
    }
    return std::unique_ptr<NativeCode>(new NativeCode(memory, size, std::move(t.slow_ins)));
#else
    (void)code;
    (void)constants;
    return nullptr;
#endif
}

NativeCode::~NativeCode() {
    if (_memory) munmap(_memory, _size);
}

RunFault NativeCode::run(const Code& code, const Frames& f, Outside* outside,
                         RunError* error) const {
    Context c{f.cur, f.prev, f.curnil, f.prevnil, &code, _slow.data(), outside, error, 0, 0};
    auto entry = reinterpret_cast<int (*)(Context*)>(_memory);
    if (entry(&c) == 0) return RUN_OK;
    if (c.fault != RUN_OK) {  // a failure of the machine code itself
        error->fault = (RunFault)c.fault;
        error->ins = c.ins;
        error->detail = 0;
    }
    return error->fault;
}
