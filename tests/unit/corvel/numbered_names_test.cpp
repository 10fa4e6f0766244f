#include "corvel/numbered_names.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "corvel/symbols.h"

namespace {

// A key points into its text: these helpers keep the text alive around
// each call.
NumberedNames::Key key_of(const std::string& s) {
    NumberedNames::Key k{};
    EXPECT_TRUE(NumberedNames::split(s.data(), s.size(), &k)) << s;
    return k;
}
int find(const NumberedNames& n, const std::string& s) { return n.find(key_of(s)); }
bool make_room(NumberedNames& n, const std::string& s) { return n.make_room(key_of(s)); }
bool add(NumberedNames& n, const std::string& s, int id) {
    if (!make_room(n, s)) return false;
    n.set(key_of(s), id);
    return true;
}

TEST(NumberedNames, Split) {
    struct {
        const char* text;
        bool numbered;
        const char* prefix;
        uint32_t number;
    } cases[] = {
        {"v12", true, "v", 12},         {"_L340", true, "_L", 340},   {"x_3_7", true, "x_3_", 7},
        {"0", true, "", 0},             {"42", true, "", 42},         {"v0", true, "v", 0},
        {"v999999999", true, "v", 999999999},
        {"v1000000000", false, "", 0},  // ten digits: left to the other index
        {"x07", false, "", 0},          {"x00", false, "", 0},        {"abc", false, "", 0},
        {"", false, "", 0},             {"v1a", false, "", 0},
    };
    for (auto& c : cases) {
        NumberedNames::Key k{};
        bool got = NumberedNames::split(c.text, strlen(c.text), &k);
        EXPECT_EQ(got, c.numbered) << c.text;
        if (!got || !c.numbered) continue;
        EXPECT_EQ(std::string(k.prefix, k.prefix_len), c.prefix) << c.text;
        EXPECT_EQ(k.number, c.number) << c.text;
    }
}

// A prefix's array starts at its first number and takes numbers within
// twice its count (plus slack) past that; the rest is refused, not lost.
TEST(NumberedNames, TakesDenseNumbersOnly) {
    NumberedNames n;
    int id = 0;
    for (int i = 100; i < 1100; ++i) {
        std::string name = "v" + std::to_string(i);
        ASSERT_EQ(find(n, name), 0);
        ASSERT_TRUE(add(n, name, ++id)) << i;
    }
    EXPECT_EQ(n.count(), 1000u);
    EXPECT_EQ(find(n, "v100"), 1);
    EXPECT_EQ(find(n, "v1099"), 1000);
    EXPECT_EQ(find(n, "w100"), 0);    // another prefix
    EXPECT_EQ(find(n, "v1100"), 0);   // not recorded
    EXPECT_FALSE(make_room(n, "v99"));           // below the first number
    EXPECT_FALSE(make_room(n, "v5000"));         // too far ahead
    EXPECT_TRUE(make_room(n, "v2000"));          // within 2 x 1000 past 100
    // Refusals changed nothing.
    EXPECT_EQ(find(n, "v99"), 0);
    EXPECT_EQ(find(n, "v5000"), 0);
    EXPECT_EQ(find(n, "v500"), 401);
    EXPECT_EQ(n.count(), 1000u);
}

TEST(NumberedNames, ManyPrefixes) {
    NumberedNames n;
    int id = 0;
    for (int p = 0; p < 3000; ++p)
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(add(n, "p" + std::to_string(p) + "_" + std::to_string(i), ++id));
    for (int p = 0; p < 3000; p += 7)
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(find(n, "p" + std::to_string(p) + "_" + std::to_string(i)), p * 3 + i + 1);
    EXPECT_EQ(find(n, "p3000_0"), 0);
}

// The tape keeps every kind of name once, whichever index holds it, with
// the same identifiers and statistics as the bucket chains give.
TEST(StringTape, NumberedAndOtherNamesMixed) {
    std::vector<std::string> names;
    names.reserve(6051);
    for (int i = 0; i < 5000; ++i) names.push_back("v" + std::to_string(i));        // dense
    for (int i = 0; i < 300; ++i) names.push_back("s" + std::to_string(i * 100003));  // sparse
    for (int i = 400; i > 0; --i) names.push_back("d" + std::to_string(i));           // descending
    for (int i = 0; i < 50; ++i) names.push_back("v0" + std::to_string(i));           // leading zero
    for (int i = 0; i < 50; ++i) names.push_back("x" + std::to_string(4000000000u + (unsigned)i));
    for (int i = 0; i < 200; ++i) names.push_back(std::to_string(i));                 // no prefix
    names.push_back("plain");
    StringTape t;
    std::vector<int> chain(5041, 0);
    int expect_coll = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        int& n = chain[t.hash_code(names[i].c_str())];
        if (n > expect_coll) expect_coll = n + 1;
        ++n;
        ASSERT_EQ(t.internal_add(names[i].c_str())->id, (int)i + 1) << names[i];
    }
    EXPECT_EQ(t.coll_max(), expect_coll);
    EXPECT_EQ(t.nb_strings(), (int)names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        ASSERT_EQ(t.internal_add(names[i].c_str())->id, (int)i + 1) << names[i];
        STapeHashItem* found = t.internal_find(names[i].c_str());
        ASSERT_NE(found, nullptr) << names[i];
        EXPECT_STREQ(found->string, names[i].c_str());
    }
    EXPECT_EQ(t.nb_strings(), (int)names.size());
    // A failed find of a numbered name counts its bucket like any other.
    for (const char* absent : {"v5000", "s1", "d401", "v000", "x4000000050", "200", "plainer"}) {
        int bucket_len = chain[t.hash_code(absent)];
        EXPECT_EQ(t.internal_find(absent), nullptr) << absent;
        if (bucket_len > expect_coll) expect_coll = bucket_len + 1;
        EXPECT_EQ(t.coll_max(), expect_coll) << absent;
    }
}

}  // namespace
