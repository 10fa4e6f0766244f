// Declarations of a program: each makes a symbol record, placed in the
// record index under its identifier, and (but for functions and
// assertions) a reference leaf shared by every use of the name. Literals are
// declared on first use. Equations link a right-hand side to its variable.
#include <cstdlib>
#include <new>

#include "corvel/symbols.h"
#include "quorl/ecprg.h"

IdentInfo* EcPrg::make_record(IdentMode mode, int ident, EcType* type, int clock) {
    return _records.commit(new (_records.reserve()) IdentInfo(mode, ident, type, clock));
}

// Declarations are not checked for duplicates: a name declared again gets a
// new record that replaces the old one in the index; both stay in the lists.
IdentInfo* EcPrg::new_ident(IdentMode mode, int ident, EcType* type, int clock, ExpNature leaf_kind,
                            bool as_def, bool as_ref) {
    ++_revision;
    IdentInfo* r = make_record(mode, ident, type, clock);
    Exp* leaf = make_exp(leaf_kind, ident, type, clock);
    if (as_def) r->ec_link(leaf);
    if (as_ref) r->ecref_link(leaf);
    _index.set(ident, r);
    return r;
}

void EcPrg::add_input(int ident, EcType* type, int clock) {
    IdentInfo* r = new_ident(INPUT_m, ident, type, clock, INPUT_n, true, true);
    r->set_index_in_list(_inputs.size());
    _inputs.append(_cells, ident);
}

void EcPrg::add_output(int ident, EcType* type, int clock, int at_front) {
    IdentInfo* r = new_ident(OUTPUT_m, ident, type, clock, ECREF_n, false, true);
    r->set_index_in_list(_outputs.size());
    if (at_front)
        _outputs.prepend(_cells, ident);
    else
        _outputs.append(_cells, ident);
}

void EcPrg::add_local(int ident, EcType* type, int clock) {
    IdentInfo* r = new_ident(LOCAL_m, ident, type, clock, ECREF_n, false, true);
    r->set_index_in_list(_locals.size());
    _locals.append(_cells, ident);
}

void EcPrg::add_usr_const(int ident, EcType* type, int clock) {
    IdentInfo* r = new_ident(USR_CONST_m, ident, type, clock, CONST_n, true, true);
    r->set_usr_def_index(_usr_consts.size());
    _usr_consts.append(_cells, ident);
    // A constant of an unknown type has no type list to join.
    if (type) type->add_usr_const(_cells, ident);
}

void EcPrg::add_enum_const(int ident, EcType* type, int clock, int index) {
    IdentInfo* r = new_ident(ENUM_CONST_m, ident, type, clock, CONST_n, true, true);
    r->set_index_in_list(index);
    r->set_usr_def_index(_usr_consts.size());
    if (type) type->add_enum_const(index, r);
    _usr_consts.append(_cells, ident);
}

void EcPrg::add_usr_func(int ident, EcType* inputs_type, EcType* outputs_type, IntList* inputs,
                         IntList* outputs) {
    // Only a tuple result makes a tuple function; an unknown (null) result
    // type is kept as a single-result function, so that the function is
    // still listed and printed.
    ++_revision;
    FuncMode mode = (outputs_type && outputs_type->is_tuple()) ? TUPLE_FUNC_m : FUNC_m;
    IdList& list = mode == TUPLE_FUNC_m ? _tuple_funcs : _usr_funcs;
    FuncInfo* f = _funcs.commit(
        new (_funcs.reserve()) FuncInfo(ident, mode, inputs_type, outputs_type, inputs, outputs));
    f->set_usr_def_index(list.size());
    _index.set(ident, f);
    list.append(_cells, ident);
}

void EcPrg::add_assertion(Exp* e) {
    // An assertion whose expression failed to read adds nothing: the reader
    // has recorded why, and an assertion without expression has no meaning.
    if (!e) return;
    ++_revision;
    int a = _symbols->add("__assert_%d", _assertions.size());
    IdentInfo* r = make_record(ASSERT_m, a, _bool_type, -1);
    r->set_clock(clock(e));
    r->ec_link(e);
    _index.set(a, r);
    _assertions.append(_cells, a);
}

IdentInfo* EcPrg::last_assertion() const {
    int id = 0;
    return _assertions.at(_assertions.size() - 1, &id) == 0 ? get_ident_info(id) : nullptr;
}

// ------------------------------------------------------------------ literals

// A text that does not parse as a number stands for 0; an integer too large
// for an int keeps its low 32 bits.
Exp* EcPrg::literal(int ident, IdentMode mode, EcType* type) {
    IdentInfo* known = get_ident_info(ident);
    if (known) return known->ec_ref();
    IdentInfo* r = make_record(mode, ident, type, _base_clock);
    const char* text = symbol(ident);
    char* end = nullptr;
    if (mode == INT_CONST_m) {
        long long v = strtoll(text, &end, 10);
        r->set_int_value(end == text ? 0 : (int)(unsigned)v);
    } else if (mode == REAL_CONST_m) {
        float v = strtof(text, &end);
        r->set_real_value(end == text ? 0 : v);
    }
    Exp* leaf = make_exp(CONST_n, ident, type, _base_clock);
    r->ec_link(leaf);
    r->ecref_link(leaf);
    _index.set(ident, r);
    return leaf;
}

Exp* EcPrg::get_bool_const(int ident) { return literal(ident, BOOL_CONST_m, _bool_type); }
Exp* EcPrg::get_int_const(int ident) { return literal(ident, INT_CONST_m, _int_type); }
Exp* EcPrg::get_real_const(int ident) { return literal(ident, REAL_CONST_m, _real_type); }

// ------------------------------------------------------------------ lookups

IdentInfo* EcPrg::get_ident_info(int ident) const {
    SymbolInfo* s = _index[ident];
    return s ? s->as_ident() : nullptr;
}

FuncInfo* EcPrg::get_func_info(int ident) const {
    SymbolInfo* s = _index[ident];
    return s ? s->is_function() : nullptr;
}

// ------------------------------------------------------------------ equations

void EcPrg::define_variable(int ident, Exp* e) {
    ++_revision;
    IdentInfo* info = get_ident_info(ident);
    if (info) info->ec_link(e);
}

void EcPrg::define_tuple(IntList* names, Exp* e) {
    int k = 1;
    for (IntList* l = names; l; l = l->tail(), k++) {
        define_variable(l->head(), get_exp(PROJ_n, e, k));
        IdentInfo* info = get_ident_info(l->head());
        if (info) info->tuple_link(names);
    }
}
