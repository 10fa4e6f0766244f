#include "corvel/numbered_names.h"

#include <cstring>

#include "corvel/text_hash.h"

bool NumberedNames::split(const char* s, size_t len, Key* key) {
    size_t digits = 0;
    while (digits < len && s[len - 1 - digits] >= '0' && s[len - 1 - digits] <= '9') ++digits;
    if (digits == 0 || digits > 9) return false;
    const char* num = s + len - digits;
    if (num[0] == '0' && digits > 1) return false;  // "x07" and "x7" are two names
    uint32_t n = 0;
    for (size_t k = 0; k < digits; ++k) n = n * 10 + (uint32_t)(num[k] - '0');
    key->prefix = s;
    key->prefix_len = len - digits;
    key->number = n;
    key->hash = strong_hash(s, len - digits);
    return true;
}

long NumberedNames::locate(const Key& key) const {
    auto same = [&key](const Family& f) {
        return f.hash == key.hash && f.prefix.size() == key.prefix_len &&
               memcmp(f.prefix.data(), key.prefix, key.prefix_len) == 0;
    };
    if (_last >= 0 && same(_families[(size_t)_last])) return _last;
    size_t mask = _table.size() - 1;
    for (size_t i = key.hash & mask; _table[i]; i = (i + 1) & mask) {
        long f = (long)_table[i] - 1;
        if (same(_families[(size_t)f])) {
            _last = f;
            return f;
        }
    }
    return -1;
}

int NumberedNames::find(const Key& key) const {
    long f = locate(key);
    if (f < 0) return 0;
    const Family& fam = _families[(size_t)f];
    if (key.number < fam.base || key.number - fam.base >= fam.ids.size()) return 0;
    return fam.ids[key.number - fam.base];
}

bool NumberedNames::dense_enough(const Family& f, uint32_t n) {
    return n >= f.base && n - f.base < 2 * f.count + kSlack;
}

void NumberedNames::grow_table() {
    std::vector<uint32_t> table(_table.size() * 2, 0);
    size_t mask = table.size() - 1;
    for (size_t f = 0; f < _families.size(); ++f) {
        size_t i = _families[f].hash & mask;
        while (table[i]) i = (i + 1) & mask;
        table[i] = (uint32_t)f + 1;
    }
    _table.swap(table);
}

bool NumberedNames::make_room(const Key& key) {
    long f = locate(key);
    if (f < 0) {
        // A new prefix: its first number becomes the base of its array.
        if ((_families.size() + 1) * 2 > _table.size()) grow_table();
        _families.push_back(
            Family{std::string(key.prefix, key.prefix_len), key.hash, key.number, 0, {}});
        f = (long)_families.size() - 1;
        size_t mask = _table.size() - 1;
        size_t i = key.hash & mask;
        while (_table[i]) i = (i + 1) & mask;
        _table[i] = (uint32_t)f + 1;
        _last = f;
    }
    Family& fam = _families[(size_t)f];
    if (!dense_enough(fam, key.number)) return false;
    size_t need = (size_t)(key.number - fam.base) + 1;
    if (need > fam.ids.size()) {
        size_t size = fam.ids.size() * 2;
        if (size < need) size = need;
        fam.ids.resize(size, 0);
    }
    return true;
}

void NumberedNames::set(const Key& key, int id) {
    long f = locate(key);
    if (f < 0) return;  // make_room() was not called: nothing to record in
    Family& fam = _families[(size_t)f];
    if (!dense_enough(fam, key.number) || key.number - fam.base >= fam.ids.size()) return;
    fam.ids[key.number - fam.base] = id;
    ++fam.count;
    ++_count;
}
