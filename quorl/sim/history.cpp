// The steps a run keeps.
#include "quorl/sim/history.h"

#include <algorithm>

void History::reset(std::vector<uint32_t> vars, size_t capacity) {
    _vars = std::move(vars);
    _column.clear();
    for (size_t k = 0; k < _vars.size(); ++k) {
        if (_column.size() <= _vars[k]) _column.resize(_vars[k] + 1, 0);
        _column[_vars[k]] = (int)k + 1;
    }
    _capacity = _vars.empty() ? 0 : capacity;
    _count = 0;
    _last = 0;
    _next = 0;
    _values.clear();
    _presence.clear();
}

int History::column_of(uint32_t var) const {
    return var < _column.size() ? _column[var] - 1 : -1;
}

// The rows grow with the steps, up to the capacity; then the oldest row
// is written over.
void History::record(uint64_t step, const Code& code, const Val* values, const uint8_t* nils) {
    if (_capacity == 0) return;
    size_t n = _vars.size();
    if (_next * n == _values.size() && _values.size() < _capacity * n) {
        size_t rows = std::min(_capacity, std::max<size_t>(64, 2 * (_values.size() / n)));
        _values.resize(rows * n);
        _presence.resize(rows * n);
    }
    Val* row = &_values[_next * n];
    uint8_t* presence = &_presence[_next * n];
    for (size_t k = 0; k < n; ++k) {
        const SimVar& v = code.vars[_vars[k]];
        uint32_t slot = code.slot_of(_vars[k]);
        row[k] = values[slot];
        presence[k] = !values[v.active].i ? ABSENT : (v.level && nils[slot]) ? NIL : PRESENT;
    }
    _last = step;
    _count = std::min(_count + 1, _capacity);
    _next = (_next + 1) % _capacity;
}

Presence History::at(uint64_t step, size_t column, Val* v) const {
    size_t back = (size_t)(_last - step);  // 0 for the last step
    size_t row = (_next + _capacity - 1 - back) % _capacity;
    size_t n = _vars.size();
    *v = _values[row * n + column];
    return (Presence)_presence[row * n + column];
}
