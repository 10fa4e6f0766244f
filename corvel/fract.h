// Exact rational numbers on two 64-bit integers, kept in lowest terms with a
// positive denominator by the normalising constructor.
#ifndef CORVEL_FRACT_H
#define CORVEL_FRACT_H

#include <cstdio>

class Fract {
public:
    long long num;  // carries the sign
    long long den;  // > 0 once normalised

    Fract() : num(0), den(1) {}
    // Implicit on purpose: an integer converts to n/1, as with operator=(long long).
    Fract(long long n) : num(n), den(1) {}  // NOLINT(google-explicit-constructor)
    // n/d in lowest terms; d == 0 ends the process with status 1.
    Fract(long long n, long long d);
    Fract(const Fract&) = default;
    Fract& operator=(const Fract&) = default;
    Fract& operator=(long long n) {
        num = n;
        den = 1;
        return *this;
    }

    long long numerator() const { return num; }
    long long denominator() const { return den; }

    // A zero denominator ends the process with status 1.
    double todouble() const;

    // "%lld", then "/%lld" unless the denominator is 1.
    void print(FILE* f) const;
    void print() const;
};

// Value of a decimal text with optional fraction and exponent; characters
// after the number are ignored. A value that does not reproduce atof(text)
// ends the process with status 1.
Fract atofract(const char* text);

// Greatest common divisor of |a| and |b|; pgcd(a, 0) = |a|, pgcd(0, 0) = 0.
long long pgcd(long long a, long long b);
// Least common multiple; 0 when either argument is 0.
long long ppcm(long long a, long long b);

int operator==(const Fract& a, const Fract& b);
int operator==(const Fract& a, long long n);
int operator==(long long n, const Fract& a);
int operator!=(const Fract& a, const Fract& b);
int operator!=(const Fract& a, long long n);
int operator!=(long long n, const Fract& a);
int operator>(const Fract& a, const Fract& b);
int operator>(const Fract& a, long long n);
int operator>(long long n, const Fract& a);
int operator>=(const Fract& a, const Fract& b);
int operator>=(const Fract& a, long long n);
int operator>=(long long n, const Fract& a);
int operator<(const Fract& a, const Fract& b);
int operator<(const Fract& a, long long n);
int operator<(long long n, const Fract& a);
int operator<=(const Fract& a, const Fract& b);
int operator<=(const Fract& a, long long n);
int operator<=(long long n, const Fract& a);

Fract uminus(const Fract& a);
Fract abs(const Fract& a);
Fract plus(const Fract& a, const Fract& b);
Fract minus(const Fract& a, const Fract& b);
Fract times(const Fract& a, const Fract& b);
// Division by zero ends the process (zero denominator).
Fract slash(const Fract& a, const Fract& b);

#endif
