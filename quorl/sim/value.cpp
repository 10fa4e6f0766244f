// Values of a running program as text.
#include "quorl/sim/value.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "corvel/symbols.h"
#include "quorl/ecprg.h"

int OpaqueTexts::intern(const std::string& text) {
    auto it = _ids.find(text);
    if (it != _ids.end()) return it->second;
    int id = (int)_texts.size();
    _texts.push_back(text);
    _ids.emplace(text, id);
    return id;
}

namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The text without its surrounding blanks, as [*begin, *end).
void trim(const char* text, const char** begin, const char** end) {
    const char* b = text;
    const char* e = text + strlen(text);
    while (b < e && blank(*b)) ++b;
    while (e > b && blank(e[-1])) --e;
    *begin = b;
    *end = e;
}

// A whole number in base 10, 16, 8 or 2, with an optional sign: false when
// it is not one or does not fit 64 bits.
bool read_integer(const char* b, const char* e, long long* out, bool* overflow) {
    bool negative = false;
    if (b < e && (*b == '+' || *b == '-')) negative = *b++ == '-';
    int base = 10;
    if (e - b > 2 && b[0] == '0') {
        char p = (char)tolower((unsigned char)b[1]);
        base = p == 'x' ? 16 : p == 'o' ? 8 : p == 'b' ? 2 : 10;
        if (base != 10) b += 2;
    }
    if (b == e) return false;
    unsigned long long magnitude = 0;
    auto r = std::from_chars(b, e, magnitude, base);
    if (r.ptr != e) {
        *overflow = r.ec == std::errc::result_out_of_range;
        return false;
    }
    if (magnitude > (unsigned long long)LLONG_MAX + (negative ? 1 : 0)) {
        *overflow = true;
        return false;
    }
    *out = negative ? (long long)(0 - magnitude) : (long long)magnitude;
    return true;
}

}  // namespace

bool read_real(const char* text, double* out) {
    const char *b, *e;
    trim(text, &b, &e);
    bool negative = false;
    if (b < e && (*b == '+' || *b == '-')) negative = *b++ == '-';
    if (b == e || *b == '+' || *b == '-') return false;
    if (e - b > 2 && b[0] == '0' && tolower((unsigned char)b[1]) == 'x') {
        long long v = 0;
        bool overflow = false;
        if (!read_integer(b, e, &v, &overflow)) return false;
        *out = negative ? -(double)v : (double)v;
        return true;
    }
    double v = 0;
    auto r = std::from_chars(b, e, v);
    if (r.ptr != e || r.ec == std::errc::invalid_argument) return false;
    *out = negative ? -v : v;
    return true;
}

bool read_bool(const char* text, bool* out) {
    static const struct {
        const char* word;
        bool value;
    } words[] = {{"true", true}, {"false", false}, {"yes", true},
                 {"no", false},  {"on", true},     {"off", false}};
    size_t n = strlen(text);
    if (n > 0 && isalpha((unsigned char)text[0]) && n <= 5) {
        int found = -1, matches = 0;
        for (int w = 0; w < 6; ++w) {
            if (strlen(words[w].word) >= n && strncasecmp(text, words[w].word, n) == 0) {
                found = w;
                ++matches;
            }
        }
        if (matches == 1) {
            *out = words[found].value;
            return true;
        }
    }
    double v = 0;
    if (!read_real(text, &v) || std::isnan(v)) return false;
    *out = v != 0;
    return true;
}

bool read_int(const char* text, int32_t* out, std::string* why) {
    const char *b, *e;
    trim(text, &b, &e);
    long long v = 0;
    bool overflow = false;
    if (!read_integer(b, e, &v, &overflow)) {
        *why = overflow ? "beyond 32 bits" : "not an int";
        return false;
    }
    if (v < INT32_MIN || v > INT32_MAX) {
        *why = "beyond 32 bits";
        return false;
    }
    *out = (int32_t)v;
    return true;
}

