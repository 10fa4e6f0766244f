// Lists of symbol identifiers owned by a program. Their cells are IntList
// nodes made in the program's store of list cells (ListCells), which frees
// them all at once with the program: nobody deletes a cell.
#ifndef QUORL_IDLIST_H
#define QUORL_IDLIST_H

#include <vector>

#include "corvel/chunk_store.h"
#include "corvel/intlist.h"

using ListCells = ChunkStore<IntList>;

// A list of the n identifiers at ids, in array order, with exact length
// fields; null when n < 1.
IntList* make_list(ListCells& cells, const int* ids, int n);

// A list that grows at either end in constant time and is indexed in
// constant time. Appending leaves the length fields of the older cells out
// of date; list() brings them up to date in one pass before handing the
// list out.
class IdList {
public:
    void append(ListCells& cells, int id);
    void prepend(ListCells& cells, int id);
    // The list with exact length fields; null when empty.
    IntList* list() const;
    int size() const { return (int)_cells.size(); }
    // 0 and *id = the identifier at 0-based index, or 1 (id untouched) when
    // there is no such index.
    int at(int index, int* id) const;

private:
    std::vector<IntList*> _cells;  // in list order
    mutable bool _stale = false;
};

#endif
