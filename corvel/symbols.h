// String interning: StringTape keeps each distinct string once, in large
// append-only pages, with a sequence number; SymbolTable builds names with
// printf formats and maps them to identifiers 1, 2, 3, ... and back.
#ifndef CORVEL_SYMBOLS_H
#define CORVEL_SYMBOLS_H

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "corvel/chunk_store.h"
#include "corvel/huge_pages.h"
#include "corvel/numbered_names.h"

// One page of string storage. Deleting a page deletes all older pages.
struct STapePage {
    static const int kSize = 16384;
    static const int kUsable = 16380;   // bytes handed out per page

    STapePage* previous;
    char text[kSize];

    // The text stays raw storage until strings are copied in.
    // cppcheck-suppress uninitMemberVar
    explicit STapePage(STapePage* prev) : previous(prev) {}  // NOLINT(cppcoreguidelines-pro-type-member-init)
    ~STapePage();
};

// One interned string; deleting an item deletes the rest of its chain.
struct STapeHashItem {
    char* string;
    int id;
    STapeHashItem* next;

    STapeHashItem(char* s, int i, STapeHashItem* n) : string(s), id(i), next(n) {}
    ~STapeHashItem();
};

class StringTape {
public:
    static const int kDefaultHashSize = 5041;

    StringTape() { init(kDefaultHashSize); }
    explicit StringTape(int hash_size) { init(hash_size); }
    ~StringTape();
    StringTape(const StringTape&) = delete;
    StringTape& operator=(const StringTape&) = delete;

    void init(int hash_size);

    // Bucket number of s, in 0 .. hash size - 1.
    int hash_code(const char* s) const;
    // Walks one chain; a failed search over n items raises coll max to
    // n + 1 when n exceeds it.
    STapeHashItem* search(STapeHashItem* chain, const char* s);
    // The item holding s, or null; never adds.
    STapeHashItem* internal_find(const char* s);
    // The item holding s, made now if s is new.
    STapeHashItem* internal_add(const char* s);
    // Copies s into the tape and returns the copy.
    char* new_string(const char* s);

    // The same with an explicit length (s need not end at len).
    STapeHashItem* internal_find(const char* s, size_t len);
    STapeHashItem* internal_add(const char* s, size_t len);

    void print_statistics(FILE* f) const;

    int hash_size() const { return _hash_size; }
    int nb_strings() const { return _nb_strings; }
    int occupied() const { return _occupied; }
    int coll_max() const { return _coll_max; }
    STapeHashItem* bucket(int b) const { return _buckets[b]; }

private:
    friend class SymbolTable;

    // The slot holds the identifier and the text itself: a name of up to
    // kInline characters sits whole in `head` (zero-padded), a longer one
    // has its first kInline characters there. A lookup that hits a short
    // name touches the slot only, never the tape or the item.
    static const size_t kInline = 16;
    struct IndexSlot {
        const char* string;   // the text in the tape; null when free
        uint32_t check;       // high half of the strong hash
        int id;
        char head[kInline];
    };

    char* copy_in(const char* s, size_t len);
    const IndexSlot* index_lookup(const char* s, size_t len, uint64_t h) const;
    void index_insert(const char* string, size_t len, int id, uint64_t h);
    // internal_add without touching the item: the identifier of s (added
    // now if new) and, for a new string only, its stored text through
    // *stored (null when s was there already).
    int add_id(const char* s, size_t len, const char** stored);
    void index_room();   // room for one more string
    void index_grow();
    void note_failed_search(int compared);

    STapeHashItem** _buckets = nullptr;
    int _hash_size = 0;
    int _nb_strings = 0;
    int _occupied = 0;
    int _coll_max = 0;
    STapePage* _current_page = nullptr;
    int _free_bytes = 0;
    char* _next_free = nullptr;

    // Items per bucket: a failed chain search compares them all, which is
    // what the coll max statistic counts.
    std::vector<int> _bucket_len;
    // Numbered names (v1, v2, ...) where they come densely enough.
    NumberedNames _numbered;
    // Open-addressing index over all other items, keyed by a strong hash, so
    // that lookups do not walk the fixed-size chains.
    std::vector<IndexSlot, HugePageAllocator<IndexSlot>> _index;
    size_t _index_mask = 0;
    size_t _index_count = 0;   // strings in _index
    // The items, identifier i at i - 1, in chunks: no allocation per
    // string. The store owns them; the bucket chains only link them.
    ChunkStore<STapeHashItem> _items;
};

// Growable array of char* in chunks that never move.
class StringArray {
public:
    explicit StringArray(int size);
    ~StringArray();
    StringArray(const StringArray&) = delete;
    StringArray& operator=(const StringArray&) = delete;

    // Slot i; chunks are added as needed. Constant time for any i.
    char*& operator[](int i);

    int size() const { return _size; }
    StringArray* next() const { return _next; }

private:
    char** _slots;
    int _size;
    StringArray* _next;
    // Chunks reached from this one, this one first (kept in the chunk that
    // is indexed, normally the first).
    std::vector<StringArray*> _directory;
};

class SymbolTable {
public:
    static const int kAddBuffer = 10240;
    static const int kFindBuffer = 1024;
    // Formatted names longer than this are cut to this many characters, the
    // same way by every operation, so a name added cut is found cut.
    static const int kMaxName = kAddBuffer - 1;

    SymbolTable();
    ~SymbolTable();
    SymbolTable(const SymbolTable&) = delete;
    SymbolTable& operator=(const SymbolTable&) = delete;

    // Forgets every name; chunk is the room made at once for names.
    void init(int chunk);

    int add(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // add("%s", text) for a text of len characters (cut at kMaxName like
    // every name), without formatting: the reader's path.
    int add_text(const char* text, size_t len);
    int vadd(const char* format, va_list args);
    int find(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // 1 if the name was present, 0 if added now; *id gets its identifier.
    int find_then_add(int* id, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // 1 and *id set if present; 0 and *id untouched otherwise.
    int find_then_get(int* id, const char* format, ...) __attribute__((format(printf, 3, 4)));

    // Text of identifier id, or null outside 1 .. count.
    char* operator[](int id);

    int count() const { return _count; }

    void print() const;
    void print(FILE* f) const;

    void init_iterate() { _cursor = 0; }
    char* iterate();

    void print_statistics(FILE* f) const;

    StringTape* tape() const { return _tape; }

private:
    int intern(const char* format, va_list args);
    STapeHashItem* lookup(const char* format, va_list args);

    int _count;
    int _cursor;
    StringTape* _tape;
    // The texts by identifier, identifier i at i - 1 (they live in the tape).
    std::vector<char*, HugePageAllocator<char*>> _flat_names;
};

#endif
