// Symbol information records and the index that finds them.
#include "quorl/syminfo.h"

#include <algorithm>

#include "corvel/intlist.h"
#include "quorl/exp.h"

SymbolInfo::~SymbolInfo() = default;

// ------------------------------------------------------------------ IdentInfo

IdentInfo::IdentInfo(IdentMode mode, int ident, EcType* type, int clock)
    : SymbolInfo(ident, true), _mode((unsigned char)mode), _clock(clock), _type(type) {}

IdentInfo::~IdentInfo() = default;

// Both links copy the declaration's type and clock into the expression.
static void take_declaration(Exp* e, EcType* type, int clock) {
    if (!e) return;
    e->set_type(type);
    e->set_clock(clock);
}

void IdentInfo::ec_link(Exp* e) {
    _def = e;
    take_declaration(e, _type, _clock);
}

void IdentInfo::ecref_link(Exp* e) {
    _ref = e;
    take_declaration(e, _type, _clock);
}

// A member of a tuple equation is defined by its projection of the tuple.
// Its place is that of its first occurrence among the names: a name written
// twice, as in (y, y) = (x, 1), is linked to its last projection but keeps
// the place 1, and so still evaluates the equation.
int IdentInfo::tuple_order() const {
    if (!_tuple || !_def || _def->nature() != PROJ_n) return 0;
    int place = 1;
    for (IntList* m = _tuple; m; m = m->tail(), ++place)
        if (m->head() == _symbol) return place;
    return _def->order();
}

Exp* IdentInfo::right_side() const {
    if (tuple_order() > 0 && _def->arity() > 0) return _def->operand(0);
    return _def;
}

// ------------------------------------------------------------------ FuncInfo

FuncInfo::FuncInfo(int ident, FuncMode mode, EcType* inputs_type, EcType* outputs_type,
                   IntList* inputs, IntList* outputs)
    : SymbolInfo(ident),
      _mode(mode),
      _usr_def_index(0),
      _inputs_type(inputs_type),
      _outputs_type(outputs_type),
      _inputs(inputs),
      _outputs(outputs) {}

// ------------------------------------------------------------------ SymbolInfoArray

void SymbolInfoArray::set(int ident, SymbolInfo* s) {
    if (ident <= 0) return;
    if ((size_t)ident >= _slots.size()) {
        size_t want = (size_t)ident + 1;
        if (want > _slots.capacity()) _slots.reserve(std::max(want, _slots.capacity() * 2));
        _slots.resize(want, Slot{nullptr, nullptr});
    }
    IdentInfo* r = s ? s->as_ident() : nullptr;
    _slots[(size_t)ident] = Slot{s, r ? r->ec_ref() : nullptr};
}
static_assert(sizeof(IdentInfo) <= 64, "a record stays within one cache line");
