// Types of a program: one EcType per named type and per sequence of member
// names, so that types compare by identity.
#include <new>

#include "corvel/errors.h"
#include "quorl/ecprg.h"

EcType* EcPrg::define_named_type(int name) {
    if (_named_types.count(name)) {
        error("type '%s' already declared", symbol(name));
        set_error_code({"EXISTS", symbol(name)});
        return nullptr;
    }
    EcType* t = _types.commit(new (_types.reserve()) EcType(name));
    _named_types[name] = t;
    return t;
}

EcType* EcPrg::get_named_type(int name) {
    EcType* t = find_named_type(name);
    if (!t) {
        error("EcPrg: type '%s' undeclared", symbol(name));
        set_error_code({"UNDECLARED", symbol(name)});
    }
    return t;
}

// Member names are not looked up: a tuple of undeclared names is a type too.
EcType* EcPrg::define_type(const int* names, int n) {
    if (!names || n < 1) {
        ierror("EcPrg::define_type called with an empty list\n");
        return nullptr;
    }
    if (n == 1) return get_named_type(names[0]);
    for (EcType* t : _tuple_types)
        if (t->name_list()->compare(names, n)) return t;
    EcType* t = _types.commit(new (_types.reserve()) EcType(new_list(names, n)));
    _tuple_types.push_back(t);
    return t;
}

// A declared type is numbered from 1 in order of declaration.
EcType* EcPrg::declare_type(int name) {
    ++_revision;
    EcType* t = define_named_type(name);
    if (!t) return nullptr;
    _declared_types.append(_cells, name);
    t->set_extern(_declared_types.size());
    return t;
}

void EcPrg::add_usr_type(int name) { declare_type(name); }

// The first constant gets index n - 1, the last 0: the type's constant
// array holds them in reverse order.
void EcPrg::add_usr_type(int name, const int* constants, int n) {
    EcType* t = declare_type(name);
    if (!t) return;
    t->set_enum(n);
    for (int k = 0; k < n; ++k) add_enum_const(constants[k], t, _base_clock, n - 1 - k);
}
