// Destruction of a program: every record, type, list and node it made is
// released exactly once, in sweeps without recursion.
#include <algorithm>

#include "corvel/intlist.h"
#include "quorl/ecprg.h"

static void delete_int_list(IntList* l)
{
    while (l) {
        IntList* n = l->tail();
        delete l;
        l = n;
    }
}

EcPrg::~EcPrg()
{
    // The variable records live in _records, which releases them all at
    // once: their slots are emptied so that the array does not delete them.
    // Function records displaced from the array by a later declaration of
    // the same name are released here; the array releases the ones in its
    // slots.
    for (size_t i = 0; i < _records.size(); ++i) {
        IdentInfo* r = _records.at(i);
        if ((*_infos)[r->symbol()] == r) (*_infos)[r->symbol()] = nullptr;
    }
    for (FuncInfo* f : _funcs)
        if ((*_infos)[f->symbol()] != f) delete f;
    _funcs.clear();
    delete _infos;
    _infos = nullptr;
    _records.clear();

    // Each tuple equation's name list is shared by its members: free once.
    std::sort(_tuple_lists.begin(), _tuple_lists.end());
    _tuple_lists.erase(std::unique(_tuple_lists.begin(), _tuple_lists.end()),
                       _tuple_lists.end());
    for (IntList* l : _tuple_lists) delete_int_list(l);
    _tuple_lists.clear();

    delete _types;   // the whole type list, iteratively
    _types = nullptr;
    _exps.clear();   // every node in one sweep
    // The identifier lists release their nodes in their own destructors.
}
