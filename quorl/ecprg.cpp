// The program model: declarations, types, literals, lookups, the expression
// factory, equations, clocks and errors.
#include "quorl/ecprg.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "corvel/fract.h"
#include "corvel/intlist.h"
#include "corvel/symbols.h"

// ------------------------------------------------------------------ EcIdList

EcIdList::~EcIdList() = default;   // the store releases the nodes

IntList* EcIdList::make_node(int id, IntList* next)
{
    void* at = _store.reserve();
    return _store.commit(new (at) IntList(id, next));
}

void EcIdList::append(int id)
{
    // Should push_back fail, the node stays in the store, outside the list.
    IntList* node = make_node(id, nullptr);
    if (_nodes.empty()) {
        _nodes.push_back(node);
        return;
    }
    if (_nodes.size() >= 2) _stale = true;   // only the last two nodes are right
    _nodes.back()->concat(node);             // O(1): back() is the last node
    _nodes.push_back(node);
}

void EcIdList::prepend(int id)
{
    IntList* head = _nodes.empty() ? nullptr : _nodes.front();
    _nodes.push_front(make_node(id, head));
}

IntList* EcIdList::list() const
{
    if (_nodes.empty()) return nullptr;
    if (_stale) {
        // From the last node to the first, each length = next's length + 1.
        for (size_t k = _nodes.size(); k-- > 0;)
            _nodes[k]->init(_nodes[k]->head(), _nodes[k]->tail());
        _stale = false;
    }
    return _nodes.front();
}

int EcIdList::at(int index, int* id) const
{
    if (index < 0 || static_cast<size_t>(index) >= _nodes.size()) return 1;
    *id = _nodes[index]->head();
    return 0;
}

// ------------------------------------------------------------------ construction

EcPrg::EcPrg(SymbolTable* symbols)
    : _bool_type(nullptr), _int_type(nullptr), _real_type(nullptr), _base_clock(0),
      _true(nullptr), _false(nullptr), _bottom(nullptr), _nil(nullptr),
      _symbols(symbols), _name(0), _infos(nullptr), _nb_inputs(0), _nb_outputs(0),
      _nb_locals(0), _nb_asserts(0), _nb_types(0), _nb_usr_consts(0), _nb_u_funcs(0),
      _nb_tuple_funcs(0), _types(nullptr)
{
    _error[0] = '\0';
    _infos = new SymbolInfoArray(200, 0);
    _bool_type = define_named_type(_symbols->add("%s", "bool"));
    _int_type = define_named_type(_symbols->add("%s", "int"));
    _real_type = define_named_type(_symbols->add("%s", "real"));
    _base_clock = _symbols->add("%s", "true");
    _true = get_bool_const(_symbols->add("%s", "true"));
    _false = get_bool_const(_symbols->add("%s", "false"));
    _bottom = get_bool_const(_symbols->add("%s", "bottom"));
    _nil = get_bool_const(_symbols->add("%s", "nil"));
}

const char* EcPrg::symbol(int id) const
{
    return (*_symbols)[id];
}

// ------------------------------------------------------------------ errors

void EcPrg::error(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    if (vsnprintf(_error, sizeof _error, format, args) < 0) _error[0] = '\0';
    va_end(args);
}

void EcPrg::ierror(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fflush(stderr);
}

// ------------------------------------------------------------------ factory

template <class... A>
Exp* EcPrg::make_exp(A... args)
{
    void* place = _exps.reserve();
    return _exps.commit(new (place) Exp(args...));
}

Exp* EcPrg::get_exp(ExpNature n, Exp* a)
{
    if (!a) return nullptr;
    return make_exp(n, a);
}

Exp* EcPrg::get_exp(ExpNature n, Exp* a, Exp* b)
{
    if (!a || !b) return nullptr;
    return make_exp(n, a, b);
}

Exp* EcPrg::get_exp(ExpNature n, Exp* a, Exp* b, Exp* c)
{
    if (!a || !b || !c) return nullptr;
    return make_exp(n, a, b, c);
}

