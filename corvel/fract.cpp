#include "corvel/fract.h"

#include <cmath>
#include <cstdlib>

// Products and sums wrap on overflow (two's complement) instead of being
// undefined: they go through unsigned arithmetic.
static long long wrap_mul(long long a, long long b) {
    return (long long)((unsigned long long)a * (unsigned long long)b);
}
static long long wrap_add(long long a, long long b) {
    return (long long)((unsigned long long)a + (unsigned long long)b);
}
static long long wrap_neg(long long a) { return (long long)(0ULL - (unsigned long long)a); }
static unsigned long long magnitude(long long a) {
    return a < 0 ? 0ULL - (unsigned long long)a : (unsigned long long)a;
}

static unsigned long long ugcd(unsigned long long a, unsigned long long b) {
    // A zero argument yields the other one (outside the defined range of
    // the callers, but never a division by zero).
    if (a == 0) return b;
    if (b == 0) return a;
    for (;;) {
        if (a < b) {
            unsigned long long t = a;
            a = b;
            b = t;
        }
        a %= b;
        if (a == 0) return b;
    }
}

long long pgcd(long long a, long long b) { return (long long)ugcd(magnitude(a), magnitude(b)); }

long long ppcm(long long a, long long b) {
    long long g = pgcd(a, b);
    if (g == 0 || a == 0 || b == 0) return 0;
    return wrap_mul(wrap_mul(g, a / g), b / g);
}

Fract::Fract(long long n, long long d) {
    if (d == 0) {
        fprintf(stderr, "Fract::Fract: division by zero\n");
        exit(1);
    }
    if (n == 0) {
        num = 0;
        den = 1;
        return;
    }
    if (d < 0) {
        n = wrap_neg(n);
        d = wrap_neg(d);
    }
    bool negative = n < 0;
    unsigned long long un = magnitude(n), ud = (unsigned long long)d;
    if (un != 1 && ud != 1) {
        unsigned long long g = ugcd(un, ud);
        un /= g;
        ud /= g;
    }
    num = negative ? (long long)(0ULL - un) : (long long)un;
    den = (long long)ud;
}

double Fract::todouble() const {
    if (den == 0) {
        fprintf(stderr, "Fract::todouble() : division by zero\n");
        exit(1);
    }
    return (double)num / (double)den;
}

void Fract::print(FILE* f) const {
    fprintf(f, "%lld", num);
    if (den != 1) fprintf(f, "/%lld", den);
}

void Fract::print() const { print(stdout); }

static bool is_digit(char c) { return c >= '0' && c <= '9'; }

Fract atofract(const char* text) {
    const char* p = text;
    long long sign = 1, mantissa = 0;
    int scale = 0, exponent = 0;
    if (*p == '-') {
        sign = -1;
        ++p;
    }
    while (is_digit(*p)) mantissa = wrap_add(wrap_mul(mantissa, 10), *p++ - '0');
    if (*p == '.') {
        ++p;
        const char* first = p;
        const char* last = nullptr;  // last non-zero fraction digit
        while (is_digit(*p)) {
            if (*p != '0') last = p;
            ++p;
        }
        if (!last && p > first) last = first;  // at least the first digit
        for (const char* q = first; last && q <= last; ++q) {
            mantissa = wrap_add(wrap_mul(mantissa, 10), *q - '0');
            --scale;
        }
    }
    if (*p == 'e' || *p == 'E') {
        ++p;
        int esign = 1;
        if (*p == '-') {
            esign = -1;
            ++p;
        } else if (*p == '+')
            ++p;
        while (is_digit(*p)) {
            if (exponent < 100000) exponent = exponent * 10 + (*p - '0');
            ++p;
        }
        exponent *= esign;
    }
    int s = exponent + scale;
    // A power beyond the 64-bit range cannot give an exact value.
    double power = pow(10.0, s >= 0 ? s : -s);
    bool too_big = !(power < 9.2e18) && mantissa != 0;
    long long p10 = !(power < 9.2e18) ? 1 : (long long)power;
    long long numerator = s >= 0 ? wrap_mul(mantissa, p10) : mantissa;
    long long denominator = s >= 0 ? 1 : p10;
    numerator = wrap_mul(numerator, sign);
    // strtod(text, nullptr) is the value atof(text) gives.
    if (too_big || denominator == 0 ||
        (double)numerator / (double)denominator != strtod(text, nullptr)) {
        fprintf(stderr, "Fract::operator=(char*) : arithmetic overflow while parsing '%s'\n", text);
        exit(1);
    }
    return Fract(numerator, denominator);
}

int operator==(const Fract& a, const Fract& b) { return a.num == b.num && a.den == b.den; }
int operator==(const Fract& a, long long n) { return a.num == n && a.den == 1; }
int operator==(long long n, const Fract& a) { return a == n; }
int operator!=(const Fract& a, const Fract& b) { return !(a == b); }
int operator!=(const Fract& a, long long n) { return !(a == n); }
int operator!=(long long n, const Fract& a) { return !(a == n); }

// a/b against c/d compares a*d with c*b.
static long long lhs(const Fract& a, const Fract& b) { return wrap_mul(a.num, b.den); }
static long long rhs(const Fract& a, const Fract& b) { return wrap_mul(b.num, a.den); }

int operator>(const Fract& a, const Fract& b) { return lhs(a, b) > rhs(a, b); }
int operator>(const Fract& a, long long n) { return a.num > wrap_mul(n, a.den); }
int operator>(long long n, const Fract& a) { return wrap_mul(n, a.den) > a.num; }
int operator>=(const Fract& a, const Fract& b) { return lhs(a, b) >= rhs(a, b); }
int operator>=(const Fract& a, long long n) { return a.num >= wrap_mul(n, a.den); }
int operator>=(long long n, const Fract& a) { return wrap_mul(n, a.den) >= a.num; }
int operator<(const Fract& a, const Fract& b) { return lhs(a, b) < rhs(a, b); }
int operator<(const Fract& a, long long n) { return a.num < wrap_mul(n, a.den); }
int operator<(long long n, const Fract& a) { return wrap_mul(n, a.den) < a.num; }
int operator<=(const Fract& a, const Fract& b) { return lhs(a, b) <= rhs(a, b); }
int operator<=(const Fract& a, long long n) { return a.num <= wrap_mul(n, a.den); }
int operator<=(long long n, const Fract& a) { return wrap_mul(n, a.den) <= a.num; }

Fract uminus(const Fract& a) { return Fract(wrap_neg(a.num), a.den); }
Fract abs(const Fract& a) { return a.num >= 0 ? a : uminus(a); }
Fract plus(const Fract& a, const Fract& b) {
    return Fract(wrap_add(wrap_mul(a.num, b.den), wrap_mul(a.den, b.num)), wrap_mul(a.den, b.den));
}
Fract minus(const Fract& a, const Fract& b) {
    return Fract(wrap_add(wrap_mul(a.num, b.den), wrap_neg(wrap_mul(a.den, b.num))),
                 wrap_mul(a.den, b.den));
}
Fract times(const Fract& a, const Fract& b) {
    return Fract(wrap_mul(a.num, b.num), wrap_mul(a.den, b.den));
}
Fract slash(const Fract& a, const Fract& b) {
    return Fract(wrap_mul(a.num, b.den), wrap_mul(a.den, b.num));
}
