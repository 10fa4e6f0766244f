// Storage for objects made in great numbers (expression nodes, symbol
// records, interned strings): raw chunks with no allocation per object, newest
// last. Objects are released newest first by pop_back() (undo of a failed
// parse) or all at once by clear(); the store owns them and nobody else may
// delete one.
#ifndef CORVEL_CHUNK_STORE_H
#define CORVEL_CHUNK_STORE_H

#include <cstddef>
#include <vector>

#include "corvel/huge_pages.h"

template <class T>
class ChunkStore {
public:
    ChunkStore() = default;
    ~ChunkStore() { clear(); }
    ChunkStore(const ChunkStore&) = delete;
    ChunkStore& operator=(const ChunkStore&) = delete;

    // Storage for one more object; construct it with placement new, then
    // call commit(). Keeps allocation failure from leaving a half-made slot.
    void* reserve() {
        if (_next == _limit) {
            size_t k, i;
            locate(_size, &k, &i);
            while (_chunks.size() <= k) {
                size_t cap = chunk_capacity(_chunks.size());
                _chunks.reserve(_chunks.size() + 1);  // no failure after the allocation
                _chunks.push_back(static_cast<T*>(huge_page_alloc(chunk_bytes(cap))));
            }
            _next = _chunks[k] + i;
            _limit = _chunks[k] + chunk_capacity(k);
        }
        return _next;
    }
    T* commit(T* e) {
        ++_size;
        ++_next;
        return e;
    }

    size_t size() const { return _size; }
    // Object i in creation order, 0 <= i < size().
    T* at(size_t index) const {
        size_t k, i;
        locate(index, &k, &i);
        return _chunks[k] + i;
    }
    // Destroys the newest object.
    void pop_back() {
        if (_size == 0) return;
        at(_size - 1)->~T();
        --_size;
        _next = _limit = nullptr;  // reserve() finds the place again
    }
    // Destroys every object, then releases the storage.
    void clear() {
        size_t left = _size;
        for (size_t k = 0; k < _chunks.size(); k++) {
            size_t cap = chunk_capacity(k);
            size_t n = left < cap ? left : cap;
            for (size_t j = 0; j < n; j++) _chunks[k][j].~T();
            left -= n;
            huge_page_free(_chunks[k], chunk_bytes(cap));
        }
        _chunks.clear();
        _size = 0;
        _next = _limit = nullptr;
    }

private:
    static const size_t kFirstChunk = 8;
    // A full chunk is one 2 MB huge page (its tail unused when T does not
    // divide it): it is allocated as exactly that, so that it gets one.
    // (A function, not a constant, so that T may still be incomplete where
    // a store is declared.)
    static const size_t kChunkBytes = size_t(2) << 20;
    static size_t max_chunk() { return kChunkBytes / sizeof(T); }
    static size_t chunk_bytes(size_t cap) {
        return cap == max_chunk() ? kChunkBytes : cap * sizeof(T);
    }
    static size_t chunk_capacity(size_t k) {
        size_t c = kFirstChunk << (k < 16 ? k : 16);
        return c < max_chunk() ? c : max_chunk();
    }
    // Chunks double from kFirstChunk up to max_chunk(), then stay at that size.
    static void locate(size_t index, size_t* chunk, size_t* slot) {
        size_t i = index, k = 0;
        for (;;) {
            size_t cap = chunk_capacity(k);
            if (cap == max_chunk()) {
                k += i / cap;
                i %= cap;
                break;
            }
            if (i < cap) break;
            i -= cap;
            k++;
        }
        *chunk = k;
        *slot = i;
    }

    std::vector<T*> _chunks;  // raw storage, chunk k holds chunk_capacity(k)
    size_t _size = 0;
    T* _next = nullptr;   // where the next object goes, in the last chunk used
    T* _limit = nullptr;  // the end of that chunk
};

#endif
