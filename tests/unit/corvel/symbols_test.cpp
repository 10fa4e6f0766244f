#include "corvel/symbols.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

std::string read_all(FILE* f) {
    rewind(f);
    std::string s;
    int c;
    while ((c = getc(f)) != EOF) s += (char)c;
    EXPECT_EQ(fclose(f), 0);
    return s;
}

TEST(StringTape, HashCodes) {
    StringTape t;
    struct { const char* s; int code; } cases[] = {{"abc", 291}, {"bool", 2202}, {"", 0}};
    for (auto& c : cases) EXPECT_EQ(c.code, t.hash_code(c.s)) << c.s;
    // Only the low four bits count: 'a' (0x61) and 'q' (0x71) collide.
    EXPECT_EQ(t.hash_code("abc"), t.hash_code("qbc"));
    // Nine bytes: the 8th byte starts a second word.
    EXPECT_EQ((int)((0x1234567u + 0x89u) % 5041u), t.hash_code("123456789"));
}

TEST(StringTape, StatisticsAndCollisions) {
    StringTape t;
    FILE* f = tmpfile();
    t.print_statistics(f);
    EXPECT_EQ("hash size  :  5041\noccupied   :     0\ncoll max   :     0\nnb strings :     0\n",
              read_all(f));
    STapeHashItem* a = t.internal_add("abc");
    STapeHashItem* q = t.internal_add("qbc");
    EXPECT_EQ(1, a->id);
    EXPECT_EQ(2, q->id);
    EXPECT_EQ(q, t.bucket(291));         // newest first
    EXPECT_EQ(a, t.bucket(291)->next);
    EXPECT_EQ(a, t.internal_add("abc"));
    EXPECT_EQ(1, t.occupied());
    EXPECT_EQ(2, t.coll_max());
    // A failed find compares the two items of the bucket: 2 is not above 2.
    EXPECT_EQ(nullptr, t.internal_find("Abc"));
    EXPECT_EQ(2, t.coll_max());
    t.internal_add("Qbc");               // failed search over 2: no change
    EXPECT_EQ(nullptr, t.internal_find("1bc"));   // 3 compared: coll max 4
    EXPECT_EQ(4, t.coll_max());
    EXPECT_EQ(a, t.search(t.bucket(291), "abc"));
    f = tmpfile();
    t.print_statistics(f);
    EXPECT_EQ("hash size  :  5041\noccupied   :     1\ncoll max   :     4\nnb strings :     3\n",
              read_all(f));
}

TEST(StringTape, IndexAgreesWithChainsAtScale) {
    StringTape t;
    // Reference: the chain rule on per-bucket counts, add after add.
    std::vector<int> chain(5041, 0);
    int expect_coll = 0;
    for (int k = 0; k < 60000; ++k) {
        std::string s = std::to_string(k);
        int& n = chain[t.hash_code(s.c_str())];
        if (n > expect_coll) expect_coll = n + 1;
        ++n;
        t.internal_add(s.c_str());
    }
    EXPECT_EQ(expect_coll, t.coll_max());
    int occupied = 0, longest = 0;
    for (int b = 0; b < t.hash_size(); ++b) {
        int n = 0;
        for (STapeHashItem* it = t.bucket(b); it; it = it->next) {
            EXPECT_EQ(b, t.hash_code(it->string));
            ++n;
        }
        occupied += n > 0;
        if (n > longest) longest = n;
    }
    EXPECT_EQ(occupied, t.occupied());
    EXPECT_EQ(60000, t.nb_strings());
    EXPECT_GE(t.coll_max(), longest - 1);
    for (int k = 0; k < 60000; k += 997)
        EXPECT_EQ(k + 1, t.internal_find(std::to_string(k).c_str())->id);
}

TEST(StringTape, PageSpill) {
    StringTape t;
    std::string s1(10000, 'a'), s2(6378, 'b'), s3(1, 'c');
    char* p1 = t.new_string(s1.c_str());
    char* p2 = t.new_string(s2.c_str());   // exactly fills 16,380 bytes
    char* p3 = t.new_string(s3.c_str());   // next page
    EXPECT_EQ(p1 + 10001, p2);
    EXPECT_NE(p2 + 6379, p3);
    std::string s4(16379, 'd');
    char* p4 = t.new_string(s4.c_str());   // a page of its own
    EXPECT_EQ(s1, p1);
    EXPECT_EQ(s2, p2);
    EXPECT_EQ(s3, p3);
    EXPECT_EQ(s4, p4);
}

TEST(SymbolTable, IdentifiersAndLookups) {
    SymbolTable st;
    EXPECT_EQ(1, st.add("bool"));
    EXPECT_EQ(2, st.add("int"));
    EXPECT_EQ(1, st.add("%s", "bool"));
    EXPECT_EQ(2, st.count());
    EXPECT_EQ(3, st.add("%s%d", "x", 12));
    EXPECT_EQ(3, st.find("x12"));
    EXPECT_EQ(3, st.find("%c%d", 'x', 12));
    EXPECT_EQ(0, st.find("x13"));
    EXPECT_EQ(3, st.count());
    EXPECT_EQ(4, st.add("%s", "100%"));
    EXPECT_EQ(5, st.add("%s", ""));
    EXPECT_STREQ("", st[5]);
    EXPECT_STREQ("100%", st[4]);
    EXPECT_EQ(nullptr, st[0]);
    EXPECT_EQ(nullptr, st[6]);
    EXPECT_EQ(nullptr, st[-3]);
}