Exp* EcPrg::get_exp(ExpNature n, ExpList* l)
{
    // A missing list is a failed operand list.
    if (!l) return nullptr;
    int count = 0;
    for (ExpList* c = l; c && count < l->length(); c = c->tail(), count++)
        if (!c->head()) return nullptr;
    return make_exp(n, l);
}

Exp* EcPrg::get_exp(ExpNature n, Exp* a, int k)
{
    if (!a) return nullptr;
    return make_exp(n, a, k);
}

Exp* EcPrg::get_exp(ExpNature n, int count, Exp** ops, int* coefs, int constant)
{
    if (count < 0 || (count > 0 && (!ops || !coefs))) return nullptr;
    for (int i = 0; i < count; i++)
        if (!ops[i]) return nullptr;
    return make_exp(n, count, ops, coefs, constant);
}

Exp* EcPrg::get_exp(ExpNature n, int count, Exp** ops, Fract* coefs, const Fract& constant)
{
    if (count < 0 || (count > 0 && (!ops || !coefs))) return nullptr;
    for (int i = 0; i < count; i++)
        if (!ops[i]) return nullptr;
    return make_exp(n, count, ops, coefs, Fract(constant));
}

EcPrgMark EcPrg::mark() const
{
    return EcPrgMark{_exps.size(), _records.size()};
}

void EcPrg::rollback(const EcPrgMark& m)
{
    while (_exps.size() > m.exps) _exps.pop_back();
    while (_records.size() > m.infos) {
        IdentInfo* r = _records.at(_records.size() - 1);
        set_info(r->symbol(), nullptr);
        _records.pop_back();   // r, the newest record
    }
}

// ------------------------------------------------------------------ declarations

IdentInfo* EcPrg::make_record(IdentMode mode, int ident, EcType* type, int clock)
{
    return _records.commit(new (_records.reserve()) IdentInfo(mode, ident, type, clock));
}

IdentInfo* EcPrg::new_ident(IdentMode mode, int ident, EcType* type, int clock,
                            ExpNature leaf_kind, bool as_def, bool as_ref)
{
    IdentInfo* r = make_record(mode, ident, type, clock);
    Exp* leaf = make_exp(leaf_kind, ident, type, clock);
    if (as_def) r->ec_link(leaf);
    if (as_ref) r->ecref_link(leaf);
    set_info(ident, r);
    return r;
}

void EcPrg::add_input(int ident, EcType* type, int clock)
{
    IdentInfo* r = new_ident(INPUT_m, ident, type, clock, INPUT_n, true, true);
    r->set_index_in_list(_nb_inputs);
    _inputs.append(ident);
    _nb_inputs++;
}

void EcPrg::add_output(int ident, EcType* type, int clock, int at_front)
{
    IdentInfo* r = new_ident(OUTPUT_m, ident, type, clock, ECREF_n, false, true);
    r->set_index_in_list(_nb_outputs);
    if (at_front)
        _outputs.prepend(ident);
    else
        _outputs.append(ident);
    _nb_outputs++;
}

void EcPrg::add_local(int ident, EcType* type, int clock)
{
    IdentInfo* r = new_ident(LOCAL_m, ident, type, clock, ECREF_n, false, true);
    r->set_index_in_list(_nb_locals);
    _locals.append(ident);
    _nb_locals++;
}

void EcPrg::add_usr_const(int ident, EcType* type, int clock)
{
    IdentInfo* r = new_ident(USR_CONST_m, ident, type, clock, CONST_n, true, true);
    r->set_usr_def_index(_nb_usr_consts);
    _usr_consts.append(ident);
    _nb_usr_consts++;
    // A constant of an unknown type has no type list to join.
    if (type) type->add_usr_const(ident);
}

void EcPrg::add_enum_const(int ident, EcType* type, int clock, int index)
{
    IdentInfo* r = new_ident(ENUM_CONST_m, ident, type, clock, CONST_n, true, true);
    r->set_index_in_list(index);
    r->set_usr_def_index(_nb_usr_consts);
    if (type) type->add_enum_const(index, r);
    _usr_consts.append(ident);
    _nb_usr_consts++;
}

