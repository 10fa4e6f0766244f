// gen_ec: writes a valid, well-typed ec program with N locals and N
// equations on standard output, for the load/dump benchmarks.
//
//   gen_ec [--uniform | --wrong | --chain | --cycle] N [seed]
//
// References are local by default, as in flattened programs from real
// designs, made of node instances whose equations mostly read the
// instance's own variables, declared side by side: nine references in ten
// go to one of the 64 nearest locals of the wanted kind (within about 256
// equations), the tenth to any local of the program. Reads within the
// instant go to locals declared before, so that the program is causal. --uniform sends every
// reference anywhere, the worst case for caches.
//
// The program mixes arithmetic, boolean and comparison operators, pre/->,
// if/then/else, when/current on a sampled local, calls of two external
// functions (one with a tuple argument), the constants of an enumerated type
// and one assertion every 32 equations. The same N and seed always give the
// same bytes. About 55 bytes per equation (declaration included).
//
// Three other shapes time the whole-program check at its extremes: --wrong
// makes every equation ill-typed (its right side plus `+ true'); --chain
// makes every local an int read by the next one (v0 = i; v1 = v0 + 1; ...),
// one dependency chain through the whole program; --cycle closes that chain
// (v0 = v<N-1> + 1), one cycle of N variables.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "rng.h"

namespace {

// Local i has the kind i % 8; every kind has a fixed type (and clock).
enum Kind { INT_A, BOOL_A, REAL_A, INT_B, COLOR, INT_WHEN, BOOL_B, INT_C };

const char* kind_type(int k) {
    switch (k) {
        case BOOL_A:
        case BOOL_B: return "bool";
        case REAL_A: return "real";
        case COLOR: return "color";
        default: return "int";
    }
}

long n_locals;
long current;          // the equation being written
bool uniform = false;  // every reference anywhere
enum Shape { MIXED, WRONG, CHAIN, CYCLE } shape = MIXED;
Rng* rng;

// The name of a random local of kind k. A read within the instant goes to
// a local declared before the equation's own, so that the program is causal;
// a read under `pre' (delayed) may go anywhere. Falls back to an input of
// the same type when no such local exists.
std::string ref(int k, bool delayed = false) {
    long count = n_locals / 8 + (n_locals % 8 > k ? 1 : 0);
    if (!delayed) count = std::min(count, current > k ? (current - k - 1) / 8 + 1 : 0L);
    if (count == 0) {
        switch (k) {
            case BOOL_A:
            case BOOL_B: return "c";
            case REAL_A: return "x";
            case COLOR: return "red";
            case INT_WHEN: return "(i when c)";
            default: return "i";
        }
    }
    long j = rng->below(count);
    if (!uniform && rng->below(10) != 0) {
        j = current / 8 + rng->below(64) - (delayed ? 32 : 64);
        if (j < 0) j = 0;
        if (j >= count) j = count - 1;
    }
    return "v" + std::to_string(j * 8 + k);
}

// An int-valued expression on the base clock.
std::string any_int() {
    static const int kinds[] = {INT_A, INT_B, INT_C};
    return ref(kinds[rng->below(3)]);
}
std::string any_bool() { return ref(rng->below(2) ? BOOL_A : BOOL_B); }

std::string equation(long i) {
    current = i;
    std::string v = "v" + std::to_string(i);
    if (shape == CHAIN || shape == CYCLE) {
        if (i > 0) return v + " = v" + std::to_string(i - 1) + " + 1;";
        return shape == CHAIN ? v + " = i;" : v + " = v" + std::to_string(n_locals - 1) + " + 1;";
    }
    long lit = rng->below(100);
    switch (i % 8) {
        case INT_A:
            return v + " = if " + any_bool() + " then " + any_int() + " + " + std::to_string(lit) +
                   " else " + any_int() + ";";
        case BOOL_A:
            return v + " = " + any_bool() + " and not (" + any_int() + " > " + std::to_string(lit) +
                   ") or c;";
        case REAL_A:
            return v + " = 0.5 -> pre " + ref(REAL_A, true) + " + real " + any_int() + ";";
        case INT_B: return v + " = " + any_int() + " mod 7 + current " + ref(INT_WHEN) + ";";
        case COLOR:
            return v + " = if " + any_bool() + " then " + (lit % 2 ? "green" : "blue") +
                   " else pre " + ref(COLOR, true) + ";";
        case INT_WHEN: return v + " = " + any_int() + " when c;";
        case BOOL_B: return v + " = g(" + ref(REAL_A) + ") xor (" + ref(COLOR) + " = red);";
        default: return v + " = f(" + any_int() + ", i) div 3 - k;";
    }
}

}  // namespace

int main(int argc, char** argv) {
    const char* const flags[] = {"--uniform", "--wrong", "--chain", "--cycle"};
    for (int f = 0; argc > 1 && f < 4; ++f) {
        if (std::string(argv[1]) != flags[f]) continue;
        if (f == 0)
            uniform = true;
        else
            shape = static_cast<Shape>(f);
        --argc;
        ++argv;
        break;
    }
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: gen_ec [--uniform | --wrong | --chain | --cycle] N [seed]\n");
        return 2;
    }
    char* end = nullptr;
    n_locals = std::strtol(argv[1], &end, 10);
    if (*end != '\0' || n_locals < 1) {
        std::fprintf(stderr, "gen_ec: N must be a positive integer, not '%s'\n", argv[1]);
        return 2;
    }
    std::uint64_t seed = argc == 3 ? std::strtoull(argv[2], nullptr, 10) : 1;
    static Rng r(seed);  // rng points at it for the whole run
    rng = &r;

    std::FILE* out = stdout;
    std::fputs("type color = (red, green, blue);\n", out);
    std::fputs("const k : int;\n", out);
    std::fputs("function f(a : int; b : int) returns (r : int);\n", out);
    std::fputs("function g(a : real) returns (r : bool);\n", out);
    std::fputs("node big(i : int; x : real; c : bool; col : color) returns (o : int; ok : bool);\n",
               out);
    std::fputs("var\n", out);
    for (long i = 0; i < n_locals; ++i) {
        int k = shape == CHAIN || shape == CYCLE ? INT_A : static_cast<int>(i % 8);
        if (k == INT_WHEN)
            std::fprintf(out, "(v%ld: int) when c", i);
        else
            std::fprintf(out, "v%ld: %s", i, kind_type(k));
        std::fputs(";\n", out);
    }
    std::fputs("let\n", out);
    for (long i = 0; i < n_locals; ++i) {
        std::string eq = equation(i);
        if (shape == WRONG) eq.insert(eq.size() - 1, " + true");
        std::fputs(eq.c_str(), out);
        std::fputc('\n', out);
        if (i % 32 == 31 && shape != CHAIN && shape != CYCLE)
            std::fprintf(out, "assert %s => %s;\n", any_bool().c_str(), any_bool().c_str());
    }
    current = n_locals;
    if (shape == CHAIN || shape == CYCLE) {
        std::fprintf(out, "  o = v%ld;\n  ok = c;\n", n_locals - 1);
    } else {
        std::fprintf(out, "  o = %s;\n", ref(INT_A).c_str());
        std::fprintf(out, "  ok = %s;\n", ref(BOOL_A).c_str());
    }
    std::fputs("tel\n", out);
    return std::fclose(out) == 0 ? 0 : 1;
}
