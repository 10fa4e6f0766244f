// String interning: StringTape keeps each distinct string once, in large
// append-only pages, with a sequence number; SymbolTable builds names with
// printf formats and maps them to identifiers 1, 2, 3, ... and back.
#ifndef CORVEL_SYMBOLS_H
#define CORVEL_SYMBOLS_H

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "corvel/huge_pages.h"
#include "corvel/numbered_names.h"

// String storage comes in pages of kSize bytes, of which kUsable are handed
// out; a table's first pages are smaller (from 256 bytes, doubling), so that
// a table of a few names costs little.
struct STapePage {
    static const int kSize = 16384;
    static const int kUsable = 16380;
    static const int kFirstSize = 256;
};

// The strings of one table, each once, with identifiers 1, 2, 3, ... in
// order of first insertion. Lookups go through a hash index (or, for names
// ending in a number, the numbered-name index); the statistics are those of
// a table of `hash size' chained buckets, newest first, which is kept as
// the length of each bucket alone.
class StringTape {
public:
    static const int kDefaultHashSize = 5041;

    explicit StringTape(int hash_size = kDefaultHashSize);
    StringTape(const StringTape&) = delete;
    StringTape& operator=(const StringTape&) = delete;

    // Bucket number of s, in 0 .. hash size - 1.
    int hash_code(const char* s) const;
    // Identifier of the len characters at s, or 0; never adds. A failed find
    // counts like a failed search of s's bucket: coll max becomes n + 1 when
    // the bucket's n items are more than coll max.
    int internal_find(const char* s, size_t len);
    // Identifier of s, made now when s is new.
    int internal_add(const char* s, size_t len);
    // Text of identifier id, 1 <= id <= nb_strings(); it lives in a page.
    const char* text(int id) const { return _texts[(size_t)id - 1]; }

    void print_statistics(FILE* f) const;
    int hash_size() const { return _hash_size; }
    int nb_strings() const { return (int)_texts.size(); }
    int occupied() const { return _occupied; }
    int coll_max() const { return _coll_max; }

private:
    // A slot holds the identifier and the text's first kInline characters
    // (zero-padded): a lookup that hits a short name touches the slot only.
    static const size_t kInline = 16;
    struct IndexSlot {
        const char* string;  // the text in a page; null when free
        uint32_t check;      // high half of the strong hash
        int id;
        char head[kInline];
    };

    char* copy_in(const char* s, size_t len);
    const IndexSlot* index_lookup(const char* s, size_t len, uint64_t h) const;
    void index_insert(const char* string, size_t len, int id, uint64_t h);
    void index_grow();
    void note_failed_search(int compared);

    int bucket_length(uint32_t b) const;
    void count_in(uint32_t b);

    // Storage: strings never span two pages.
    std::vector<std::unique_ptr<char[]>> _pages;
    int _free_bytes = 0;
    char* _next_free = nullptr;
    // The texts by identifier, identifier i at i - 1.
    std::vector<const char*, HugePageAllocator<const char*>> _texts;

    // Statistics: items per bucket (a failed search compares them all), as
    // (bucket, items) pairs while there are few strings, then by bucket.
    static const size_t kFewStrings = 64;
    int _hash_size;
    std::vector<std::pair<uint32_t, int>> _few_buckets;
    std::vector<int> _bucket_len;
    int _occupied = 0;
    int _coll_max = 0;

    // Lookups: numbered names (v1, v2, ...) where they come densely enough,
    // an open-addressing index keyed by a strong hash for all others.
    NumberedNames _numbered;
    std::vector<IndexSlot, HugePageAllocator<IndexSlot>> _index;
    size_t _index_mask = 0;
    size_t _index_count = 0;
};

class SymbolTable {
public:
    // Formatted names longer than kMaxName are cut to that many characters,
    // the same way by every operation, so a name added cut is found cut.
    static const int kAddBuffer = 10240;
    static const int kMaxName = kAddBuffer - 1;

    SymbolTable() = default;
    SymbolTable(const SymbolTable&) = delete;
    SymbolTable& operator=(const SymbolTable&) = delete;

    int add(const char* format, ...) __attribute__((format(printf, 2, 3)));
    int vadd(const char* format, va_list args);
    // add("%s", text) for the len characters at text, without formatting:
    // the reader's path.
    int add_text(const char* text, size_t len);
    int find(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // 1 if the name was present, 0 if added now; *id gets its identifier.
    int find_then_add(int* id, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // 1 and *id set if present; 0 and *id untouched otherwise.
    int find_then_get(int* id, const char* format, ...) __attribute__((format(printf, 3, 4)));

    // Text of identifier id, or null outside 1 .. count().
    const char* operator[](int id) const;
    int count() const { return _tape.nb_strings(); }

    void print() const;
    void print(FILE* f) const;
    void init_iterate() { _cursor = 0; }
    const char* iterate();
    void print_statistics(FILE* f) const { _tape.print_statistics(f); }

private:
    int intern(const char* format, va_list args);
    int lookup(const char* format, va_list args);

    StringTape _tape;
    int _cursor = 0;
};

#endif
