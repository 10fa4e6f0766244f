// Hashing of texts that are not NUL-terminated, eight bytes per step.
#ifndef CORVEL_TEXT_HASH_H
#define CORVEL_TEXT_HASH_H

#include <cstddef>
#include <cstdint>
#include <cstring>

// The first eight bytes at s (of n available), zero-padded.
inline uint64_t load_word(const char* s, size_t n) {
    uint64_t w = 0;
    memcpy(&w, s, n < 8 ? n : 8);
    return w;
}

// Eight bytes per step with a final avalanche, so that an open-addressing
// table spreads texts that differ in a single character.
inline uint64_t strong_hash(const char* s, size_t len) {
    uint64_t h = 0x9E3779B97F4A7C15ULL ^ len;
    for (size_t k = 0; k < len; k += 8) {
        h ^= load_word(s + k, len - k);
        h *= 0xff51afd7ed558ccdULL;
        h ^= h >> 32;
    }
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

#endif
