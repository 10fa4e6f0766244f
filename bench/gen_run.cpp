// gen_run: writes a causal ec program with N locals for the engine's
// benchmarks and tests, or (--c) the same program as straight-line C, the
// floor the engine is compared with.
//
//   gen_run [--c] N [seed]
//
// Inputs i : int, x : real, c : bool; outputs o : int, ok : bool, r : real.
// Local k has the kind k % 6, one equation each, about three operators:
//   int    v = if B then I + lit else I;
//   bool   v = B and not (I > lit) or c;
//   real   v = 0.5 -> pre R + real I;
//   int    v = I mod 7 + I * 3;
//   int    v = 0 -> pre v + (if B then 1 else -1);
//   bool   v = false -> pre B <> (R > 1.5);
// where I, B, R are locals of that type declared before (a read under
// `pre' goes anywhere), nine in ten among the 64 nearest; one assertion
// every 32 equations. Integers wrap around (the C is built with -fwrapv).
//
// The C program runs `steps' steps (its first argument) and, with a second
// argument "trace", prints the outputs of every step as the engine's CSV
// trace does ("step,o,ok,r"); otherwise only a checksum. Its inputs at step
// s are those of input_at() below, which the tests give the engine too:
//   i = (s * 7919) % 2001 - 1000,  x = s * 0.25,  c = (s % 3 == 0).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "rng.h"

