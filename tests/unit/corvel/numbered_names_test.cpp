#include "corvel/numbered_names.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A key points into its text: the helpers keep the text alive around each call.
NumberedNames::Key key_of(const std::string& s) {
    NumberedNames::Key k{};
    EXPECT_TRUE(NumberedNames::split(s.data(), s.size(), &k)) << s;
    return k;
}
int find(const NumberedNames& n, const std::string& s) { return n.find(key_of(s)); }
bool make_room(NumberedNames& n, const std::string& s) { return n.make_room(key_of(s)); }
bool add(NumberedNames& n, const std::string& s, int id) { return make_room(n, s) && (n.set(key_of(s), id), true); }

TEST(NumberedNames, Split) {
    struct { const char* text; bool numbered; const char* prefix; uint32_t number; } cases[] = {
        {"v12", true, "v", 12}, {"_L340", true, "_L", 340}, {"x_3_7", true, "x_3_", 7}, {"0", true, "", 0},
        {"42", true, "", 42}, {"v0", true, "v", 0}, {"v999999999", true, "v", 999999999},
        {"v1000000000", false, "", 0},   // ten digits: left to the other index
        {"x07", false, "", 0}, {"x00", false, "", 0}, {"abc", false, "", 0}, {"", false, "", 0}, {"v1a", false, "", 0}};
    for (auto& c : cases) {
        NumberedNames::Key k{};
        ASSERT_EQ(NumberedNames::split(c.text, strlen(c.text), &k), c.numbered) << c.text;
        if (!c.numbered) continue;
        EXPECT_EQ(std::string(k.prefix, k.prefix_len), c.prefix) << c.text;
        EXPECT_EQ(k.number, c.number) << c.text;
    }
}

// A prefix's array starts at its first number and takes numbers within twice
// its count (plus slack) past that; the rest is refused, and refusing changes nothing.
TEST(NumberedNames, TakesDenseNumbersOnly) {
    NumberedNames n;
    for (int i = 100; i < 1100; ++i) {
        ASSERT_EQ(find(n, "v" + std::to_string(i)), 0);
        ASSERT_TRUE(add(n, "v" + std::to_string(i), i - 99)) << i;
    }
    EXPECT_FALSE(make_room(n, "v99"));     // below the first number
    EXPECT_FALSE(make_room(n, "v5000"));   // too far ahead
    EXPECT_TRUE(make_room(n, "v2000"));    // within 2 x 1000 past 100
    struct { const char* name; int id; } cases[] = {{"v100", 1}, {"v1099", 1000}, {"v500", 401}, {"w100", 0},
                                                    {"v1100", 0}, {"v99", 0}, {"v5000", 0}, {"v2000", 0}};
    for (auto& c : cases) EXPECT_EQ(find(n, c.name), c.id) << c.name;
    EXPECT_EQ(n.count(), 1000u);
}

TEST(NumberedNames, ManyPrefixes) {
    NumberedNames n;
    auto name = [](int p, int i) { return "p" + std::to_string(p) + "_" + std::to_string(i); };
    for (int p = 0; p < 3000; ++p)
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(add(n, name(p, i), p * 3 + i + 1));
    for (int p = 0; p < 3000; p += 7)
        for (int i = 0; i < 3; ++i) EXPECT_EQ(find(n, name(p, i)), p * 3 + i + 1);
    EXPECT_EQ(find(n, "p3000_0"), 0);
}

}  // namespace
