// Index of numbered names. Generated programs are made of names that end in
// a decimal number (v12, _L340, x_3_7), declared and defined in the order of
// their numbers. Such a name is found here by its number in a dense array
// per prefix, so that names used in order touch memory in order and a random
// one touches 4 bytes per name instead of a hash slot.
//
// The index only maps texts to identifiers: the caller owns the texts and
// decides where a name lives. A name is taken only where its prefix's array
// stays dense; the caller keeps the others (sparse numbers, numbers with a
// leading zero, names without a number) elsewhere and must look there too.
#ifndef CORVEL_NUMBERED_NAMES_H
#define CORVEL_NUMBERED_NAMES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class NumberedNames {
public:
    // A text cut into prefix and number.
    struct Key {
        const char* prefix;
        size_t prefix_len;
        uint32_t number;
        uint64_t hash;  // of the prefix
    };

    // Cuts s: true when it ends in 1 to 9 decimal digits without a leading
    // zero ("0" itself is a number, "x07" is not numbered).
    static bool split(const char* s, size_t len, Key* key);

    // The identifier given to key, or 0.
    int find(const Key& key) const;
    // Makes room for key and says whether the index takes it: true when
    // its number is within twice its prefix's count (plus a little) past
    // the prefix's first number. Only allocates (std::bad_alloc leaves the
    // index answering as before); set() then cannot fail.
    bool make_room(const Key& key);
    // Records id for a key that make_room() has just accepted and that
    // find() does not know.
    void set(const Key& key, int id);

    size_t count() const { return _count; }

private:
    struct Family {
        std::string prefix;
        uint64_t hash;
        uint32_t base;         // number at ids[0]: the first one seen
        uint32_t count;        // identifiers recorded
        std::vector<int> ids;  // by number - base, 0 where none
    };
    static const uint32_t kSlack = 16;

    // Index into _families of key's prefix, or -1.
    long locate(const Key& key) const;
    // Whether family f can take number n with the array grown as needed.
    static bool dense_enough(const Family& f, uint32_t n);
    void grow_table();

    std::vector<Family> _families;
    // Open addressing over _families: index + 1, 0 when free; at most half
    // full. A program has few prefixes, so it stays in cache.
    std::vector<uint32_t> _table = std::vector<uint32_t>(16, 0);
    mutable long _last = -1;  // family of the previous lookup
    size_t _count = 0;
};

#endif
