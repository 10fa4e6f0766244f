#include "quorl/idlist.h"

#include <new>

static IntList* new_cell(ListCells& cells, int id, IntList* next) {
    return cells.commit(new (cells.reserve()) IntList(id, next));
}

IntList* make_list(ListCells& cells, const int* ids, int n) {
    IntList* list = nullptr;
    for (int k = n - 1; k >= 0; --k) list = new_cell(cells, ids[k], list);
    return list;
}

void IdList::append(ListCells& cells, int id) {
    // Room first: a failed allocation leaves the list as it was.
    if (_cells.size() == _cells.capacity()) _cells.reserve(_cells.size() * 2 + 8);
    IntList* cell = new_cell(cells, id, nullptr);
    if (!_cells.empty()) {
        _cells.back()->concat(cell);  // constant time: back() is the last cell
        _stale = _stale || _cells.size() >= 2;
    }
    _cells.push_back(cell);
}

void IdList::prepend(ListCells& cells, int id) {
    IntList* head = _cells.empty() ? nullptr : list();
    _cells.insert(_cells.begin(), new_cell(cells, id, head));
}

IntList* IdList::list() const {
    if (_cells.empty()) return nullptr;
    if (_stale) {
        for (size_t k = _cells.size(); k-- > 0;)
            _cells[k]->init(_cells[k]->head(), _cells[k]->tail());
        _stale = false;
    }
    return _cells.front();
}

int IdList::at(int index, int* id) const {
    if (index < 0 || (size_t)index >= _cells.size()) return 1;
    *id = _cells[(size_t)index]->head();
    return 0;
}