namespace {

enum Kind { INT_A, BOOL_A, REAL, INT_B, COUNT, BOOL_B, KINDS };

char type_of(int k) { return k == BOOL_A || k == BOOL_B ? 'b' : k == REAL ? 'r' : 'i'; }

long n_locals;
Rng* rng;
bool c_mode = false;
std::vector<bool> delayed_read;  // locals read under pre: the C keeps their last value

// A local of type t ('i', 'b', 'r') declared before `current' (any, when
// delayed); an input when there is none. In C, a delayed read is the
// variable's value at the previous step.
std::string ref(char t, long current, bool delayed = false) {
    std::vector<int> kinds;
    for (int k = 0; k < KINDS; ++k)
        if (type_of(k) == t) kinds.push_back(k);
    int k = kinds[(size_t)rng->below((long)kinds.size())];
    long limit = delayed ? n_locals : current;
    long count = limit / KINDS + (limit % KINDS > k ? 1 : 0);
    if (count == 0) return t == 'i' ? "i" : t == 'b' ? "c" : "x";
    long j = rng->below(count);
    if (rng->below(10) != 0) {
        j = current / KINDS + rng->below(64) - (delayed ? 32 : 64);
        if (j < 0) j = 0;
        if (j >= count) j = count - 1;
    }
    long v = j * KINDS + k;
    if (delayed) {
        delayed_read[(size_t)v] = true;
        if (c_mode) return "p" + std::to_string(v);
    }
    return "v" + std::to_string(v);
}

// The references are drawn in a fixed order, so that the ec text and the C
// of one seed are the same program.
std::string equation(long n) {
    std::string v = "v" + std::to_string(n);
    std::string lit = std::to_string(rng->below(100));
    switch (n % KINDS) {
        case INT_A: {
            std::string b = ref('b', n), i1 = ref('i', n), i2 = ref('i', n);
            if (c_mode) return v + " = " + b + " ? (int32_t)(" + i1 + " + " + lit + ") : " + i2 + ";";
            return v + " = if " + b + " then " + i1 + " + " + lit + " else " + i2 + ";";
        }
        case BOOL_A: {
            std::string b = ref('b', n), i = ref('i', n);
            if (c_mode) return v + " = (" + b + " & !(" + i + " > " + lit + ")) | c;";
            return v + " = " + b + " and not (" + i + " > " + lit + ") or c;";
        }
        case REAL: {
            std::string r = ref('r', n, true), i = ref('i', n);
            if (c_mode) return v + " = first ? 0.5 : " + r + " + (double)" + i + ";";
            return v + " = 0.5 -> pre " + r + " + real " + i + ";";
        }
        case INT_B: {
            std::string i1 = ref('i', n), i2 = ref('i', n);
            if (c_mode) return v + " = (int32_t)(" + i1 + " % 7 + " + i2 + " * 3);";
            return v + " = " + i1 + " mod 7 + " + i2 + " * 3;";
        }
        case COUNT: {
            delayed_read[(size_t)n] = true;
            std::string b = ref('b', n);
            if (c_mode)
                return v + " = first ? 0 : (int32_t)(p" + std::to_string(n) + " + (" + b +
                       " ? 1 : -1));";
            return v + " = 0 -> pre " + v + " + (if " + b + " then 1 else -1);";
        }
        default: {
            std::string b = ref('b', n, true), r = ref('r', n);
            if (c_mode) return v + " = first ? 0 : (" + b + " != (" + r + " > 1.5));";
            return v + " = false -> pre " + b + " <> (" + r + " > 1.5);";
        }
    }
}

// Tcl's way of writing a double, for the C program's trace.
const char* kFormatReal = R"(
static void put_real(double x) {
    if (x != x) { fputs("NaN", stdout); return; }
    if (x == 1.0 / 0.0) { fputs("Inf", stdout); return; }
    if (x == -1.0 / 0.0) { fputs("-Inf", stdout); return; }
    char buf[40], digits[40];
    int p;
    for (p = 1; p <= 17; ++p) {
        snprintf(buf, sizeof buf, "%.*e", p - 1, x);
        if (strtod(buf, 0) == x) break;
    }
    const char* m = buf[0] == '-' ? buf + 1 : buf;
    if (buf[0] == '-') putchar('-');
    const char* e = strchr(m, 'e');
    int n = 0;
    for (const char* c = m; c < e; ++c) if (*c != '.') digits[n++] = *c;
    while (n > 1 && digits[n - 1] == '0') --n;
    digits[n] = 0;
    int ex = atoi(e + 1);
    if (ex < -4 || ex > 16) {
        putchar(digits[0]);
        if (n > 1) printf(".%s", digits + 1);
        printf("e%c%d", ex < 0 ? '-' : '+', ex < 0 ? -ex : ex);
    } else if (ex < 0) {
        fputs("0.", stdout);
        for (int k = 0; k < -ex - 1; ++k) putchar('0');
        fputs(digits, stdout);
    } else {
        for (int k = 0; k <= ex; ++k) putchar(k < n ? digits[k] : '0');
        putchar('.');
        if (n > ex + 1) fputs(digits + ex + 1, stdout); else putchar('0');
    }
}
)";

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--c") {
        c_mode = true;
        --argc;
        ++argv;
    }
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: gen_run [--c] N [seed]\n");
        return 2;
    }
    n_locals = std::strtol(argv[1], nullptr, 10);
    if (n_locals < KINDS) {
        std::fprintf(stderr, "gen_run: N must be at least %d\n", KINDS);
        return 2;
    }
    static Rng r(argc == 3 ? std::strtoull(argv[2], nullptr, 10) : 1);
    rng = &r;
    delayed_read.assign((size_t)n_locals, false);
    std::vector<std::string> eqs;
    std::vector<std::string> asserts;
    for (long n = 0; n < n_locals; ++n) {
        eqs.push_back(equation(n));
        asserts.push_back(n % 32 == 31 ? ref('b', n + 1) : "");
    }
    std::string o = ref('i', n_locals), ok = ref('b', n_locals), out_r = ref('r', n_locals);
    std::FILE* out = stdout;
    if (!c_mode) {
        std::fputs("node run(i : int; x : real; c : bool) returns (o : int; ok : bool; r : real);\nvar\n", out);
        for (long n = 0; n < n_locals; ++n) {
            char t = type_of((int)(n % KINDS));
            std::fprintf(out, "v%ld: %s;\n", n, t == 'i' ? "int" : t == 'b' ? "bool" : "real");
        }
        std::fputs("let\n", out);
        for (long n = 0; n < n_locals; ++n) {
            std::fprintf(out, "%s\n", eqs[(size_t)n].c_str());
            if (!asserts[(size_t)n].empty())
                std::fprintf(out, "assert %s or not %s;\n", asserts[(size_t)n].c_str(),
                             asserts[(size_t)n].c_str());
        }
        std::fprintf(out, "o = %s;\nok = %s;\nr = %s;\ntel\n", o.c_str(), ok.c_str(), out_r.c_str());
        return std::fclose(out) == 0 ? 0 : 1;
    }
    std::fputs("#include <stdint.h>\n#include <stdio.h>\n#include <stdlib.h>\n#include <string.h>\n", out);
    std::fputs(kFormatReal, out);
    for (long n = 0; n < n_locals; ++n) {
        char t = type_of((int)(n % KINDS));
        const char* ct = t == 'r' ? "double" : t == 'b' ? "int" : "int32_t";
        std::fprintf(out, "static %s v%ld;\n", ct, n);
        if (delayed_read[(size_t)n]) std::fprintf(out, "static %s p%ld;\n", ct, n);
    }
    // The step in functions of kChunk equations: one function of a million
    // statements would take the C compiler hours.
    const long kChunk = 200;
    long parts = 0;
    for (long from = 0; from < n_locals; from += kChunk, ++parts) {
        std::fprintf(out, "__attribute__((noinline)) static void part%ld(int32_t i, double x, int c, int first) {\n", parts);
        std::fputs("    (void)i; (void)x; (void)c; (void)first;\n", out);
        for (long n = from; n < n_locals && n < from + kChunk; ++n)
            std::fprintf(out, "    %s\n", eqs[(size_t)n].c_str());
        std::fputs("}\n", out);
    }
    for (long from = 0; from < n_locals; from += kChunk) {
        std::fprintf(out, "__attribute__((noinline)) static void keep%ld(void) {\n", from / kChunk);
        for (long n = from; n < n_locals && n < from + kChunk; ++n)
            if (delayed_read[(size_t)n]) std::fprintf(out, "    p%ld = v%ld;\n", n, n);
        std::fputs("}\n", out);
    }
    std::fputs("static void step(int32_t i, double x, int c, int first) {\n", out);
    for (long k = 0; k < parts; ++k) std::fprintf(out, "    part%ld(i, x, c, first);\n", k);
    for (long k = 0; k < parts; ++k) std::fprintf(out, "    keep%ld();\n", k);
    std::fputs("}\n", out);
    std::fprintf(out,
                 "int main(int argc, char** argv) {\n"
                 "    long steps = argc > 1 ? atol(argv[1]) : 1;\n"
                 "    int trace = argc > 2 && strcmp(argv[2], \"trace\") == 0;\n"
                 "    double sum = 0;\n"
                 "    if (trace) puts(\"step,o,ok,r\");\n"
                 "    for (long s = 1; s <= steps; ++s) {\n"
                 "        step((int32_t)((s * 7919) %% 2001 - 1000), s * 0.25, s %% 3 == 0, s == 1);\n"
                 "        sum += %s + %s + %s;\n"
                 "        if (trace) { printf(\"%%ld,%%d,%%d,\", s, (int)%s, %s); put_real(%s); putchar('\\n'); }\n"
                 "    }\n"
                 "    if (!trace) printf(\"%%.17g\\n\", sum);\n"
                 "    return 0;\n}\n",
                 o.c_str(), ok.c_str(), out_r.c_str(), o.c_str(), ok.c_str(), out_r.c_str());
    return std::fclose(out) == 0 ? 0 : 1;
}
