#include "corvel/symbols.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

template <class Fn>
std::string printed(Fn fn) {
    FILE* f = tmpfile();
    fn(f);
    rewind(f);
    std::string s;
    for (int c; (c = getc(f)) != EOF;) s += (char)c;
    EXPECT_EQ(fclose(f), 0);
    return s;
}
template <class T>
std::string statistics(const T& t) { return printed([&](FILE* f) { t.print_statistics(f); }); }

TEST(StringTape, HashCodesCollisionsAndStatistics) {
    StringTape t;
    struct { const char* s; int code; } cases[] = {
        {"abc", 291}, {"qbc", 291},   // only the low four bits count: 'a' and 'q' collide
        {"bool", 2202}, {"", 0}, {"123456789", (int)((0x1234567u + 0x89u) % 5041u)}};  // 9th byte: 2nd word
    for (auto& c : cases) EXPECT_EQ(c.code, t.hash_code(c.s)) << c.s;
    EXPECT_EQ("hash size  :  5041\noccupied   :     0\ncoll max   :     0\nnb strings :     0\n", statistics(t));
    // "Abc" compares 2 (not above coll max 2: no change), "1bc" compares 3: coll max 4.
    struct { const char* s; bool add; int id, coll; } steps[] = {
        {"abc", true, 1, 0}, {"qbc", true, 2, 2}, {"abc", true, 1, 2}, {"Abc", false, 0, 2},
        {"Qbc", true, 3, 2}, {"1bc", false, 0, 4}, {"qbc", false, 2, 4}};
    for (auto& c : steps) {
        STapeHashItem* it = c.add ? t.internal_add(c.s) : t.internal_find(c.s);
        EXPECT_EQ(c.id, it ? it->id : 0) << c.s;
        EXPECT_EQ(c.coll, t.coll_max()) << c.s;
    }
    std::vector<int> chain;   // newest first
    for (STapeHashItem* it = t.bucket(291); it; it = it->next) chain.push_back(it->id);
    EXPECT_EQ(chain, (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(t.bucket(291)->next->next, t.search(t.bucket(291), "abc"));
    EXPECT_EQ("hash size  :  5041\noccupied   :     1\ncoll max   :     4\nnb strings :     3\n", statistics(t));
}

// Adds names in order and compares identifiers, bucket chains, occupied and
// coll max with a reference model of per-bucket chain lengths; re-adding and
// finding give the same items; a failed find counts its bucket like any other.
void check_against_chains(const std::vector<std::string>& names, const std::vector<const char*>& absent) {
    StringTape t;
    std::vector<int> chain(t.hash_size(), 0);
    int coll = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        int& n = chain[t.hash_code(names[i].c_str())];
        if (n > coll) coll = n + 1;
        ++n;
        ASSERT_EQ(t.internal_add(names[i].c_str())->id, (int)i + 1) << names[i];
    }
    EXPECT_EQ(t.coll_max(), coll);
    int occupied = 0;
    for (int b = 0; b < t.hash_size(); ++b) {
        int n = 0;
        for (STapeHashItem* it = t.bucket(b); it; it = it->next, ++n) ASSERT_EQ(b, t.hash_code(it->string));
        ASSERT_EQ(chain[b], n) << "bucket " << b;
        occupied += n > 0;
    }
    EXPECT_EQ(t.occupied(), occupied);
    for (size_t i = 0; i < names.size(); ++i) {
        STapeHashItem* it = t.internal_add(names[i].c_str());
        ASSERT_TRUE(it->id == (int)i + 1 && it == t.internal_find(names[i].c_str()) && names[i] == it->string)
            << names[i];
    }
    EXPECT_EQ(t.nb_strings(), (int)names.size());
    for (const char* s : absent) {
        int len = chain[t.hash_code(s)];
        EXPECT_EQ(t.internal_find(s), nullptr) << s;
        if (len > coll) coll = len + 1;
        EXPECT_EQ(t.coll_max(), coll) << s;
    }
}

TEST(StringTape, ChainsAgreeWithReferenceModel) {
    std::vector<std::string> mixed, decimal;
    auto numbered = [&](const char* prefix, long long first, int n, int step) {
        for (int i = 0; i < n; ++i) mixed.push_back(prefix + std::to_string(first + (long long)i * step));
    };
    numbered("v", 0, 5000, 1);       // dense
    numbered("s", 0, 300, 100003);   // sparse
    numbered("d", 400, 400, -1);     // descending
    numbered("v0", 0, 50, 1);        // leading zero
    numbered("x", 4000000000LL, 50, 1);
    numbered("", 0, 200, 1);         // no prefix
    mixed.push_back("plain");
    check_against_chains(mixed, {"v5000", "s1", "d401", "v000", "x4000000050", "200", "plainer"});
    for (int k = 0; k < 60000; ++k) decimal.push_back(std::to_string(k));   // long chains
    check_against_chains(decimal, {"60000", "-1", "00"});
}

TEST(StringTape, PageSpill) {
    StringTape t;
    std::string s[] = {std::string(10000, 'a'), std::string(6378, 'b'), "c", std::string(16379, 'd')};
    char* p[4];
    // The second exactly fills a page's 16,380 bytes, the third starts the next, the fourth has its own.
    for (int i = 0; i < 4; ++i) p[i] = t.new_string(s[i].c_str());
    EXPECT_EQ(p[0] + 10001, p[1]);
    EXPECT_NE(p[1] + 6379, p[2]);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(s[i], p[i]) << i;
}

TEST(SymbolTable, AddFindPrintAndOutOfRange) {
    SymbolTable st;
    EXPECT_EQ(1, st.add("bool"));
    EXPECT_EQ(2, st.add("int"));
    EXPECT_EQ(1, st.add("%s", "bool"));
    EXPECT_EQ("symbol[  1]= \"bool\"\nsymbol[  2]= \"int\"\n", printed([&](FILE* f) { st.print(f); }));
    EXPECT_EQ("hash size  :  5041\noccupied   :     2\ncoll max   :     0\nnb strings :     2\n", statistics(st));
    struct { int got, want; } ids[] = {   // evaluated in order
        {st.add("%s%d", "x", 12), 3}, {st.find("x12"), 3}, {st.find("%c%d", 'x', 12), 3}, {st.find("x13"), 0},
        {st.add("%s", "100%"), 4}, {st.add("%s", ""), 5}};
    for (auto& c : ids) EXPECT_EQ(c.want, c.got) << "row " << &c - ids;
    EXPECT_STREQ("", st[5]);
    EXPECT_STREQ("100%", st[4]);
    for (int bad : {0, 6, -3}) EXPECT_EQ(nullptr, st[bad]) << bad;
    int id = -1;
    EXPECT_EQ(0, st.find_then_add(&id, "b%d", 1));   // added: 0, id of the new name
    EXPECT_EQ(6, id);
    id = -1;
    EXPECT_EQ(1, st.find_then_add(&id, "b1"));
    EXPECT_EQ(6, id);
    id = 77;
    EXPECT_EQ(0, st.find_then_get(&id, "c"));   // absent: id untouched, nothing added
    EXPECT_EQ(77, id);
    EXPECT_EQ(1, st.find_then_get(&id, "%s", "int"));
    EXPECT_EQ(2, id);
    EXPECT_EQ(6, st.count());
}

TEST(SymbolTable, ChunkBoundariesAndIterate) {
    SymbolTable st;
    st.init_iterate();
    EXPECT_EQ(nullptr, st.iterate());
    std::vector<char*> texts;
    for (int k = 1; k <= 2501; ++k) {   // slot 2,500: third chunk
        ASSERT_EQ(k, st.add("n%d", k));
        texts.push_back(st[k]);
    }
    st.init_iterate();
    int n = 0;
    for (char* s; (s = st.iterate()); ++n) ASSERT_EQ(texts[n], s);
    EXPECT_EQ(2501, n);
    for (int k = 1; k <= 2501; ++k) {
        ASSERT_EQ(texts[k - 1], st[k]);
        ASSERT_EQ("n" + std::to_string(k), st[k]);
    }
}

TEST(StringArray, DirectoryKeepsSlotAddresses) {
    StringArray a(1000);
    char** first = &a[5];
    char x[] = "x", y[] = "y";
    a[2500] = x;
    char** far = &a[2500];
    a[999999] = y;
    EXPECT_EQ(first, &a[5]);
    EXPECT_EQ(far, &a[2500]);
    EXPECT_EQ(y, a[999999]);
    EXPECT_EQ(1000, a.next()->size());
    EXPECT_EQ(x, (*a.next()->next())[500]);   // a later chunk indexes its own chain
}

// Names around the 16-character inline slot (15 characters and the
// terminator), names agreeing on their first 16, long and over-long ones:
// add_text (the reader's entry) and add("%s") agree on identifiers, texts,
// statistics and the cut at kMaxName.
TEST(SymbolTable, NamesByLengthThroughBothEntries) {
    SymbolTable a, b;
    const std::string p16 = "abcdefghijklmnop", z300(300, 'z'), longest(SymbolTable::kMaxName, 'L');
    std::vector<std::string> names = {"", "a", "abcdefghijklmn", "abcdefghijklmno", p16, p16 + "q", p16 + "qr",
                                      p16 + "r", "abcdefghijklmnox", "abcdefghijklmnoq", z300, z300 + "y",
                                      "ABCDEFGHIJKLMNOP", longest};
    const int nlong = (int)names.size();   // longest's identifier
    for (int i = 0; i < 20000; ++i) names.push_back("n" + std::to_string(i * 7919 % 20000));
    for (size_t i = 0; i < names.size(); ++i) {
        ASSERT_EQ(b.add_text(names[i].data(), names[i].size()), (int)i + 1) << names[i];
        ASSERT_EQ(a.add("%s", names[i].c_str()), (int)i + 1) << names[i];
    }
    for (int i = 0; i < nlong; ++i) {
        EXPECT_EQ(b.find("%s", names[i].c_str()), i + 1) << names[i];
        EXPECT_EQ(b.add("%s", names[i].c_str()), i + 1) << names[i];
        EXPECT_STREQ(b[i + 1], names[i].c_str());
    }
    for (const std::string& absent : {p16 + "s", std::string("abcdefghijklm"), p16.substr(0, 15) + "Q",
                                      std::string(299, 'z')})
        EXPECT_EQ(b.find("%s", absent.c_str()), 0) << absent;
    // Over the limit: add_text, the fast "%s" path and vsnprintf cut the same way.
    std::string over(20000, 'L'), mid = "<" + std::string(5000, 'm') + ">";
    EXPECT_EQ(nlong, b.add_text(over.data(), over.size()));
    EXPECT_EQ(nlong, a.add("%s", over.c_str()));
    EXPECT_EQ(nlong, a.add("%s%s", longest.c_str(), "tail"));
    EXPECT_EQ(nlong, a.find("%s", over.c_str()));
    int m = a.add("<%s>", mid.substr(1, 5000).c_str());   // longer than 1,023 via a format
    EXPECT_EQ(mid, a[m]);
    EXPECT_EQ(m, a.find("%s", mid.c_str()));
    EXPECT_EQ(m, b.add_text(mid.data(), mid.size()));
    EXPECT_EQ(a.count(), (int)names.size() + 1);
    EXPECT_EQ(statistics(a), statistics(b));
}

}  // namespace