TEST(SymbolTable, FindThenAddAndGet) {
    SymbolTable st;
    st.add("a");
    int id = -1;
    EXPECT_EQ(0, st.find_then_add(&id, "b%d", 1));
    EXPECT_EQ(2, id);
    EXPECT_EQ(st.count(), id);
    id = -1;
    EXPECT_EQ(1, st.find_then_add(&id, "b1"));
    EXPECT_EQ(2, id);
    id = 77;
    EXPECT_EQ(0, st.find_then_get(&id, "c"));
    EXPECT_EQ(77, id);
    EXPECT_EQ(1, st.find_then_get(&id, "%s", "a"));
    EXPECT_EQ(1, id);
    EXPECT_EQ(2, st.count());
}

TEST(SymbolTable, ChunkBoundariesAndIterate) {
    SymbolTable st;
    st.init_iterate();
    EXPECT_EQ(nullptr, st.iterate());
    std::vector<char*> texts;
    for (int k = 1; k <= 2501; ++k) {
        ASSERT_EQ(k, st.add("n%d", k));
        texts.push_back(st[k]);
    }
    EXPECT_STREQ("n1001", st[1001]);
    EXPECT_STREQ("n2501", st[2501]);   // slot 2,500: third chunk
    for (int k = 1; k <= 2501; ++k) ASSERT_EQ(texts[k - 1], st[k]);
    st.init_iterate();
    int n = 0;
    while (char* s = st.iterate()) {
        ++n;
        ASSERT_EQ(texts[n - 1], s);
    }
    EXPECT_EQ(2501, n);
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
    EXPECT_EQ(x, a[2500]);
    EXPECT_EQ(y, a[999999]);
    EXPECT_EQ(1000, a.next()->size());
    // Indexing a later chunk directly walks its own chain.
    EXPECT_EQ(x, (*a.next()->next())[500]);
}

TEST(SymbolTable, PrintFormats) {
    SymbolTable st;
    st.add("bool");
    st.add("int");
    FILE* f = tmpfile();
    st.print(f);
    EXPECT_EQ("symbol[  1]= \"bool\"\nsymbol[  2]= \"int\"\n", read_all(f));
    f = tmpfile();
    st.print_statistics(f);
    EXPECT_EQ("hash size  :  5041\noccupied   :     2\ncoll max   :     0\nnb strings :     2\n",
              read_all(f));
}

TEST(SymbolTable, LongNamesAreCutNotOverrun) {
    SymbolTable st;
    std::string longest(SymbolTable::kMaxName, 'L');
    int a = st.add("%s", longest.c_str());
    EXPECT_EQ(longest, st[a]);
    std::string mid(5000, 'm');
    int b = st.add("<%s>", mid.c_str());   // longer than 1,023 via a format
    EXPECT_EQ("<" + mid + ">", st[b]);
    EXPECT_EQ(b, st.find("<%s>", mid.c_str()));
    // Over the limit: both the fast "%s" path and vsnprintf cut the same way.
    std::string over(20000, 'L');
    EXPECT_EQ(a, st.add("%s", over.c_str()));
    EXPECT_EQ(a, st.add("%s%s", longest.c_str(), "tail"));
    EXPECT_EQ(a, st.find("%s", over.c_str()));
    EXPECT_EQ(2, st.count());
}

}  // namespace

namespace {

// Names around the length kept whole in an index slot (15 characters plus
// its terminator), and names that agree on their first 16 characters: each
// is found as itself and as nothing else.
TEST(SymbolTable, NamesAroundTheInlineLength) {
    SymbolTable t;
    const std::string p16 = "abcdefghijklmnop";
    std::vector<std::string> names = {
        "", "a", "abcdefghijklmn", "abcdefghijklmno", p16, p16 + "q", p16 + "qr", p16 + "r",
        "abcdefghijklmno" + std::string("x"), "abcdefghijklmnoq", std::string(300, 'z'),
        std::string(300, 'z') + "y", "ABCDEFGHIJKLMNOP"};
    std::vector<int> ids;
    ids.reserve(names.size());
    for (const std::string& n : names) ids.push_back(t.add_text(n.data(), n.size()));
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(ids[i], (int)i + 1) << names[i];
        EXPECT_EQ(t.find("%s", names[i].c_str()), ids[i]) << names[i];
        EXPECT_EQ(t.add("%s", names[i].c_str()), ids[i]) << names[i];
        EXPECT_STREQ(t[ids[i]], names[i].c_str());
    }
    for (const std::string& absent : {p16 + "s", std::string("abcdefghijklm"), p16.substr(0, 15) + "Q",
                                      std::string(299, 'z')})
        EXPECT_EQ(t.find("%s", absent.c_str()), 0) << absent;
    EXPECT_EQ(t.count(), (int)names.size());
}

// The reader's entry adds a name exactly as add("%s", name): same
// identifiers, texts, statistics and cut at the maximum length.
TEST(SymbolTable, AddTextAgreesWithFormattedAdd) {
    SymbolTable a, b;
    std::vector<std::string> names;
    names.reserve(20001);
    for (int i = 0; i < 20000; ++i) names.push_back("n" + std::to_string(i * 7919 % 20000));
    names.push_back(std::string(SymbolTable::kMaxName + 50, 'w'));
    for (const std::string& n : names) {
        int ia = a.add("%s", n.c_str());
        int ib = b.add_text(n.data(), n.size());
        ASSERT_EQ(ia, ib) << n;
    }
    ASSERT_EQ(a.count(), b.count());
    EXPECT_EQ(strlen(b[b.count()]), (size_t)SymbolTable::kMaxName);
    FILE* fa = tmpfile();
    FILE* fb = tmpfile();
    a.print_statistics(fa);
    b.print_statistics(fb);
    EXPECT_EQ(read_all(fa), read_all(fb));
}


}  // namespace
