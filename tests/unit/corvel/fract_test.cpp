#include "corvel/fract.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Normal form: lowest terms, positive denominator, zero as 0/1.
TEST(Fract, NormalFormArithmeticAndParsing) {
    struct { Fract got; long long num, den; } cases[] = {
        {Fract(6, -4), -3, 2}, {Fract(0, 5), 0, 1}, {Fract(0, -5), 0, 1}, {Fract(1, -7), -1, 7},
        {Fract(-10, -4), 5, 2}, {Fract(12, 1), 12, 1}, {Fract(1, 12), 1, 12}, {Fract(-9, 3), -3, 1},
        {Fract(1000000007LL * 6, 1000000007LL * 4), 3, 2},
        {abs(Fract(-3, 4)), 3, 4}, {abs(Fract(3, 4)), 3, 4}, {plus(Fract(1, 6), Fract(1, 3)), 1, 2},
        {minus(Fract(1, 6), Fract(1, 3)), -1, 6}, {times(Fract(2, 3), Fract(9, 4)), 3, 2},
        {slash(Fract(1, 2), Fract(-3, 4)), -2, 3}, {uminus(Fract(5, 7)), -5, 7},
        {minus(Fract(1, 2), Fract(1, 2)), 0, 1},
        {atofract("2.50"), 5, 2}, {atofract("-1.5e2"), -150, 1}, {atofract("12e-3"), 3, 250}, {atofract("1."), 1, 1},
        {atofract("7x"), 7, 1}, {atofract("0"), 0, 1}, {atofract("0.0"), 0, 1}, {atofract("3.14"), 157, 50},
        {atofract("1E+2"), 100, 1}, {atofract("-0.125"), -1, 8},
        {atofract("9223372036854775807"), 9223372036854775807LL, 1}};
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(cases[i].num, cases[i].got.num) << "row " << i;
        EXPECT_EQ(cases[i].den, cases[i].got.den) << "row " << i;
    }
    EXPECT_DOUBLE_EQ(-0.75, Fract(-3, 4).todouble());
    struct { long long got, want; } gcd_lcm[] = {
        {pgcd(12, -18), 6}, {pgcd(7, 5), 1}, {ppcm(12, 18), 36}, {pgcd(5, 0), 5}, {ppcm(0, 4), 0}};
    for (auto& c : gcd_lcm) EXPECT_EQ(c.want, c.got);
}

TEST(Fract, PrintAndComparisons) {
    for (auto c : {std::make_pair(Fract(3), "3"), std::make_pair(Fract(-3, 2), "-3/2"), std::make_pair(Fract(), "0")}) {
        FILE* t = tmpfile();
        c.first.print(t);
        rewind(t);
        std::string s;
        for (int ch; (ch = getc(t)) != EOF;) s += (char)ch;
        EXPECT_EQ(fclose(t), 0);
        EXPECT_EQ(c.second, s);
    }
    Fract half(1, 2), two_thirds(2, 3), five_halves(5, 2);
    struct { int got, want; } cases[] = {
        {half < two_thirds, 1}, {half > two_thirds, 0}, {half <= Fract(2, 4), 1}, {two_thirds >= half, 1},
        {Fract(4, 2) == 2LL, 1}, {2LL == Fract(4, 2), 1}, {2LL >= five_halves, 0}, {2LL < five_halves, 1},
        {five_halves > 2LL, 1}, {five_halves <= 3LL, 1}, {3LL > five_halves, 1}, {3LL >= five_halves, 1},
        {2LL <= five_halves, 1}, {five_halves < 2LL, 0}, {half != two_thirds, 1}, {half != 1LL, 1},
        {1LL != half, 1}, {half == two_thirds, 0}};
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) EXPECT_EQ(cases[i].want, cases[i].got) << "row " << i;
}

TEST(FractDeathTest, FatalPaths) {
    EXPECT_EXIT(Fract(1, 0), testing::ExitedWithCode(1), "^Fract::Fract: division by zero\n$");
    EXPECT_EXIT(slash(Fract(1, 2), Fract(0)), testing::ExitedWithCode(1), "^Fract::Fract: division by zero\n$");
    Fract bad;
    bad.den = 0;
    EXPECT_EXIT(bad.todouble(), testing::ExitedWithCode(1), "^Fract::todouble\\(\\) : division by zero\n$");
    EXPECT_EXIT(atofract("12345678901234567890"), testing::ExitedWithCode(1),
                "^Fract::operator=\\(char\\*\\) : arithmetic overflow while parsing '12345678901234567890'\n$");
    for (const char* text : {"99999999999999999999", "1e400"})
        EXPECT_EXIT(atofract(text), testing::ExitedWithCode(1), "arithmetic overflow") << text;
}

}  // namespace
