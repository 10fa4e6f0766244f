// The chunked object store: addresses stay put across chunk boundaries,
// every object is destroyed exactly once, newest first on pop_back.
#include "corvel/chunk_store.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Counted {
    static int alive;
    int value;
    explicit Counted(int v) : value(v) { ++alive; }
    ~Counted() { --alive; }
};
int Counted::alive = 0;

struct Odd {   // 40 bytes: a full chunk does not divide 2 MB exactly
    char bytes[40];
};

Counted* add(ChunkStore<Counted>& s, int v) { return s.commit(new (s.reserve()) Counted(v)); }

TEST(ChunkStore, AddressesAndOrderAcrossChunks) {
    Counted::alive = 0;
    {
        ChunkStore<Counted> s;
        std::vector<Counted*> made;
        const int n = 1200000;   // past the doubling chunks and into several full ones
        made.reserve(n);
        for (int i = 0; i < n; ++i) made.push_back(add(s, i));
        ASSERT_EQ(s.size(), (size_t)n);
        EXPECT_EQ(Counted::alive, n);
        for (int i : {0, 63, 64, 191, 192, 524287, 524288, n - 1}) EXPECT_EQ(s.at((size_t)i), made[(size_t)i]) << i;
        for (int i = 0; i < n; ++i)
            if (made[(size_t)i]->value != i) FAIL() << "object " << i << " overwritten";
    }
    EXPECT_EQ(Counted::alive, 0);   // the destructor ran every object's
    ChunkStore<Odd> odd;
    for (size_t i = 0; i < 200000; ++i) {
        Odd* o = odd.commit(new (odd.reserve()) Odd());
        o->bytes[0] = (char)(i & 0x7f);
        o->bytes[39] = (char)(i % 13);
    }
    for (size_t i = 0; i < 200000; ++i)
        if (odd.at(i)->bytes[0] != (char)(i & 0x7f) || odd.at(i)->bytes[39] != (char)(i % 13)) FAIL() << "odd " << i;
}

TEST(ChunkStore, PopBackDestroysNewestAndSlotIsReused) {
    Counted::alive = 0;
    ChunkStore<Counted> s;
    for (int i = 0; i < 100; ++i) add(s, i);
    Counted* last = s.at(99);
    s.pop_back();
    EXPECT_EQ(s.size(), 99u);
    EXPECT_EQ(Counted::alive, 99);
    EXPECT_EQ(add(s, 7), last);   // same slot again
    EXPECT_EQ(s.at(98)->value, 98);
    while (s.size() > 0) s.pop_back();
    EXPECT_EQ(Counted::alive, 0);
    s.pop_back();   // on an empty store: nothing
    s.reserve();    // a reserved slot left uncommitted is not an object
    EXPECT_EQ(s.size(), 0u);
    s.clear();
    EXPECT_EQ(Counted::alive, 0);
}

}  // namespace
