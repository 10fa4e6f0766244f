// Types of an ec program: bool, int, real, declared (external or enumerated)
// types and tuple types. Each type exists once per program, so types are
// compared by identity. The program owns its types.
#ifndef QUORL_ECTYPE_H
#define QUORL_ECTYPE_H

#include <vector>

#include "quorl/idlist.h"

class IdentInfo;

class EcType {
public:
    // A named type.
    explicit EcType(int name) : _name(name) {}
    // A tuple type whose member names are the given list (cells owned by the
    // program).
    explicit EcType(IntList* names) : _is_tuple(1), _names(names) {}
    EcType(const EcType&) = delete;
    EcType& operator=(const EcType&) = delete;

    int is_tuple() const { return _is_tuple; }
    int is_named() const { return !_is_tuple; }
    // Name of a named type (0 for a tuple type).
    int name() const { return _name; }
    // Member names of a tuple type (null for a named type).
    IntList* name_list() const { return _names; }
    // i-th member name of a tuple type, from 1; internal error and 0 on a
    // named type, 0 outside 1..members.
    int member(int i) const;

    // Where a declared type was read; 0 when built.
    unsigned pos() const { return _pos; }
    void set_pos(unsigned pos) { _pos = pos; }

    int extern_number() const { return _extern; }
    void set_extern(int k) { _extern = k; }

    // Enumerated types: n slots, all null at first.
    void set_enum(int n);
    int enum_count() const { return (int)_enum_consts.size(); }
    void add_enum_const(int i, IdentInfo* c);
    // Slot i; internal error and null on a non-enumerated type, null outside
    // 0..enum_count()-1.
    IdentInfo* enum_const(int i) const;

    // User constants declared with this type, in order.
    IntList* usr_consts() const { return _usr_consts.list(); }
    void add_usr_const(ListCells& cells, int name) { _usr_consts.append(cells, name); }

private:
    int _extern = 0;
    int _is_tuple = 0;
    int _name = 0;
    unsigned _pos = 0;
    IntList* _names = nullptr;
    IdList _usr_consts;
    std::vector<IdentInfo*> _enum_consts;
};

#endif