std::string format_real(double x) {
    if (std::isnan(x)) return "NaN";
    if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
    // The shortest decimal that reads back the same, as d.ddde[+-]x.
    char buf[40];
    for (int p = 1; p <= 17; ++p) {
        (void)snprintf(buf, sizeof buf, "%.*e", p - 1, x);
        if (strtod(buf, nullptr) == x) break;
    }
    std::string out = buf[0] == '-' ? "-" : "";
    const char* m = buf + out.size();
    const char* epos = strchr(m, 'e');
    std::string digits;
    for (const char* c = m; c < epos; ++c)
        if (*c != '.') digits += *c;
    int exponent = (int)strtol(epos + 1, nullptr, 10);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    if (exponent < -4 || exponent > 16) {
        out += digits[0];
        if (digits.size() > 1) out += "." + digits.substr(1);
        out += "e";
        out += exponent < 0 ? "-" : "+";
        out += std::to_string(exponent < 0 ? -exponent : exponent);
    } else if (exponent < 0) {
        out += "0." + std::string((size_t)(-exponent - 1), '0') + digits;
    } else {
        if (digits.size() < (size_t)exponent + 1) digits.resize((size_t)exponent + 1, '0');
        out += digits.substr(0, (size_t)exponent + 1) + ".";
        std::string fraction = digits.substr((size_t)exponent + 1);
        out += fraction.empty() ? "0" : fraction;
    }
    return out;
}

// ---------------------------------------------------------------- codec

ValueCodec::ValueCodec(const EcPrg* prg) : _prg(prg) {}

const SimType* ValueCodec::type_of(const EcType* t) {
    if (!t || !t->is_named()) return nullptr;
    auto it = _types.find(t);
    if (it != _types.end()) return &_list[it->second];
    SimType s;
    s.index = (uint32_t)_list.size();
    s.type = t;
    if (t == _prg->bool_type())
        s.kind = Kind::BOOL;
    else if (t == _prg->int_type())
        s.kind = Kind::INT;
    else if (t == _prg->real_type())
        s.kind = Kind::REAL;
    else if (t->enum_count() > 0)
        s.kind = Kind::ENUM;
    else
        s.kind = Kind::OPAQUE;
    // The enumeration's slots hold its values last first.
    for (int i = t->enum_count() - 1; i >= 0; --i) {
        IdentInfo* value = t->enum_const(i);
        s.values.push_back(value ? value->ident() : 0);
    }
    _types.emplace(t, s.index);
    _list.push_back(std::move(s));
    return &_list.back();
}

bool ValueCodec::read(const SimType& t, const char* text, Val* out, std::string* why) {
    out->r = 0;
    switch (t.kind) {
        case Kind::BOOL: {
            bool b = false;
            if (!read_bool(text, &b)) {
                *why = "not a bool";
                return false;
            }
            out->i = b;
            return true;
        }
        case Kind::INT: return read_int(text, &out->i, why);
        case Kind::REAL:
            if (read_real(text, &out->r)) return true;
            *why = "not a real";
            return false;
        case Kind::ENUM:
            for (size_t k = 0; k < t.values.size(); ++k) {
                if (t.values[k] && strcmp(_prg->symbol(t.values[k]), text) == 0) {
                    out->i = (int32_t)k;
                    return true;
                }
            }
            *why = std::string("not a value of ") + _prg->symbol(t.type->name());
            return false;
        case Kind::OPAQUE: out->i = _opaque.intern(text); return true;
    }
    return false;
}

std::string ValueCodec::write(const SimType& t, Val v) const {
    switch (t.kind) {
        case Kind::BOOL: return v.i ? "1" : "0";
        case Kind::INT: return std::to_string(v.i);
        case Kind::REAL: return format_real(v.r);
        case Kind::ENUM:
            return v.i >= 0 && (size_t)v.i < t.values.size() ? _prg->symbol(t.values[(size_t)v.i])
                                                              : "";
        case Kind::OPAQUE: return _opaque.text(v.i);
    }
    return "";
}

std::string ValueCodec::type_text(const SimType& t) const {
    return t.type && t.type->is_named() ? _prg->symbol(t.type->name()) : "";
}
