#include "corvel/symbols.h"

#include <cstdlib>
#include <cstring>

#include "corvel/format.h"
#include "corvel/text_hash.h"
#include "corvel/with_args.h"

// ---------------------------------------------------------------- hashing

// Bucket hash: low four bits of each byte packed into 32-bit words; the first
// word takes bytes 1..7, each later word 8 bytes.
static uint32_t nibble_hash(const char* s, size_t len) {
    uint32_t countdown = 8, word = 0, sum = 0;
    for (size_t k = 0; k < len; ++k) {
        uint32_t nibble = (unsigned char)s[k] & 15u;
        if (--countdown == 0) {
            sum += word;
            word = nibble;
            countdown = 8;
        } else {
            word = word * 16u + nibble;
        }
    }
    return sum + word;
}

namespace {
// The first StringTape::kInline characters of a text, zero-padded: what an
// index slot holds in its head.
struct Head {
    uint64_t w[2];
    Head(const char* s, size_t len)
        : w{load_word(s, len), len > 8 ? load_word(s + 8, len - 8) : 0} {}
    bool operator==(const char* head) const {
        uint64_t h[2];
        memcpy(h, head, sizeof h);
        return h[0] == w[0] && h[1] == w[1];
    }
};
}  // namespace

// ---------------------------------------------------------------- StringTape

StringTape::StringTape(int hash_size)
    : _hash_size(hash_size < 1 ? kDefaultHashSize : hash_size),
      _index(16, IndexSlot{nullptr, 0, 0, {}}),
      _index_mask(_index.size() - 1) {}

int StringTape::hash_code(const char* s) const {
    return (int)(nibble_hash(s, strlen(s)) % (uint32_t)_hash_size);
}

void StringTape::note_failed_search(int compared) {
    if (compared > _coll_max) _coll_max = compared + 1;
}

static uint32_t check_of(uint64_t h) { return (uint32_t)(h >> 32); }

// A name shorter than kInline is compared in the slot alone (its head holds
// it whole, with a terminating zero); a longer one also compares the rest of
// the text in the page.
const StringTape::IndexSlot* StringTape::index_lookup(const char* s, size_t len, uint64_t h) const {
    uint32_t check = check_of(h);
    Head head(s, len < kInline ? len : kInline);
    for (size_t i = h & _index_mask;; i = (i + 1) & _index_mask) {
        const IndexSlot& slot = _index[i];
        if (!slot.string) return nullptr;
        if (slot.check != check || !(head == slot.head)) continue;
        if (len < kInline) return &slot;
        if (memcmp(slot.string + kInline, s + kInline, len - kInline) == 0 &&
            slot.string[len] == '\0')
            return &slot;
    }
}

void StringTape::index_insert(const char* string, size_t len, int id, uint64_t h) {
    size_t i = h & _index_mask;
    while (_index[i].string) i = (i + 1) & _index_mask;
    IndexSlot& slot = _index[i];
    slot.string = string;
    slot.check = check_of(h);
    slot.id = id;
    Head head(string, len < kInline ? len : kInline);
    memcpy(slot.head, head.w, kInline);
}

void StringTape::index_grow() {
    std::vector<IndexSlot, HugePageAllocator<IndexSlot>> old;
    old.swap(_index);
    _index.assign(old.size() * 2, IndexSlot{nullptr, 0, 0, {}});
    _index_mask = _index.size() - 1;
    for (const IndexSlot& slot : old) {
        if (!slot.string) continue;
        // The slot keeps only the high half of the hash: rehash the text.
        uint64_t h = strong_hash(slot.string, strlen(slot.string));
        size_t i = h & _index_mask;
        while (_index[i].string) i = (i + 1) & _index_mask;
        _index[i] = slot;
    }
}

int StringTape::internal_find(const char* s, size_t len) {
    NumberedNames::Key key{};
    if (NumberedNames::split(s, len, &key)) {
        int id = _numbered.find(key);
        if (id) return id;
    }
    const IndexSlot* found = index_lookup(s, len, strong_hash(s, len));
    if (found) return found->id;
    note_failed_search(bucket_length(nibble_hash(s, len) % (uint32_t)_hash_size));
    return 0;
}

// A string found has a non-empty bucket already: the bucket number and the
// statistics matter only for a new string.
int StringTape::internal_add(const char* s, size_t len) {
    NumberedNames::Key key{};
    bool numbered = NumberedNames::split(s, len, &key);
    if (numbered) {
        int id = _numbered.find(key);
        if (id) return id;
    }
    uint64_t h = strong_hash(s, len);
    const IndexSlot* found = index_lookup(s, len, h);
    if (found) return found->id;
    // Every allocation first, so that a failure leaves the tape as it was
    // (bytes copied into a page are then merely unused). The index is kept
    // at most three quarters full: probe runs stay short.
    if (_texts.size() == _texts.capacity()) _texts.reserve(_texts.size() * 2 + 16);
    if (_texts.size() == kFewStrings) {
        // Enough strings: the counts by bucket take over from the pairs.
        _bucket_len.resize((size_t)_hash_size, 0);
        for (const auto& few : _few_buckets) _bucket_len[few.first] = few.second;
        std::vector<std::pair<uint32_t, int>>().swap(_few_buckets);
    }
    bool by_number = numbered && _numbered.make_room(key);
    if (!by_number && (_index_count + 1) * 4 > _index.size() * 3) index_grow();
    char* copy = copy_in(s, len);
    int id = (int)_texts.size() + 1;
    uint32_t b = nibble_hash(s, len) % (uint32_t)_hash_size;
    int before = bucket_length(b);
    if (before == 0) ++_occupied;
    note_failed_search(before);
    count_in(b);
    _texts.push_back(copy);
    if (by_number) {
        _numbered.set(key, id);
    } else {
        index_insert(copy, len, id, h);
        ++_index_count;
    }
    return id;
}

