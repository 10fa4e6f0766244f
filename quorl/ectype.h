// Types of an ec program: bool, int, real, declared (external or enumerated)
// types and tuple types. Each type exists once per program, so types are
// compared by identity.
#ifndef QUORL_ECTYPE_H
#define QUORL_ECTYPE_H

class IntList;
class IdentInfo;

class EcType {
public:
    // A named type.
    EcType(int name, EcType* next);
    // A tuple type that keeps the given list as its member names.
    EcType(IntList* names, EcType* next);
    // A tuple type with a new list of the n names, in array order.
    EcType(const int* names, int n, EcType* next);
    // Releases the user-constant list, the constant array (not the
    // constants), the member-name list of a tuple type, then the rest of the
    // type list (iteratively).
    ~EcType();
    EcType(const EcType&) = delete;
    EcType& operator=(const EcType&) = delete;

    int is_tuple() const { return _is_tuple; }
    int is_named() const { return !_is_tuple; }
    // Name of a named type (0 for a tuple type).
    int name() const { return _is_tuple ? 0 : _u.name; }
    // Member names of a tuple type (null for a named type).
    IntList* name_list() const { return _is_tuple ? _u.names : nullptr; }
    EcType* next() const { return _next; }
    // i-th member name of a tuple type, from 1; internal error and 0 on a
    // named type or outside 1..members.
    int member(int i) const;

    int extern_number() const { return _extern; }
    void set_extern(int k) { _extern = k; }

    // Enumerated types: n slots, all null at first.
    void set_enum(int n);
    int enum_count() const { return _enum_count; }
    void add_enum_const(int i, IdentInfo* c);
    // Slot i; internal error and null on a non-enumerated type or outside
    // 0..enum_count()-1.
    IdentInfo* enum_const(int i) const;

    // User constants declared with this type, in order (owned). Appends are
    // O(1); the length fields are brought up to date when the list is asked.
    IntList* usr_consts() const;
    void add_usr_const(int name);

private:
    int _extern;
    mutable IntList* _usr_consts;
    IntList* _usr_consts_tail;
    int _usr_consts_count;
    mutable bool _usr_consts_stale;
    int _enum_count;
    IdentInfo** _enum_consts;
    int _is_tuple;
    union {
        int name;
        IntList* names;
    } _u{};  // zeroed first; each constructor then sets the member _is_tuple selects
    EcType* _next;
};

#endif
