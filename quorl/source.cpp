#include "quorl/source.h"

#include <algorithm>

SourcePos SourceMap::at(unsigned pos) const {
    if (pos == 0) return SourcePos{0, 0};
    unsigned offset = pos - 1;
    auto next = std::upper_bound(_line_starts.begin(), _line_starts.end(), offset);
    unsigned start = next == _line_starts.begin() ? 0 : *(next - 1);
    return SourcePos{(int)(next - _line_starts.begin()) + 1, (int)(offset - start) + 1};
}

SourcePos SourceMap::at(unsigned pos, size_t* line) const {
    if (pos == 0) return SourcePos{0, 0};
    unsigned offset = pos - 1;
    size_t n = *line;  // lines 1 .. n + 1 start at or before the last offset asked
    if (n > _line_starts.size() || (n > 0 && _line_starts[n - 1] > offset)) {
        *line = 0;
        return at(pos);
    }
    while (n < _line_starts.size() && _line_starts[n] <= offset) ++n;
    *line = n;
    unsigned start = n == 0 ? 0 : _line_starts[n - 1];
    return SourcePos{(int)n + 1, (int)(offset - start) + 1};
}

void SourceMap::forget_equation(int owner) {
    _notes.erase(std::remove_if(_notes.begin(), _notes.end(),
                                [owner](const ReadNote& n) { return n.owner == owner; }),
                 _notes.end());
}
