#include "quorl/source.h"

#include <algorithm>

SourcePos SourceMap::at(unsigned pos) const {
    if (pos == 0) return SourcePos{0, 0};
    unsigned offset = pos - 1;
    auto next = std::upper_bound(_line_starts.begin(), _line_starts.end(), offset);
    unsigned start = next == _line_starts.begin() ? 0 : *(next - 1);
    return SourcePos{(int)(next - _line_starts.begin()) + 1, (int)(offset - start) + 1};
}

void SourceMap::forget_equation(int owner) {
    _notes.erase(std::remove_if(_notes.begin(), _notes.end(),
                                [owner](const ReadNote& n) { return n.owner == owner; }),
                 _notes.end());
}
