// The run of compiled code: one dispatch per instruction through a table of
// labels (each instruction jumps to the next one's handler itself), no
// allocation, no call but to the world outside.
#include "quorl/sim/runner.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// x ** n for n >= 0, wrapping around 32 bits, or with overflow reported.
bool int_power(int32_t x, int32_t n, bool checked, int32_t* out) {
    int32_t result = 1;
    int32_t base = x;
    bool overflow = false;
    while (n > 0) {
        if (n & 1) overflow |= __builtin_mul_overflow(result, base, &result);
        n >>= 1;
        if (n > 0) overflow |= __builtin_mul_overflow(base, base, &base);
    }
    // A square past 32 bits that is not used any more does not count: base
    // overflows only when n still has bits, which then multiply it in.
    if (checked && overflow) return false;
    *out = result;
    return true;
}

// A call of an external function: its arguments' values out, its results'
// in; nil results without a call when an argument is nil.
bool call_out(const CallSite& site, const Frames& f, Outside* outside, std::string* why) {
    std::vector<Val> args(site.args.size()), results(site.results.size());
    bool nil = false;
    for (size_t k = 0; k < site.args.size(); ++k) {
        uint32_t slot = site.args[k] & ~kNilFlag;
        args[k] = f.cur[slot];
        nil = nil || ((site.args[k] & kNilFlag) && f.curnil[slot]);
    }
    if (nil) {
        for (uint32_t r : site.results) f.curnil[r] = 1;
        return true;
    }
    if (!outside->call(site, args.data(), results.data(), why)) return false;
    for (size_t k = 0; k < site.results.size(); ++k) {
        f.cur[site.results[k]] = results[k];
        if (site.nil_aware) f.curnil[site.results[k]] = 0;
    }
    return true;
}

}  // namespace

