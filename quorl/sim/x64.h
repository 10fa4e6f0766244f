// A small x86-64 assembler: the instructions the native code of a step
// needs, encoded into a byte buffer. Registers are numbered as the
// processor numbers them (rax 0, rcx 1, rdx 2, rbx 3, rsp 4, rbp 5, rsi 6,
// rdi 7, r8 ... r15); xmm registers 0 to 15 likewise.
#ifndef QUORL_SIM_X64_H
#define QUORL_SIM_X64_H

#include <cstdint>
#include <cstring>
#include <vector>

namespace x64 {

enum Reg : int {
    RAX = 0, RCX, RDX, RBX, RSP, RBP, RSI, RDI, R8, R9, R10, R11, R12, R13, R14, R15
};

// An operand: a register, or memory at base + displacement, or an
// immediate (for the instructions that take one).
struct Opnd {
    enum Kind { REG, MEM, IMM } kind;
    int reg;       // REG: the register; MEM: the base register
    int32_t disp;  // MEM: the displacement; IMM: the value
    static Opnd r(int reg) { return Opnd{REG, reg, 0}; }
    static Opnd m(int base, int64_t disp) { return Opnd{MEM, base, (int32_t)disp}; }
    static Opnd i(int32_t value) { return Opnd{IMM, 0, value}; }
};

// Conditions of jcc, setcc and cmovcc.
enum Cond : int {
    O = 0, NO = 1, B = 2, AE = 3, E = 4, NE = 5, BE = 6, A = 7,
    S = 8, NS = 9, P = 10, NP = 11, L = 12, GE = 13, LE = 14, G = 15
};

class Asm {
public:
    std::vector<uint8_t> code;

    size_t size() const { return code.size(); }
    void byte(int b) { code.push_back((uint8_t)b); }
    void dword(int32_t v) {
        uint8_t b[4];
        memcpy(b, &v, 4);
        code.insert(code.end(), b, b + 4);
    }
    void qword(int64_t v) {
        uint8_t b[8];
        memcpy(b, &v, 8);
        code.insert(code.end(), b, b + 8);
    }
    void patch32(size_t at, int32_t v) { memcpy(&code[at], &v, 4); }

    // ---- general form: prefixes, REX, opcode bytes, ModRM for reg and rm.
    // w: 64-bit operand; byte_regs: the instruction names byte registers
    // (a REX prefix is then needed for rsi/rdi as rm, which we never use).
    void op(std::initializer_list<int> prefix, bool w, std::initializer_list<int> opcode, int reg,
            const Opnd& rm) {
        for (int p : prefix) byte(p);
        int rex = 0x40 | (w ? 8 : 0) | ((reg & 8) ? 4 : 0) | ((rm.reg & 8) ? 1 : 0);
        if (rex != 0x40) byte(rex);
        for (int o : opcode) byte(o);
        if (rm.kind == Opnd::REG) {
            byte(0xC0 | ((reg & 7) << 3) | (rm.reg & 7));
        } else if (rm.disp >= -128 && rm.disp <= 127) {
            // [base + disp8]; rsp and r12 as base would need a SIB byte:
            // the code never uses them as bases.
            byte(0x40 | ((reg & 7) << 3) | (rm.reg & 7));
            byte((int)rm.disp);
        } else {
            byte(0x80 | ((reg & 7) << 3) | (rm.reg & 7));
            dword(rm.disp);
        }
    }

    // ---- moves
    void mov32(int dst, const Opnd& src) {  // dst := src (32 bits, zero-extended)
        if (src.kind == Opnd::IMM) {
            if (dst & 8) byte(0x41);
            byte(0xB8 + (dst & 7));
            dword(src.disp);
        } else {
            op({}, false, {0x8B}, dst, src);
        }
    }
    void store32(const Opnd& dst, int src) { op({}, false, {0x89}, src, dst); }
    void mov64(int dst, const Opnd& src) { op({}, true, {0x8B}, dst, src); }
    void store64(const Opnd& dst, int src) { op({}, true, {0x89}, src, dst); }
    void mov64_imm(int dst, int64_t v) {
        byte(0x48 | ((dst & 8) ? 1 : 0));
        byte(0xB8 + (dst & 7));
        qword(v);
    }
    void load8(int dst, const Opnd& src) { op({}, false, {0x8A}, dst, src); }     // dst in al..bl
    void store8(const Opnd& dst, int src) { op({}, false, {0x88}, src, dst); }    // src in al..bl
    void store8_imm(const Opnd& dst, int v) {
        op({}, false, {0xC6}, 0, dst);
        byte(v);
    }
    void or8(int dst, const Opnd& src) { op({}, false, {0x0A}, dst, src); }
    void movzx8(int dst, int src8) { op({}, false, {0x0F, 0xB6}, dst, Opnd::r(src8)); }

