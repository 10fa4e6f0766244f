// The steps a run keeps for its trace: for each variable recorded, its
// value and whether it was present, nil or absent, over the last N steps
// (the older ones go first).
#ifndef QUORL_SIM_HISTORY_H
#define QUORL_SIM_HISTORY_H

#include <cstdint>
#include <vector>

#include "quorl/sim/code.h"

enum Presence : uint8_t { PRESENT = 0, NIL = 1, ABSENT = 2 };

class History {
public:
    // Keeps the variables at these places of Code::vars, for `capacity' steps.
    void reset(std::vector<uint32_t> vars, size_t capacity);
    // The variables of one step, read from its frame.
    void record(uint64_t step, const Code& code, const Val* values, const uint8_t* nils);

    const std::vector<uint32_t>& vars() const { return _vars; }
    // The column of a variable (its place in Code::vars), or -1.
    int column_of(uint32_t var) const;
    size_t size() const { return _count; }
    uint64_t first() const { return _last + 1 - _count; }  // step numbers kept
    uint64_t last() const { return _last; }
    Presence at(uint64_t step, size_t column, Val* v) const;
    // Calls visit(presence, value) for the kept steps from..to of a column,
    // in order: a walk over the rows without a division per step.
    template <class Visit>
    void scan(uint64_t from, uint64_t to, size_t column, Visit&& visit) const {
        if (from > to) return;
        size_t n = _vars.size();
        size_t row = (_next + _capacity - 1 - (size_t)(_last - from)) % _capacity;
        for (uint64_t step = from; step <= to; ++step) {
            visit((Presence)_presence[row * n + column], _values[row * n + column]);
            if (++row == _capacity) row = 0;
        }
    }

private:
    std::vector<uint32_t> _vars;
    std::vector<int> _column;  // by place in Code::vars: column + 1, 0 when not kept
    size_t _capacity = 0;
    size_t _count = 0;
    uint64_t _last = 0;
    size_t _next = 0;  // row the next step goes to
    std::vector<Val> _values;
    std::vector<uint8_t> _presence;
};

#endif
