#include "corvel/fract.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string printed(const Fract& f) {
    FILE* t = tmpfile();
    f.print(t);
    rewind(t);
    std::string s;
    int c;
    while ((c = getc(t)) != EOF) s += (char)c;
    EXPECT_EQ(fclose(t), 0);
    return s;
}

TEST(Fract, NormalForm) {
    struct { long long n, d, num, den; } cases[] = {
        {6, -4, -3, 2}, {0, 5, 0, 1}, {0, -5, 0, 1}, {1, -7, -1, 7}, {-10, -4, 5, 2},
        {12, 1, 12, 1}, {1, 12, 1, 12}, {-9, 3, -3, 1}, {1000000007LL * 6, 1000000007LL * 4, 3, 2}};
    for (auto& c : cases) {
        Fract f(c.n, c.d);
        EXPECT_EQ(c.num, f.num) << c.n << "/" << c.d;
        EXPECT_EQ(c.den, f.den) << c.n << "/" << c.d;
    }
}

TEST(Fract, PgcdPpcm) {
    EXPECT_EQ(6, pgcd(12, -18));
    EXPECT_EQ(1, pgcd(7, 5));
    EXPECT_EQ(36, ppcm(12, 18));
    EXPECT_EQ(5, pgcd(5, 0));   // zero: the other argument
    EXPECT_EQ(0, ppcm(0, 4));
}

TEST(Fract, Print) {
    EXPECT_EQ("3", printed(Fract(3)));
    EXPECT_EQ("-3/2", printed(Fract(-3, 2)));
    EXPECT_EQ("0", printed(Fract()));
}

TEST(Fract, Comparisons) {
    Fract half(1, 2), two_thirds(2, 3), five_halves(5, 2);
    EXPECT_EQ(1, half < two_thirds);
    EXPECT_EQ(0, half > two_thirds);
    EXPECT_EQ(1, half <= half);
    EXPECT_EQ(1, two_thirds >= half);
    EXPECT_EQ(1, Fract(4, 2) == 2LL);
    EXPECT_EQ(1, 2LL == Fract(4, 2));
    EXPECT_EQ(0, 2LL >= five_halves);
    EXPECT_EQ(1, 2LL < five_halves);
    EXPECT_EQ(1, five_halves > 2LL);
    EXPECT_EQ(1, five_halves <= 3LL);
    EXPECT_EQ(1, 3LL > five_halves);
    EXPECT_EQ(1, 3LL >= five_halves);
    EXPECT_EQ(1, 2LL <= five_halves);
    EXPECT_EQ(0, five_halves < 2LL);
    EXPECT_EQ(1, half != two_thirds);
    EXPECT_EQ(1, half != 1LL);
    EXPECT_EQ(1, 1LL != half);
    EXPECT_EQ(0, half == two_thirds);
}

TEST(Fract, Arithmetic) {
    struct { Fract got; long long num, den; } cases[] = {
        {abs(Fract(-3, 4)), 3, 4},        {abs(Fract(3, 4)), 3, 4},
        {plus(Fract(1, 6), Fract(1, 3)), 1, 2}, {minus(Fract(1, 6), Fract(1, 3)), -1, 6},
        {times(Fract(2, 3), Fract(9, 4)), 3, 2}, {slash(Fract(1, 2), Fract(-3, 4)), -2, 3},
        {uminus(Fract(5, 7)), -5, 7},     {minus(Fract(1, 2), Fract(1, 2)), 0, 1}};
    for (auto& c : cases) {
        EXPECT_EQ(c.num, c.got.num);
        EXPECT_EQ(c.den, c.got.den);
    }
    EXPECT_DOUBLE_EQ(-0.75, Fract(-3, 4).todouble());
}

TEST(Fract, Atofract) {
    struct { const char* text; long long num, den; } cases[] = {
        {"2.50", 5, 2}, {"-1.5e2", -150, 1}, {"12e-3", 3, 250}, {"1.", 1, 1}, {"7x", 7, 1},
        {"0", 0, 1}, {"0.0", 0, 1}, {"3.14", 157, 50}, {"1E+2", 100, 1}, {"-0.125", -1, 8},
        {"9223372036854775807", 9223372036854775807LL, 1}};
    for (auto& c : cases) {
        Fract f = atofract(c.text);
        EXPECT_EQ(c.num, f.num) << c.text;
        EXPECT_EQ(c.den, f.den) << c.text;
    }
}

using FractDeathTest = testing::Test;

TEST(FractDeathTest, FatalPaths) {
    EXPECT_EXIT(Fract(1, 0), testing::ExitedWithCode(1), "^Fract::Fract: division by zero\n$");
    EXPECT_EXIT(slash(Fract(1, 2), Fract(0)), testing::ExitedWithCode(1),
                "^Fract::Fract: division by zero\n$");
    Fract bad;
    bad.den = 0;
    EXPECT_EXIT(bad.todouble(), testing::ExitedWithCode(1),
                "^Fract::todouble\\(\\) : division by zero\n$");
    EXPECT_EXIT(atofract("12345678901234567890"), testing::ExitedWithCode(1),
                "^Fract::operator=\\(char\\*\\) : arithmetic overflow while parsing "
                "'12345678901234567890'\n$");
    EXPECT_EXIT(atofract("99999999999999999999"), testing::ExitedWithCode(1), "arithmetic overflow");
    EXPECT_EXIT(atofract("1e400"), testing::ExitedWithCode(1), "arithmetic overflow");
}

}  // namespace
