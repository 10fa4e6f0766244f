#include "corvel/symbols.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "corvel/text_hash.h"

// ---------------------------------------------------------------- pages, items

STapePage::~STapePage() {
    // Older pages are freed in a loop, not by one nested call per page.
    STapePage* p = previous;
    while (p) {
        STapePage* older = p->previous;
        p->previous = nullptr;
        delete p;
        p = older;
    }
}

STapeHashItem::~STapeHashItem() {
    STapeHashItem* it = next;
    while (it) {
        STapeHashItem* following = it->next;
        it->next = nullptr;
        delete it;
        it = following;
    }
}

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
    Head(const char* s, size_t len) : w{load_word(s, len), len > 8 ? load_word(s + 8, len - 8) : 0} {}
    bool operator==(const char* head) const {
        uint64_t h[2];
        memcpy(h, head, sizeof h);
        return h[0] == w[0] && h[1] == w[1];
    }
};
}  // namespace

// ---------------------------------------------------------------- StringTape

void StringTape::init(int hash_size) {
    if (hash_size < 1) hash_size = kDefaultHashSize;
    _hash_size = hash_size;
    _buckets = new STapeHashItem*[hash_size]();
    _bucket_len.assign((size_t)hash_size, 0);
    _nb_strings = 0;
    _occupied = 0;
    _coll_max = 0;
    _current_page = new STapePage(nullptr);
    _free_bytes = STapePage::kUsable;
    _next_free = _current_page->text;
    _index.assign(1024, IndexSlot{nullptr, 0, 0, {}});
    _index_mask = _index.size() - 1;
}

StringTape::~StringTape() {
    // The store releases the items; an item's own destructor frees the rest
    // of its chain, so the chains are cut first.
    for (size_t i = 0; i < _items.size(); ++i) _items.at(i)->next = nullptr;
    _items.clear();
    delete[] _buckets;
    delete _current_page;
}

int StringTape::hash_code(const char* s) const {
    return (int)(nibble_hash(s, strlen(s)) % (uint32_t)_hash_size);
}

void StringTape::note_failed_search(int compared) {
    if (compared > _coll_max) _coll_max = compared + 1;
}

STapeHashItem* StringTape::search(STapeHashItem* chain, const char* s) {
    int compared = 0;
    for (STapeHashItem* it = chain; it; it = it->next) {
        ++compared;
        if (strcmp(it->string, s) == 0) return it;
    }
    note_failed_search(compared);
    return nullptr;
}

static uint32_t check_of(uint64_t h) { return (uint32_t)(h >> 32); }

