#include "corvel/intlist.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<int> lengths(const IntList* l) {
    std::vector<int> out;
    for (; l; l = l->tail()) out.push_back(l->length());
    return out;
}

// Lists have no destructor: tests free the heap nodes they made.
void free_nodes(IntList* l) {
    for (IntList* next; l; l = next) {
        next = l->tail();
        delete l;
    }
}

// Lengths count down node by node; a million values build without
// recursion; print puts ten values a line.
TEST(IntList, ArrayConstructorLengthsCompareAndPrint) {
    struct { int first, n; const char* text; } cases[] = {
        {5, 1, "{ 5 }\n"}, {1, 3, "{ 1, 2, 3 }\n"}, {1, 12, "{ 1, 2, 3, 4, 5, 6, 7, 8, 9, 10,\n11, 12 }\n"},
        {0, 21, "{ 0, 1, 2, 3, 4, 5, 6, 7, 8, 9,\n10, 11, 12, 13, 14, 15, 16, 17, 18, 19,\n20 }\n"},
        {1, 1000000, nullptr}};
    for (auto& c : cases) {
        std::vector<int> v((size_t)c.n), want((size_t)c.n);
        for (int k = 0; k < c.n; ++k) v[(size_t)k] = c.first + k, want[(size_t)k] = c.n - k;
        IntList l(v.data(), c.n);
        EXPECT_EQ(lengths(&l), want) << c.n;
        EXPECT_EQ(1, l.compare(v.data(), c.n)) << c.n;
        if (c.text) {
            FILE* f = tmpfile();
            l.print(f);
            rewind(f);
            std::string s;
            for (int ch; (ch = getc(f)) != EOF;) s += (char)ch;
            EXPECT_EQ(fclose(f), 0);
            EXPECT_EQ(c.text, s);
        }
        free_nodes(l.tail());
    }
}

TEST(IntListDeathTest, EmptyArrayIsFatal) {
    int v[] = {1};
    EXPECT_EXIT(IntList(v, 0), testing::ExitedWithCode(1), "IntList::IntList: empty value array\n");
}

TEST(IntList, ConcatSharesNodesAndAppendExtends) {
    int a[] = {1, 2, 3}, b[] = {4, 5}, want[] = {1, 2, 3, 4, 5, 6, 7};
    IntList* first = new IntList(a, 3);
    IntList* second = new IntList(b, 2);
    first->concat(second);
    EXPECT_EQ(lengths(first), (std::vector<int>{5, 4, 3, 2, 1}));
    EXPECT_EQ(lengths(second), (std::vector<int>{2, 1}));   // only the first list's lengths change
    append_list(first, 6);   // lengthens the shared tail's own list too
    EXPECT_EQ(6, first->length());
    EXPECT_EQ(3, second->length());
    first->concat(nullptr);   // the empty list: no change
    EXPECT_EQ(6, first->length());
    IntList* seven = new IntList(7);
    EXPECT_EQ(first, IntList::append(first, seven));
    EXPECT_EQ(1, first->compare(want, 7));
    free_nodes(first);   // holds second's and seven's nodes too
    IntList* l = nullptr;
    append_list(l, 1);   // from the empty list
    append_list(l, 2);
    EXPECT_EQ(lengths(l), (std::vector<int>{2, 1}));
    EXPECT_EQ(l, IntList::append(nullptr, l));   // onto the empty list: the other list
    free_nodes(l);
}

TEST(IntList, ExtractCompareAndIterate) {
    int v[] = {10, 20, 30}, shorter[] = {10, 20}, other[] = {10, 21, 30};
    IntList l(v, 3), same(v, 3), diff(other, 3), small(shorter, 2);
    struct { int i, result, value; } cases[] = {{0, 0, 10}, {2, 0, 30}, {3, 1, -1}, {-1, 1, -1}, {100, 1, -1}};
    for (auto& c : cases) {
        int value = -1;
        EXPECT_EQ(c.result, l.extract(c.i, &value)) << c.i;
        EXPECT_EQ(c.value, value) << c.i;
    }
    struct { int got, want; } compared[] = {
        {l.compare(shorter, 2), 0}, {l.compare(other, 3), 0}, {l == same, 1}, {l == diff, 0}, {l == small, 0}};
    for (auto& c : compared) EXPECT_EQ(c.want, c.got) << &c - compared;
    IntIterator it(&small), empty(nullptr);   // both end with zeros, repeatedly
    for (int want : {10, 20, 0, 0}) EXPECT_EQ(want, it());
    for (int want : {0, 0}) EXPECT_EQ(want, empty());
    for (IntList* x : {&l, &same, &diff, &small}) free_nodes(x->tail());
}

}  // namespace
