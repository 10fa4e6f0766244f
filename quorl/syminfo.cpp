// Symbol information records and the array that holds them.
#include "quorl/syminfo.h"

#include "corvel/intlist.h"
#include "quorl/ecprg.h"

SymbolInfo::~SymbolInfo() = default;

// ------------------------------------------------------------------ IdentInfo

IdentInfo::IdentInfo(IdentMode mode, int ident, EcType* type, int clock)
    : SymbolInfo(ident), _ident(ident), _clock(clock), _mode(mode), _type(type), _tuple(nullptr),
      _def(nullptr), _ref(nullptr), _value{0}, _index(-1)
{
    Init();   // the same values: the documented reset
}

IdentInfo::~IdentInfo() = default;

void IdentInfo::Init()
{
    _tuple = nullptr;
    _value.i = 0;
    _def = nullptr;
    _ref = nullptr;
    _index = -1;
}

void IdentInfo::ec_link(Exp* e)
{
    _def = e;
    if (e) {
        e->set_type(_type);
        e->set_clock(_clock);
    }
}

void IdentInfo::ecref_link(Exp* e)
{
    _ref = e;
    if (e) {
        e->set_type(_type);
        e->set_clock(_clock);
    }
}

// ------------------------------------------------------------------ FuncInfo

FuncInfo::FuncInfo(int ident, FuncMode mode, EcType* inputs_type,
                   EcType* outputs_type, IntList* inputs, IntList* outputs)
    : SymbolInfo(ident), _mode(mode), _usr_def_index(0), _inputs_type(inputs_type),
      _outputs_type(outputs_type), _inputs(inputs), _outputs(outputs) {}

static void delete_int_list(IntList* l)
{
    while (l) {
        IntList* n = l->tail();
        delete l;
        l = n;
    }
}

FuncInfo::~FuncInfo()
{
    delete_int_list(_inputs);
    if (_outputs != _inputs) delete_int_list(_outputs);
}

// ------------------------------------------------------------------ SymbolInfoArray

SymbolInfoArray::SymbolInfoArray(int capacity, int base)
    : _slots(nullptr), _capacity(capacity > 0 ? capacity : 1), _next(nullptr),
      _highest(-1), _base(base)
{
    _slots = new SymbolInfo*[_capacity];
    for (int i = 0; i < _capacity; i++) _slots[i] = nullptr;
}

SymbolInfoArray::~SymbolInfoArray()
{
    for (int i = 0; i < _capacity; i++) delete _slots[i];
    delete[] _slots;
    // The chunks after this one, one at a time: each is detached from its
    // successor before it is deleted, so no destructor recurses.
    SymbolInfoArray* rest = _next;
    _next = nullptr;
    while (rest) {
        SymbolInfoArray* n = rest->_next;
        rest->_next = nullptr;
        delete rest;
        rest = n;
    }
}

SymbolInfoArray* SymbolInfoArray::chunk_for(int k)
{
    // A chunk constructed directly keeps the directory; a chunk reached
    // through next() walks (only the program's head chunk is ever indexed
    // beyond its capacity).
    if (_dir.empty()) _dir.push_back(this);
    while (static_cast<int>(_dir.size()) <= k) {
        SymbolInfoArray* last = _dir.back();
        if (!last->_next) {
            last->_highest = last->_capacity - 1;
            last->_next = new SymbolInfoArray(last->_capacity, last->_base + last->_capacity);
        }
        _dir.push_back(last->_next);
    }
    return _dir[k];
}

SymbolInfo*& SymbolInfoArray::operator[](int i)
{
    if (i < 0) i = 0;   // outside the domain; keep memory safe
    if (i < _capacity) {
        if (i > _highest) _highest = i;
        return _slots[i];
    }
    SymbolInfoArray* c = chunk_for(i / _capacity);
    int j = i % _capacity;
    if (j > c->_highest) c->_highest = j;
    return c->_slots[j];
}

int SymbolInfoArray::size() const
{
    // Every chunk followed by another has been used to its end, so the size
    // is the capacities before the last chunk plus that chunk's use.
    const SymbolInfoArray* last = _dir.empty() ? this : _dir.back();
    while (last->_next) last = last->_next;
    if (last == this) return _highest + 1;
    return (last->_base - _base) + last->_highest + 1;
}

// ------------------------------------------------------------------ SymbolInfoHeap

SymbolInfoHeap::~SymbolInfoHeap()
{
    delete _info;
    SymbolInfoHeap* rest = _next;
    _next = nullptr;
    while (rest) {
        SymbolInfoHeap* n = rest->_next;
        rest->_next = nullptr;
        delete rest;
        rest = n;
    }
}
