// The random numbers of the program generators (gen_ec, gen_run):
// xorshift64*, small, deterministic, the same on every platform.
#ifndef BENCH_RNG_H
#define BENCH_RNG_H

#include <cstdint>

struct Rng {
    std::uint64_t s;
    explicit Rng(std::uint64_t seed) : s(seed * 2685821657736338717ULL + 1) {}
    std::uint64_t next() {
        s ^= s >> 12;
        s ^= s << 25;
        s ^= s >> 27;
        return s * 2685821657736338717ULL;
    }
    long below(long n) { return static_cast<long>(next() % static_cast<std::uint64_t>(n)); }
};

#endif