RunFault run_code(const Code& code, const Ins* ins, const Frames& f, Outside* outside,
                  RunError* error) {
    static void* const ops[OP_COUNT] = {
        &&L_MOV,    &&L_MOVN,   &&L_NIL1,  &&L_NIL2,  &&L_NILSET, &&L_NILCLR, &&L_CONST,
        &&L_SEL,    &&L_SELN,   &&L_JMP,   &&L_JF,    &&L_JNIL,   &&L_IADD,   &&L_ISUB,
        &&L_IMUL,   &&L_INEG,   &&L_IADDO, &&L_ISUBO, &&L_IMULO,  &&L_INEGO,  &&L_IDIV,
        &&L_IMOD,   &&L_IPOW,   &&L_IPOWO, &&L_IEQ,   &&L_INE,    &&L_ILT,    &&L_ILE,
        &&L_IGT,    &&L_IGE,    &&L_RADD,  &&L_RSUB,  &&L_RMUL,   &&L_RDIV,   &&L_RNEG,
        &&L_RPOW,   &&L_REQ,    &&L_RNE,   &&L_RLT,   &&L_RLE,    &&L_RGT,    &&L_RGE,
        &&L_I2R,    &&L_R2I,    &&L_AND,   &&L_OR,    &&L_XOR,    &&L_IMPL,   &&L_NOT,
        &&L_DIESE,  &&L_NOR,    &&L_PREV,  &&L_PREVN, &&L_PREV0, &&L_MEMSAVE, &&L_GUARD, &&L_CLOCK,
        &&L_FNOW,   &&L_FSTATE, &&L_INPUT, &&L_CALL,  &&L_ASSERT, &&L_PRESENT, &&L_HALT,
        &&L_ARG};
    // The copies of reals (kRealOp) are the same copies.
    static void* const* const labels = [] {
        static void* table[2 * kRealOp];
        for (uint32_t k = 0; k < 2 * kRealOp; ++k)
            table[k] = ops[k % kRealOp < OP_COUNT ? k % kRealOp : (uint32_t)OP_ARG];
        return table;
    }();
    Val* const C = f.cur;
    const Val* const P = f.prev;
    uint8_t* const CN = f.curnil;
    const uint8_t* const PN = f.prevnil;
    const Ins* ip = ins;
    uint32_t detail = 0;
    RunFault fault = RUN_OK;
    std::string why;

// NOLINTNEXTLINE(bugprone-macro-parentheses): a statement, not an expression
#define DISPATCH() goto* labels[ip->op]
#define NEXT()     \
    do {           \
        ++ip;      \
        DISPATCH(); \
    } while (0)
#define FAIL(kind, what) \
    do {                 \
        fault = kind;    \
        detail = what;   \
        goto failed;     \
    } while (0)
#define IA (C[ip->a].i)
#define IB (C[ip->b].i)
#define RA (C[ip->a].r)
#define RB (C[ip->b].r)
#define SLOT(x) ((x) & ~kNilFlag)
// The six comparisons of ints (T = I) or reals (T = R).
#define COMPARISONS(T)                       \
    L_##T##EQ : C[ip->d].i = T##A == T##B;   \
    NEXT();                                  \
    L_##T##NE : C[ip->d].i = T##A != T##B;   \
    NEXT();                                  \
    L_##T##LT : C[ip->d].i = T##A < T##B;    \
    NEXT();                                  \
    L_##T##LE : C[ip->d].i = T##A <= T##B;   \
    NEXT();                                  \
    L_##T##GT : C[ip->d].i = T##A > T##B;    \
    NEXT();                                  \
    L_##T##GE : C[ip->d].i = T##A >= T##B;   \
    NEXT();

    DISPATCH();
L_MOV:
    C[ip->d] = C[ip->a];
    NEXT();
L_MOVN:
    C[ip->d] = C[ip->a];
    CN[ip->d] = CN[ip->a];
    NEXT();
L_NIL1:
    if (CN[ip->a]) {
        CN[ip->d] = 1;
        ip += 2;
        DISPATCH();
    }
    CN[ip->d] = 0;
    NEXT();
L_NIL2:
    if (CN[ip->a] | CN[ip->b]) {
        CN[ip->d] = 1;
        ip += 2;
        DISPATCH();
    }
    CN[ip->d] = 0;
    NEXT();
L_NILSET:
    CN[ip->d] = 1;
    NEXT();
L_NILCLR:
    CN[ip->d] = 0;
    NEXT();
L_CONST: {
    uint64_t bits = (uint64_t)ip->a | (uint64_t)ip->b << 32;
    memcpy(&C[ip->d], &bits, 8);
    NEXT();
}
L_SEL: {
    int64_t a, b;
    memcpy(&a, &C[ip->a], 8);
    memcpy(&b, &C[ip->b], 8);
    int64_t v = C[ip[1].a].i ? a : b;
    memcpy(&C[ip->d], &v, 8);
    ip += 2;
    DISPATCH();
}
L_SELN: {
    uint32_t c = SLOT(ip[1].a);
    if ((ip[1].a & kNilFlag) && CN[c]) {
        CN[ip->d] = 1;
    } else {
        uint32_t from = C[c].i ? ip->a : ip->b;
        C[ip->d] = C[SLOT(from)];
        CN[ip->d] = (from & kNilFlag) && CN[SLOT(from)];
    }
    ip += 2;
    DISPATCH();
}
L_JMP:
    ip += 1 + ip->a;
    DISPATCH();
L_JF:
    if (!IA) ip += ip->b;
    NEXT();
L_JNIL:
    if (CN[ip->a]) ip += ip->b;
    NEXT();
L_IADD:
    C[ip->d].i = (int32_t)((uint32_t)IA + (uint32_t)IB);
    NEXT();
L_ISUB:
    C[ip->d].i = (int32_t)((uint32_t)IA - (uint32_t)IB);
    NEXT();
L_IMUL:
    C[ip->d].i = (int32_t)((uint32_t)IA * (uint32_t)IB);
    NEXT();
L_INEG:
    C[ip->d].i = (int32_t)(0u - (uint32_t)IA);
    NEXT();
L_IADDO:
    if (__builtin_add_overflow(IA, IB, &C[ip->d].i)) FAIL(RUN_OVERFLOW, 0);
    NEXT();
L_ISUBO:
    if (__builtin_sub_overflow(IA, IB, &C[ip->d].i)) FAIL(RUN_OVERFLOW, 0);
    NEXT();
L_IMULO:
    if (__builtin_mul_overflow(IA, IB, &C[ip->d].i)) FAIL(RUN_OVERFLOW, 0);
    NEXT();
L_INEGO:
    if (IA == INT32_MIN) FAIL(RUN_OVERFLOW, 0);
    C[ip->d].i = -IA;
    NEXT();
L_IDIV:
    if (IB == 0) FAIL(RUN_DIVISION_BY_ZERO, 0);
    if (IB == -1 && IA == INT32_MIN) FAIL(RUN_OVERFLOW, 0);
    C[ip->d].i = IA / IB;
    NEXT();
L_IMOD:
    if (IB == 0) FAIL(RUN_DIVISION_BY_ZERO, 0);
    C[ip->d].i = IB == -1 ? 0 : IA % IB;
    NEXT();
L_IPOW:
L_IPOWO: {
    if (IB < 0) FAIL(RUN_NEGATIVE_EXPONENT, 0);
    int32_t r = 0;
    if (!int_power(IA, IB, ip->op == OP_IPOWO, &r)) FAIL(RUN_OVERFLOW, 0);
    C[ip->d].i = r;
    NEXT();
}
    COMPARISONS(I)
L_RADD:
    C[ip->d].r = RA + RB;
    NEXT();
L_RSUB:
    C[ip->d].r = RA - RB;
    NEXT();
L_RMUL:
    C[ip->d].r = RA * RB;
    NEXT();
L_RDIV:
    C[ip->d].r = RA / RB;
    NEXT();
L_RNEG:
    C[ip->d].r = -RA;
    NEXT();
L_RPOW:
    C[ip->d].r = std::pow(RA, RB);
    NEXT();
    COMPARISONS(R)
L_I2R:
    C[ip->d].r = (double)IA;
    NEXT();
L_R2I: {
    double x = RA;
    if (std::isnan(x)) FAIL(RUN_REAL_TO_INT, 0);
    if (std::isinf(x)) FAIL(RUN_REAL_TO_INT, 1);
    if (!(x > -2147483649.0 && x < 2147483648.0)) FAIL(RUN_REAL_TO_INT, 2);
    C[ip->d].i = (int32_t)x;
    NEXT();
}
L_AND:
    C[ip->d].i = IA & IB;
    NEXT();
L_OR:
    C[ip->d].i = IA | IB;
    NEXT();
L_XOR:
    C[ip->d].i = IA ^ IB;
    NEXT();
L_IMPL:
    C[ip->d].i = (IA ^ 1) | IB;
    NEXT();
L_NOT:
    C[ip->d].i = IA ^ 1;
    NEXT();
L_DIESE:
L_NOR: {
    const uint32_t* list = code.lists.data() + ip->a;
    uint32_t count = list[0], trues = 0;
    bool nil = false;
    for (uint32_t k = 1; k <= count; ++k) {
        trues += (uint32_t)C[SLOT(list[k])].i;
        nil |= (list[k] & kNilFlag) && CN[SLOT(list[k])];
    }
    C[ip->d].i = ip->op == OP_DIESE ? trues <= 1 : trues == 0;
    if (ip->b) CN[ip->d] = nil;
    NEXT();
}
L_PREV:
    C[ip->d] = P[ip->a];
    CN[ip->d] = (uint8_t)C[ip->b].i;
    NEXT();
L_PREVN:
    C[ip->d] = P[ip->a];
    CN[ip->d] = (uint8_t)(C[ip->b].i | PN[ip->a]);
    NEXT();
L_PREV0:
    C[ip->d] = P[ip->a];
    NEXT();
L_MEMSAVE:
    if (IB) {
        uint32_t from = SLOT(ip->a);
        C[ip->d] = C[from];
        CN[ip->d] = (ip->a & kNilFlag) ? CN[from] : 0;
    } else {
        C[ip->d] = P[ip->d];
        CN[ip->d] = PN[ip->d];
    }
    NEXT();
L_GUARD:
    if (!IA) ip += ip->b;
    NEXT();
L_CLOCK: {
    uint32_t c = SLOT(ip->b);
    C[ip->d].i = IA & C[c].i & !((ip->b & kNilFlag) && CN[c]);
    NEXT();
}
L_FNOW:
    C[ip->d].i = P[ip->a].i;
    NEXT();
L_FSTATE:
    C[ip->d].i = IA & !IB;
    NEXT();
L_INPUT:
    if (IB) {
        const Val* v = outside->given(ip->a);
        if (v) {
            C[ip->d] = *v;
            CN[ip->d] = 0;
            NEXT();
        }
        if (PN[ip->d]) FAIL(RUN_NO_INPUT, ip->a);
    }
    C[ip->d] = P[ip->d];
    CN[ip->d] = PN[ip->d];
    NEXT();
L_CALL:
    if (!call_out(code.calls[ip->a], f, outside, &why)) FAIL(RUN_CALL, ip->a);
    NEXT();
L_ASSERT: {
    uint32_t s = SLOT(ip->a);
    if (!((ip->a & kNilFlag) && CN[s]) && !C[s].i && !outside->violated(ip->b))
        FAIL(RUN_ASSERT, ip->b);
    NEXT();
}
L_PRESENT:
    if (!IA) FAIL(RUN_ABSENT, ip->b);
    NEXT();
L_ARG:
L_HALT:
    return RUN_OK;
failed:
    error->fault = fault;
    error->ins = (uint32_t)(ip - ins);
    error->detail = detail;
    error->why = std::move(why);
    return fault;
#undef DISPATCH
#undef NEXT
#undef FAIL
#undef IA
#undef IB
#undef RA
#undef RB
#undef SLOT
#undef COMPARISONS
}