    // ---- arithmetic on 32 bits: dst := dst op src
    enum Alu { ADD = 0, OR = 1, AND = 4, SUB = 5, XOR = 6, CMP = 7 };
    void alu32(Alu a, int dst, const Opnd& src) {
        if (src.kind == Opnd::IMM) {
            op_imm(0x83, 0x81, a, Opnd::r(dst), src.disp);
        } else {
            static const int opcode[8] = {0x03, 0x0B, 0, 0, 0x23, 0x2B, 0x33, 0x3B};
            op({}, false, {opcode[a]}, dst, src);
        }
    }
    // An instruction with an immediate: the form with a sign-extended byte
    // (opcode8) when v fits in one, else the form with four (opcode32).
    void op_imm(int opcode8, int opcode32, int reg, const Opnd& rm, int32_t v) {
        bool small = v >= -128 && v <= 127;
        op({}, false, {small ? opcode8 : opcode32}, reg, rm);
        if (small)
            byte(v);
        else
            dword(v);
    }
    void cmp32_imm(const Opnd& rm, int32_t v) { op_imm(0x83, 0x81, CMP, rm, v); }  // rm - v
    void cmp8_imm(const Opnd& rm, int v) {
        op({}, false, {0x80}, 7, rm);
        byte(v);
    }
    void imul32(int dst, const Opnd& src) {
        if (src.kind == Opnd::IMM)
            imul32_imm(dst, Opnd::r(dst), (int32_t)src.disp);
        else
            op({}, false, {0x0F, 0xAF}, dst, src);
    }
    void imul32_imm(int dst, const Opnd& rm, int32_t v) { op_imm(0x6B, 0x69, dst, rm, v); }  // rm * v
    void cmp32_mem(const Opnd& m, int reg) { op({}, false, {0x39}, reg, m); }  // m - reg
    void neg32(int reg) { op({}, false, {0xF7}, 3, Opnd::r(reg)); }
    void cdq() { byte(0x99); }
    void idiv32(int reg) { op({}, false, {0xF7}, 7, Opnd::r(reg)); }
    void test32(int a, int b) { op({}, false, {0x85}, b, Opnd::r(a)); }
    void setcc(Cond c, int reg8) { op({}, false, {0x0F, 0x90 + c}, 0, Opnd::r(reg8)); }
    void cmov64(Cond c, int dst, const Opnd& src) { op({}, true, {0x0F, 0x40 + c}, dst, src); }
    void btc64(int reg, int bit) {
        op({}, true, {0x0F, 0xBA}, 7, Opnd::r(reg));
        byte(bit);
    }

    // ---- doubles
    void movsd_load(int x, const Opnd& m) { op({0xF2}, false, {0x0F, 0x10}, x, m); }
    void movsd_store(const Opnd& m, int x) { op({0xF2}, false, {0x0F, 0x11}, x, m); }
    void sd(int opcode, int x, const Opnd& src) { op({0xF2}, false, {0x0F, opcode}, x, src); }
    enum { ADDSD = 0x58, MULSD = 0x59, SUBSD = 0x5C, DIVSD = 0x5E };
    void ucomisd(int x, const Opnd& src) { op({0x66}, false, {0x0F, 0x2E}, x, src); }
    void cvtsi2sd(int x, const Opnd& src32) { op({0xF2}, false, {0x0F, 0x2A}, x, src32); }
    void movq_to_xmm(int x, int reg) { op({0x66}, true, {0x0F, 0x6E}, x, Opnd::r(reg)); }
    void movq_from_xmm(int reg, int x) { op({0x66}, true, {0x0F, 0x7E}, x, Opnd::r(reg)); }

    // ---- control
    size_t jcc(Cond c) {  // the offset to patch with the target
        byte(0x0F);
        byte(0x80 + c);
        dword(0);
        return size() - 4;
    }
    size_t jmp() {
        byte(0xE9);
        dword(0);
        return size() - 4;
    }
    size_t call_near() {  // a call within the code: the offset to patch
        byte(0xE8);
        dword(0);
        return size() - 4;
    }
    // The jump whose displacement is at `at' lands on `target'.
    void land(size_t at, size_t target) { patch32(at, (int32_t)((int64_t)target - (int64_t)(at + 4))); }
    void call(int reg) { op({}, false, {0xFF}, 2, Opnd::r(reg)); }
    void push(int reg) {
        if (reg & 8) byte(0x41);
        byte(0x50 + (reg & 7));
    }
    void pop(int reg) {
        if (reg & 8) byte(0x41);
        byte(0x58 + (reg & 7));
    }
    void ret() { byte(0xC3); }
    void mov_reg64(int dst, int src) { op({}, true, {0x8B}, dst, Opnd::r(src)); }
    void add_rsp(int32_t v) {
        byte(0x48);
        byte(0x81);
        byte(0xC4);
        dword(v);
    }
    void sub_rsp(int32_t v) {
        byte(0x48);
        byte(0x81);
        byte(0xEC);
        dword(v);
    }
};

}  // namespace x64

#endif
