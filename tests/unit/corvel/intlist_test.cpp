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
    while (l) {
        IntList* next = l->tail();
        delete l;
        l = next;
    }
}

std::string printed(const IntList& l) {
    FILE* f = tmpfile();
    l.print(f);
    rewind(f);
    std::string s;
    int c;
    while ((c = getc(f)) != EOF) s += (char)c;
    EXPECT_EQ(fclose(f), 0);
    return s;
}

TEST(IntList, ArrayConstructorSetsLengths) {
    int v[] = {4, 5, 6};
    IntList l(v, 3);
    EXPECT_EQ(lengths(&l), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(1, l.compare(v, 3));
    free_nodes(l.tail());
}

TEST(IntList, LongArrayBuildsIteratively) {
    std::vector<int> v(1000000);
    for (size_t k = 0; k < v.size(); ++k) v[k] = (int)k + 1;
    IntList l(v.data(), (int)v.size());
    EXPECT_EQ(1000000, l.length());
    EXPECT_EQ(1, l.compare(v.data(), (int)v.size()));
    free_nodes(l.tail());
}

TEST(IntListDeathTest, EmptyArrayIsFatal) {
    int v[] = {1};
    EXPECT_EXIT(IntList(v, 0), testing::ExitedWithCode(1), "IntList::IntList: empty value array\n");
}

TEST(IntList, ConcatSharesNodesAndUpdatesOnlyFirst) {
    int a[] = {1, 2, 3}, b[] = {4, 5};
    IntList* first = new IntList(a, 3);
    IntList* second = new IntList(b, 2);
    first->concat(second);
    EXPECT_EQ(lengths(first), (std::vector<int>{5, 4, 3, 2, 1}));
    EXPECT_EQ(lengths(second), (std::vector<int>{2, 1}));
    // A later extension lengthens the shared tail's own list too.
    append_list(first, 6);
    EXPECT_EQ(6, first->length());
    EXPECT_EQ(3, second->length());
    first->concat(nullptr);   // the empty list: no change
    EXPECT_EQ(6, first->length());
    free_nodes(first);   // holds second's nodes too
}

TEST(IntList, AppendAndAppendList) {
    IntList* other = new IntList(7);
    EXPECT_EQ(other, IntList::append(nullptr, other));
    IntList* l = nullptr;
    append_list(l, 1);
    ASSERT_NE(nullptr, l);
    EXPECT_EQ(1, l->length());
    append_list(l, 2);
    append_list(l, 3);
    EXPECT_EQ(lengths(l), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(l, IntList::append(l, other));
    int want[] = {1, 2, 3, 7};
    EXPECT_EQ(1, l->compare(want, 4));
    free_nodes(l);
}

TEST(IntList, ExtractAndCompare) {
    int v[] = {10, 20, 30};
    IntList l(v, 3);
    struct { int i, result, value; } cases[] = {
        {0, 0, 10}, {2, 0, 30}, {3, 1, -1}, {-1, 1, -1}, {100, 1, -1}};
    for (auto& c : cases) {
        int value = -1;
        EXPECT_EQ(c.result, l.extract(c.i, &value)) << c.i;
        EXPECT_EQ(c.value, value) << c.i;
    }
    int shorter[] = {10, 20}, other[] = {10, 21, 30};
    EXPECT_EQ(0, l.compare(shorter, 2));
    EXPECT_EQ(0, l.compare(other, 3));
    IntList same(v, 3), diff(other, 3), small(shorter, 2);
    EXPECT_EQ(1, l == same);
    EXPECT_EQ(0, l == diff);
    EXPECT_EQ(0, l == small);
    for (IntList* x : {&l, &same, &diff, &small}) free_nodes(x->tail());
}

TEST(IntList, IteratorEndsWithZeros) {
    int v[] = {7, 9};
    IntList l(v, 2);
    IntIterator it(&l);
    EXPECT_EQ(7, it());
    EXPECT_EQ(9, it());
    EXPECT_EQ(0, it());
    EXPECT_EQ(0, it());
    IntIterator empty(nullptr);
    EXPECT_EQ(0, empty());
    EXPECT_EQ(0, empty());
    free_nodes(l.tail());
}

TEST(IntList, PrintLayout) {
    EXPECT_EQ("{ 5 }\n", printed(IntList(5)));
    int v[12];
    for (int k = 0; k < 12; ++k) v[k] = k + 1;
    IntList twelve(v, 12);
    EXPECT_EQ("{ 1, 2, 3, 4, 5, 6, 7, 8, 9, 10,\n11, 12 }\n", printed(twelve));
    free_nodes(twelve.tail());
    int w[21];
    for (int k = 0; k < 21; ++k) w[k] = k;
    IntList twenty_one(w, 21);
    EXPECT_EQ("{ 0, 1, 2, 3, 4, 5, 6, 7, 8, 9,\n10, 11, 12, 13, 14, 15, 16, 17, 18, 19,\n20 }\n",
              printed(twenty_one));
    free_nodes(twenty_one.tail());
}

}  // namespace
