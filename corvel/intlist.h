// Singly linked lists of int in which every node knows the length of the list
// that starts at it. The null pointer is the empty list. Nodes are shared by
// concatenation and never freed by the operations below.
#ifndef CORVEL_INTLIST_H
#define CORVEL_INTLIST_H

#include <cstdio>

class IntList {
public:
    // A zero node of length 0; only the iterator's sentinel uses it.
    IntList() : _head(0), _length(0), _next(nullptr) {}
    explicit IntList(int v) : _head(v), _length(1), _next(nullptr) {}
    IntList(int v, IntList* next) : _head(v), _length(next ? next->_length + 1 : 1), _next(next) {}
    // values[0..n-1] in array order; this object holds values[0], the other
    // nodes are allocated. n < 1 is a caller error and ends the process.
    IntList(const int* values, int n);

    void init(int v);
    void init(int v, IntList* next);

    int head() const { return _head; }
    IntList* tail() const { return _next; }
    int length() const { return _length; }

    // 0-based: stores the head of node i in *value and returns 0; returns 1
    // (value untouched) when there is no node i.
    int extract(int i, int* value) const;

    // Links other behind the last node; every node of this list gains
    // other's length. A null other is the empty list: nothing changes.
    void concat(IntList* other);

    // list may be empty (null): the result is then other; otherwise
    // list->concat(other) and the result is list.
    static IntList* append(IntList* list, IntList* other);

    // 1 when the list has exactly n nodes holding values[0..n-1].
    int compare(const int* values, int n) const;

    // "{ v1, v2, ... }\n", at most 10 values a line.
    void print() const;
    void print(FILE* f) const;

private:
    int _head;
    int _length;
    IntList* _next;
};

// 1 when a and b have the same length and the same values in order.
int operator==(const IntList& a, const IntList& b);

// Appends a new one-node list holding v; an empty list becomes that node.
void append_list(IntList*& list, int v);

// Walks a list: each call returns the next head, then 0 for ever.
class IntIterator {
public:
    explicit IntIterator(IntList* list);
    int operator()();

private:
    IntList* _current;
    IntList _sentinel;
};

#endif