// A name shorter than kInline is compared in the slot alone (its head holds
// it whole, with a terminating zero); a longer one also compares the rest of
// the text in the tape.
const StringTape::IndexSlot* StringTape::index_lookup(const char* s, size_t len, uint64_t h) const {
    uint32_t check = check_of(h);
    Head head(s, len < kInline ? len : kInline);
    for (size_t i = h & _index_mask;; i = (i + 1) & _index_mask) {
        const IndexSlot& slot = _index[i];
        if (!slot.string) return nullptr;
        if (slot.check != check || !(head == slot.head)) continue;
        if (len < kInline) return &slot;
        if (memcmp(slot.string + kInline, s + kInline, len - kInline) == 0 && slot.string[len] == '\0')
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

// Kept at most three quarters full: probe runs stay short, and a run of a
// few slots shares one or two cache lines.
void StringTape::index_room() {
    if ((_index_count + 1) * 4 > _index.size() * 3) index_grow();
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

// Same result and statistics as a search of the string's bucket chain: a
// failed search would have compared every item of the bucket.
STapeHashItem* StringTape::internal_find(const char* s, size_t len) {
    NumberedNames::Key key{};
    if (NumberedNames::split(s, len, &key)) {
        int id = _numbered.find(key);
        if (id) return _items.at((size_t)id - 1);
    }
    const IndexSlot* found = index_lookup(s, len, strong_hash(s, len));
    if (!found) {
        note_failed_search(_bucket_len[nibble_hash(s, len) % (uint32_t)_hash_size]);
        return nullptr;
    }
    return _items.at((size_t)found->id - 1);
}

// A string found has a non-empty bucket already: the bucket number and the
// statistics matter only for a new string.
int StringTape::add_id(const char* s, size_t len, const char** stored) {
    *stored = nullptr;
    NumberedNames::Key key{};
    bool numbered = NumberedNames::split(s, len, &key);
    if (numbered) {
        int id = _numbered.find(key);
        if (id) return id;
    }
    uint64_t h = strong_hash(s, len);
    const IndexSlot* found = index_lookup(s, len, h);
    if (found) return found->id;
    // Every allocation first, so that a failure leaves the table as it was
    // (bytes copied into the tape are then merely unused).
    void* at = _items.reserve();
    bool by_number = numbered && _numbered.make_room(key);
    if (!by_number) index_room();
    char* copy = copy_in(s, len);
    uint32_t b = nibble_hash(s, len) % (uint32_t)_hash_size;
    if (!_buckets[b]) ++_occupied;
    note_failed_search(_bucket_len[b]);
    STapeHashItem* item = _items.commit(new (at) STapeHashItem(copy, _nb_strings + 1, _buckets[b]));
    if (by_number) {
        _numbered.set(key, item->id);
    } else {
        index_insert(copy, len, item->id, h);
        ++_index_count;
    }
    ++_nb_strings;
    _buckets[b] = item;
    ++_bucket_len[b];
    *stored = copy;
    return item->id;
}

STapeHashItem* StringTape::internal_add(const char* s, size_t len) {
    const char* stored;
    int id = add_id(s, len, &stored);
    return _items.at((size_t)id - 1);
}

STapeHashItem* StringTape::internal_find(const char* s) { return internal_find(s, strlen(s)); }
STapeHashItem* StringTape::internal_add(const char* s) { return internal_add(s, strlen(s)); }
char* StringTape::new_string(const char* s) { return copy_in(s, strlen(s)); }

// A string never spans two pages: when it does not fit, the rest of the
// current page is abandoned and a new page begins.
char* StringTape::copy_in(const char* s, size_t len) {
    if (len + 1 > (size_t)STapePage::kUsable) {
        fprintf(stderr, "StringTape::new_string : string of %zu characters exceeds a page\n", len);
        exit(1);
    }
    int need = (int)len + 1;
    _free_bytes -= need;
    if (_free_bytes < 0) {
        _current_page = new STapePage(_current_page);
        _next_free = _current_page->text;
        _free_bytes = STapePage::kUsable - need;
    }
    char* copy = _next_free;
    memcpy(copy, s, len);
    copy[len] = '\0';
    _next_free += need;
    return copy;
}

void StringTape::print_statistics(FILE* f) const {
    fprintf(f, "hash size  : %5d\n", _hash_size);
    fprintf(f, "occupied   : %5d\n", _occupied);
    fprintf(f, "coll max   : %5d\n", _coll_max);
    fprintf(f, "nb strings : %5d\n", _nb_strings);
}

// ---------------------------------------------------------------- StringArray

StringArray::StringArray(int size) : _slots(nullptr), _size(size < 1 ? 1 : size), _next(nullptr) {
    _slots = new char*[_size];
}

StringArray::~StringArray() {
    delete[] _slots;
    StringArray* c = _next;
    while (c) {
        StringArray* following = c->_next;
        c->_next = nullptr;
        delete c;
        c = following;
    }
}

char*& StringArray::operator[](int i) {
    if (i < 0) {
        fprintf(stderr, "StringArray::operator[] : negative index %d\n", i);
        exit(1);
    }
    if (i < _size) return _slots[i];
    size_t chunk = (size_t)(i / _size);
    if (_directory.empty()) _directory.push_back(this);
    // The directory caches the chain of chunks; it is extended along the
    // next links, creating chunks at the end as needed.
    while (_directory.size() <= chunk) {
        StringArray* last = _directory.back();
        if (!last->_next) last->_next = new StringArray(_size);
        _directory.push_back(last->_next);
    }
    return _directory[chunk]->_slots[i % _size];
}

// ---------------------------------------------------------------- SymbolTable

SymbolTable::SymbolTable() : _count(0), _cursor(0), _tape(nullptr) {
    init(1000);
    _tape = new StringTape();
}

void SymbolTable::init(int chunk) {
    _count = 0;
    _cursor = 0;
    _flat_names.clear();
    if (chunk > 0) _flat_names.reserve((size_t)chunk);
}

SymbolTable::~SymbolTable() {
    delete _tape;
}

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
        if (format[0] == '%' && format[1] == 's' && format[2] == '\0') {
            va_list copy;
            va_copy(copy, args);
            const char* s = va_arg(copy, const char*);
            va_end(copy);
            if (s) {
                text = s;
                len = strnlen(s, SymbolTable::kMaxName);
                return;
            }
        }
        va_list copy;
        va_copy(copy, args);
        int n = vsnprintf(buf, sizeof buf, format, copy);
        va_end(copy);
        if (n < 0) n = 0;
        text = buf;
        len = (size_t)n < sizeof buf ? (size_t)n : sizeof buf - 1;
    }
};
}  // namespace

int SymbolTable::intern(const char* format, va_list args) {
    NameText name(format, args);
    return add_text(name.text, name.len);
}

int SymbolTable::add_text(const char* text, size_t len) {
    if (len > (size_t)kMaxName) len = kMaxName;
    const char* stored;
    int id = _tape->add_id(text, len, &stored);
    if (id > _count) {
        if (!stored) stored = _tape->_items.at((size_t)id - 1)->string;   // added to the tape directly
        _flat_names.push_back(const_cast<char*>(stored));
        ++_count;
    }
    return id;
}

STapeHashItem* SymbolTable::lookup(const char* format, va_list args) {
    NameText name(format, args);
    return _tape->internal_find(name.text, name.len);
}

int SymbolTable::add(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int id = intern(format, args);
    va_end(args);
    return id;
}

int SymbolTable::vadd(const char* format, va_list args) { return intern(format, args); }

int SymbolTable::find(const char* format, ...) {
    va_list args;
    va_start(args, format);
    STapeHashItem* item = lookup(format, args);
    va_end(args);
    return item ? item->id : 0;
}

int SymbolTable::find_then_add(int* id, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int before = _count;
    *id = intern(format, args);
    va_end(args);
    return _count == before ? 1 : 0;
}

int SymbolTable::find_then_get(int* id, const char* format, ...) {
    va_list args;
    va_start(args, format);
    STapeHashItem* item = lookup(format, args);
    va_end(args);
    if (!item) return 0;
    *id = item->id;
    return 1;
}

char* SymbolTable::operator[](int id) {
    if (id < 1 || id > _count) return nullptr;
    return _flat_names[(size_t)id - 1];
}

void SymbolTable::print() const { print(stdout); }

void SymbolTable::print(FILE* f) const {
    for (int id = 1; id <= _count; ++id)
        fprintf(f, "symbol[%3d]= \"%s\"\n", id, _flat_names[(size_t)id - 1]);
}

char* SymbolTable::iterate() {
    if (_cursor >= _count) return nullptr;
    ++_cursor;
    return _flat_names[(size_t)_cursor - 1];
}

void SymbolTable::print_statistics(FILE* f) const { _tape->print_statistics(f); }
