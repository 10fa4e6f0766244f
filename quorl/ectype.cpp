// Types of a program.
#include "quorl/ectype.h"

#include <vector>

#include "corvel/intlist.h"
#include "quorl/ecprg.h"

EcType::EcType(int name, EcType* next)
    : _extern(0), _usr_consts(nullptr), _usr_consts_tail(nullptr),
      _usr_consts_count(0), _usr_consts_stale(false), _enum_count(0),
      _enum_consts(nullptr), _is_tuple(0), _next(next)
{
    _u.name = name;
}

EcType::EcType(IntList* names, EcType* next)
    : _extern(0), _usr_consts(nullptr), _usr_consts_tail(nullptr),
      _usr_consts_count(0), _usr_consts_stale(false), _enum_count(0),
      _enum_consts(nullptr), _is_tuple(1), _next(next)
{
    _u.names = names;
}

EcType::EcType(const int* names, int n, EcType* next)
    : _extern(0), _usr_consts(nullptr), _usr_consts_tail(nullptr),
      _usr_consts_count(0), _usr_consts_stale(false), _enum_count(0),
      _enum_consts(nullptr), _is_tuple(1), _next(next)
{
    _u.names = n > 0 ? new IntList(names, n) : nullptr;
}

static void delete_int_list(IntList* l)
{
    while (l) {
        IntList* n = l->tail();
        delete l;
        l = n;
    }
}

EcType::~EcType()
{
    delete_int_list(_usr_consts);
    delete[] _enum_consts;
    if (_is_tuple) delete_int_list(_u.names);
    // The rest of the type list, iteratively: each type is detached from its
    // successor before it is deleted.
    EcType* rest = _next;
    _next = nullptr;
    while (rest) {
        EcType* n = rest->_next;
        rest->_next = nullptr;
        delete rest;
        rest = n;
    }
}

int EcType::member(int i) const
{
    if (!_is_tuple) {
        EcPrg::ierror("EcType::member() called on non tuple type\n");
        return 0;
    }
    int v = 0;
    if (i < 1 || !_u.names || _u.names->extract(i - 1, &v) != 0) return 0;
    return v;
}

void EcType::set_enum(int n)
{
    delete[] _enum_consts;
    _enum_consts = nullptr;
    _enum_count = n > 0 ? n : 0;
    if (_enum_count > 0) {
        _enum_consts = new IdentInfo*[_enum_count];
        for (int i = 0; i < _enum_count; i++) _enum_consts[i] = nullptr;
    }
}

void EcType::add_enum_const(int i, IdentInfo* c)
{
    if (i >= 0 && i < _enum_count) _enum_consts[i] = c;
}

IdentInfo* EcType::enum_const(int i) const
{
    if (_enum_count == 0) {
        EcPrg::ierror("EcType::enum_const(int) called on non enumerate type");
        return nullptr;
    }
    if (i < 0 || i >= _enum_count) return nullptr;
    return _enum_consts[i];
}

void EcType::add_usr_const(int name)
{
    IntList* node = new IntList(name);
    if (!_usr_consts) {
        _usr_consts = node;
    } else {
        _usr_consts_tail->concat(node);   // O(1): the tail is the last node
        _usr_consts_stale = true;
    }
    _usr_consts_tail = node;
    _usr_consts_count++;
}

IntList* EcType::usr_consts() const
{
    if (_usr_consts_stale) {
        // Re-initialise the nodes from the last to the first so that each
        // length field counts the nodes from it to the end.
        std::vector<IntList*> nodes;
        nodes.reserve(_usr_consts_count);
        for (IntList* l = _usr_consts; l; l = l->tail()) nodes.push_back(l);
        for (size_t k = nodes.size(); k-- > 0;)
            nodes[k]->init(nodes[k]->head(), nodes[k]->tail());
        _usr_consts_stale = false;
    }
    return _usr_consts;
}