// When a string does not fit, the rest of the current page is abandoned and
// a new page begins.
char* StringTape::copy_in(const char* s, size_t len) {
    if (len + 1 > (size_t)STapePage::kUsable) {
        fprintf(stderr, "StringTape::new_string : string of %zu characters exceeds a page\n", len);
        exit(1);
    }
    int need = (int)len + 1;
    if (_free_bytes < need) {
        size_t size = (size_t)STapePage::kFirstSize << (_pages.size() < 6 ? _pages.size() : 6);
        while (size < (size_t)STapePage::kSize && size - 4 < (size_t)need) size *= 2;
        if (_pages.size() == _pages.capacity()) _pages.reserve(_pages.size() * 2 + 4);
        _pages.push_back(std::unique_ptr<char[]>(new char[size]));
        _next_free = _pages.back().get();
        _free_bytes = (int)size - 4;  // the last four bytes are never handed out
    }
    _free_bytes -= need;
    char* copy = _next_free;
    memcpy(copy, s, len);
    copy[len] = '\0';
    _next_free += need;
    return copy;
}

int StringTape::bucket_length(uint32_t b) const {
    if (!_bucket_len.empty()) return _bucket_len[b];
    for (const auto& few : _few_buckets)
        if (few.first == b) return few.second;
    return 0;
}

void StringTape::count_in(uint32_t b) {
    if (!_bucket_len.empty()) {
        ++_bucket_len[b];
        return;
    }
    for (auto& few : _few_buckets)
        if (few.first == b) {
            ++few.second;
            return;
        }
    _few_buckets.emplace_back(b, 1);
}

void StringTape::print_statistics(FILE* f) const {
    fprintf(f, "hash size  : %5d\n", _hash_size);
    fprintf(f, "occupied   : %5d\n", _occupied);
    fprintf(f, "coll max   : %5d\n", _coll_max);
    fprintf(f, "nb strings : %5d\n", nb_strings());
}

// ---------------------------------------------------------------- SymbolTable

namespace {
// The formatted name: "%s" is taken as is, anything else is formatted into
// a local buffer. Both cut the text at SymbolTable::kMaxName characters.
struct NameText {
    char buf[SymbolTable::kAddBuffer];
    const char* text = buf;
    size_t len = 0;

    // buf is written only when formatting is needed.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init)
    NameText(const char* format, va_list args) {
        if (const char* s = plain_string_argument(format, args)) {
            text = s;
            len = strnlen(s, SymbolTable::kMaxName);
            return;
        }
        va_list copy;
        va_copy(copy, args);
        int n = vsnprintf(buf, sizeof buf, format, copy);
        va_end(copy);
        if (n < 0) n = 0;
        len = (size_t)n < sizeof buf ? (size_t)n : sizeof buf - 1;
    }
};
}  // namespace

int SymbolTable::intern(const char* format, va_list args) {
    NameText name(format, args);
    return add_text(name.text, name.len);
}

int SymbolTable::add_text(const char* text, size_t len) {
    return _tape.internal_add(text, len > (size_t)kMaxName ? (size_t)kMaxName : len);
}

int SymbolTable::lookup(const char* format, va_list args) {
    NameText name(format, args);
    return _tape.internal_find(name.text, name.len);
}

int SymbolTable::add(const char* format, ...) {
    int id = 0;
    WITH_ARGS(format, id = intern(format, args));
    return id;
}

int SymbolTable::vadd(const char* format, va_list args) { return intern(format, args); }

int SymbolTable::find(const char* format, ...) {
    int id = 0;
    WITH_ARGS(format, id = lookup(format, args));
    return id;
}

int SymbolTable::find_then_add(int* id, const char* format, ...) {
    int before = count();
    WITH_ARGS(format, *id = intern(format, args));
    return count() == before ? 1 : 0;
}

int SymbolTable::find_then_get(int* id, const char* format, ...) {
    int found = 0;
    WITH_ARGS(format, found = lookup(format, args));
    if (found) *id = found;
    return found ? 1 : 0;
}

const char* SymbolTable::operator[](int id) const {
    if (id < 1 || id > count()) return nullptr;
    return _tape.text(id);
}

void SymbolTable::print() const { print(stdout); }

void SymbolTable::print(FILE* f) const {
    for (int id = 1; id <= count(); ++id) fprintf(f, "symbol[%3d]= \"%s\"\n", id, _tape.text(id));
}

const char* SymbolTable::iterate() {
    if (_cursor >= count()) return nullptr;
    return _tape.text(++_cursor);
}