void EcPrg::add_usr_func(int ident, EcType* inputs_type, EcType* outputs_type,
                         IntList* inputs, IntList* outputs)
{
    // Only a tuple result makes a tuple function; an unknown (null) result
    // type is kept as a single-result function, so that the function is
    // still listed and printed.
    FuncMode mode = (outputs_type && outputs_type->is_tuple()) ? TUPLE_FUNC_m : FUNC_m;
    FuncInfo* f = new FuncInfo(ident, mode, inputs_type, outputs_type, inputs, outputs);
    _funcs.push_back(f);
    set_info(ident, f);
    if (mode == TUPLE_FUNC_m) {
        f->set_usr_def_index(_tuple_funcs.size());
        _tuple_funcs.append(ident);
        _nb_tuple_funcs++;
    } else {
        f->set_usr_def_index(_usr_funcs.size());
        _usr_funcs.append(ident);
        _nb_u_funcs++;
    }
}

void EcPrg::add_assertion(Exp* e)
{
    // An assertion whose expression failed to read adds nothing: the reader
    // has recorded why, and an assertion without expression has no meaning.
    if (!e) return;
    int n = _assertions.size();
    int a = _symbols->add("__assert_%d", n);
    IdentInfo* r = make_record(ASSERT_m, a, _bool_type, -1);
    r->set_clock(clock(e));
    r->ec_link(e);
    set_info(a, r);
    _assertions.append(a);
    _nb_asserts++;
}

// ------------------------------------------------------------------ types

EcType* EcPrg::define_named_type(int name)
{
    // Named types are also indexed by name, so lookups do not walk the type
    // list (which grows with every tuple type).
    if (_named_types.count(name)) {
        error("type '%s' already declared", symbol(name));
        return nullptr;
    }
    _types = new EcType(name, _types);
    _named_types[name] = _types;
    return _types;
}

EcType* EcPrg::get_named_type(int name)
{
    auto it = _named_types.find(name);
    if (it != _named_types.end()) return it->second;
    error("EcPrg: type '%s' undeclared", symbol(name));
    return nullptr;
}

EcType* EcPrg::define_type(IntList* names)
{
    if (!names) {
        ierror("EcPrg::define_type called with an empty list\n");
        return nullptr;
    }
    if (!names->tail()) return get_named_type(names->head());
    for (EcType* t = _types; t; t = t->next())
        if (t->is_tuple() && t->name_list() && *t->name_list() == *names) return t;
    _types = new EcType(names, _types);
    return _types;
}

EcType* EcPrg::define_type(const int* names, int n)
{
    if (!names || n < 1) {
        ierror("EcPrg::define_type called with an empty list\n");
        return nullptr;
    }
    if (n == 1) return get_named_type(names[0]);
    for (EcType* t = _types; t; t = t->next())
        if (t->is_tuple() && t->name_list() && t->name_list()->compare(names, n)) return t;
    _types = new EcType(names, n, _types);
    return _types;
}

void EcPrg::add_usr_type(int name)
{
    EcType* t = define_named_type(name);
    if (!t) return;
    _decl_types.append(name);
    _nb_types++;
    t->set_extern(_nb_types);
}

void EcPrg::add_usr_type(int name, IntList* constants)
{
    EcType* t = define_named_type(name);
    if (!t) return;
    _decl_types.append(name);
    _nb_types++;
    t->set_extern(_nb_types);
    int n = 0;
    for (IntList* l = constants; l; l = l->tail()) n++;
    t->set_enum(n);
    // The first constant of the list gets index n - 1, the last 0.
    int index = n - 1;
    for (IntList* l = constants; l; l = l->tail(), index--)
        add_enum_const(l->head(), t, _base_clock, index);
}

// ------------------------------------------------------------------ literals

