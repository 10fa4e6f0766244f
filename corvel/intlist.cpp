#include "corvel/intlist.h"

#include <cstdlib>

IntList::IntList(const int* values, int n) : _head(0), _length(0), _next(nullptr) {
    if (values == nullptr || n < 1) {
        fprintf(stderr, "IntList::IntList: empty value array\n");
        exit(1);
    }
    // Built from the end so that no call nests per element.
    IntList* rest = nullptr;
    for (int k = n - 1; k >= 1; --k) rest = new IntList(values[k], rest);
    init(values[0], rest);
}

void IntList::init(int v) {
    _head = v;
    _length = 1;
    _next = nullptr;
}

void IntList::init(int v, IntList* next) {
    _head = v;
    _next = next;
    _length = next ? next->_length + 1 : 1;
}

int IntList::extract(int i, int* value) const {
    if (i < 0) return 1;
    const IntList* l = this;
    for (; l && i > 0; --i) l = l->_next;
    if (!l) return 1;
    *value = l->_head;
    return 0;
}

void IntList::concat(IntList* other) {
    if (!other) return;
    IntList* l = this;
    for (;;) {
        l->_length += other->_length;
        if (!l->_next) break;
        l = l->_next;
    }
    l->_next = other;
}

IntList* IntList::append(IntList* list, IntList* other) {
    if (!list) return other;
    list->concat(other);
    return list;
}

int IntList::compare(const int* values, int n) const {
    if (n != _length) return 0;
    const IntList* l = this;
    for (int k = 0; k < n; ++k, l = l->_next)
        if (l->_head != values[k]) return 0;
    return 1;
}

void IntList::print() const { print(stdout); }

void IntList::print(FILE* f) const {
    fprintf(f, "{ %d", _head);
    int on_line = 1;
    for (const IntList* l = _next; l; l = l->_next) {
        if (on_line < 10) {
            fprintf(f, ", %d", l->_head);
            ++on_line;
        } else {
            fprintf(f, ",\n%d", l->_head);
            on_line = 1;
        }
    }
    fprintf(f, " }\n");
}

int operator==(const IntList& a, const IntList& b) {
    if (a.length() != b.length()) return 0;
    const IntList* x = &a;
    const IntList* y = &b;
    for (; x && y; x = x->tail(), y = y->tail())
        if (x->head() != y->head()) return 0;
    return x == nullptr && y == nullptr;
}

void append_list(IntList*& list, int v) {
    IntList* cell = new IntList(v);
    if (!list)
        list = cell;
    else
        list->concat(cell);
}

IntIterator::IntIterator(IntList* list) : _current(&_sentinel) { _sentinel.init(0, list); }

int IntIterator::operator()() {
    if (!_current) return 0;
    _current = _current->tail();
    return _current ? _current->head() : 0;
}