Exp* EcPrg::literal(int ident, IdentMode mode, EcType* type)
{
    IdentInfo* known = get_ident_info(ident);
    if (known) return known->ec_ref();
    IdentInfo* r = make_record(mode, ident, type, _base_clock);
    // A text that does not parse as a number stands for 0; an integer too
    // large for an int keeps its low 32 bits.
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
    set_info(ident, r);
    return leaf;
}

Exp* EcPrg::get_bool_const(int ident)
{
    return literal(ident, BOOL_CONST_m, _bool_type);
}

Exp* EcPrg::get_int_const(int ident)
{
    return literal(ident, INT_CONST_m, _int_type);
}

Exp* EcPrg::get_real_const(int ident)
{
    return literal(ident, REAL_CONST_m, _real_type);
}

// ------------------------------------------------------------------ lookups

void EcPrg::set_info(int ident, SymbolInfo* s)
{
    if (ident < 0) {   // the array reports it; nothing to mirror
        (*_infos)[ident] = s;
        return;
    }
    // Room in the flat copy first: a failure leaves both unchanged.
    if ((size_t)ident >= _info_flat.size()) {
        size_t want = (size_t)ident + 1;
        if (want > _info_flat.capacity()) _info_flat.reserve(std::max(want, _info_flat.capacity() * 2));
        _info_flat.resize(want, InfoSlot{nullptr, nullptr});
    }
    (*_infos)[ident] = s;
    IdentInfo* r = s ? s->is_ident() : nullptr;
    _info_flat[(size_t)ident] = InfoSlot{s, r ? r->ec_ref() : nullptr};
}

IdentInfo* EcPrg::get_ident_info(int ident)
{
    SymbolInfo* s = info_of(ident);
    return s ? s->is_ident() : nullptr;
}

FuncInfo* EcPrg::get_func_info(int ident)
{
    SymbolInfo* s = info_of(ident);
    return s ? s->is_function() : nullptr;
}

EcType* EcPrg::type(int ident)
{
    IdentInfo* info = get_ident_info(ident);
    if (!info) {
        // Callers ask only for declared names; anything else is a bug of
        // theirs, reported and answered with no type.
        ierror("EcPrg::type(int) called on identifier %d, which has no declaration\n", ident);
        return nullptr;
    }
    return info->type();
}

// ------------------------------------------------------------------ equations

void EcPrg::define_variable(int ident, Exp* e)
{
    IdentInfo* info = get_ident_info(ident);
    if (info) info->ec_link(e);
}

void EcPrg::define_tuple(IntList* names, Exp* e)
{
    if (!names) return;
    if (_tuple_lists.empty() || _tuple_lists.back() != names) _tuple_lists.push_back(names);
    int k = 1;
    for (IntList* l = names; l; l = l->tail(), k++)
        define_member_variable(names, l->head(), get_exp(PROJ_n, e, k));
}

void EcPrg::define_member_variable(IntList* names, int ident, Exp* e)
{
    define_variable(ident, e);
    IdentInfo* info = get_ident_info(ident);
    if (info) info->tuple_link(names);
}

// ------------------------------------------------------------------ clocks

int EcPrg::clock(Exp* e)
{
    if (!e) return -1;
    // Follow the first operands down to the node that decides the clock,
    // then store the answer into every node passed on the way.
    std::vector<Exp*> path;
    Exp* n = e;
    int result;
    for (;;) {
        if (n->clock() != -1) {
            result = n->clock();
            break;
        }
        if (n->nature() == CURRENT_n) {
            ierror("EcPrg::clock 'CURRENT_n' is not implemented");
            result = -1;
            break;
        }
        if (n->nature() == WHEN_n && n->arity() >= 2) {
            result = n->operand(1)->ident();
            if (result == 0) ierror("The clock operand of 'when' operator must be named");
            n->set_clock(result);
            break;
        }
        if (n->arity() >= 1) {
            path.push_back(n);
            n = n->operand(0);
            continue;
        }
        ierror("EcPrg::clock '%s' is not implemented", nodekey(n->nature()));
        result = -1;
        break;
    }
    for (size_t k = path.size(); k-- > 0;) path[k]->set_clock(result);
    return result;
}
