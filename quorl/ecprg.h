// One ec program: a flattened Lustre node with its declarations, equations,
// assertions and types. The program owns every expression node, type and
// symbol record it makes; it does not own its symbol table.
#ifndef QUORL_ECPRG_H
#define QUORL_ECPRG_H

#include <cstddef>
#include <deque>
#include <unordered_map>
#include <vector>

#include "corvel/huge_pages.h"
#include "quorl/ectype.h"
#include "quorl/exp.h"
#include "quorl/syminfo.h"

class IntList;
class PtyStream;
class SymbolTable;

// A list of symbol identifiers owned by the program, handed out as an
// IntList. Appending is O(1) (tail pointer); the length fields of the IntList
// nodes are brought up to date in one pass when the list is asked for after
// appends. Indexed reads are O(1).
class EcIdList {
public:
    EcIdList() = default;
    ~EcIdList();   // deletes the nodes
    EcIdList(const EcIdList&) = delete;
    EcIdList& operator=(const EcIdList&) = delete;

    void append(int id);
    void prepend(int id);
    // The IntList with exact length fields; null when empty.
    IntList* list() const;
    int size() const { return static_cast<int>(_nodes.size()); }
    // 0 and *id = element index, or 1 (id untouched) when out of range.
    int at(int index, int* id) const;

private:
    std::deque<IntList*> _nodes;   // the nodes in list order
    ChunkStore<IntList> _store;    // their storage (no allocation per node)
    mutable bool _stale = false;   // some length fields are out of date
    IntList* make_node(int id, IntList* next);
};

// Property key of the guarded printing (Exp::Iprint) under way; set by
// EcPrg::print_exp from take_a_key().
extern int Iprint_current_mark;

// A cheap position in the expression heap and the created-records list;
// see EcPrg::mark() and EcPrg::rollback().
struct EcPrgMark {
    size_t exps;
    size_t infos;
};

class EcPrg {
public:
    explicit EcPrg(SymbolTable* symbols);
    ~EcPrg();   // ecprg-del.cpp
    EcPrg(const EcPrg&) = delete;
    EcPrg& operator=(const EcPrg&) = delete;

    // ---- identity
    void def_name(int name) { _name = name; }
    int name() const { return _name; }
    SymbolTable* symbols() const { return _symbols; }
    const char* symbol(int id) const;

    // ---- declarations (a null type is accepted)
    void add_input(int ident, EcType* type, int clock);
    void add_output(int ident, EcType* type, int clock, int at_front);
    void add_local(int ident, EcType* type, int clock);
    void add_usr_const(int ident, EcType* type, int clock);
    void add_enum_const(int ident, EcType* type, int clock, int index);
    // Keeps the two parameter lists (either may be null). A null outputs
    // type is treated as a single-result function (FUNC_m).
    void add_usr_func(int ident, EcType* inputs_type, EcType* outputs_type,
                      IntList* inputs, IntList* outputs);
    // A null e (an assertion that failed to read) adds nothing.
    void add_assertion(Exp* e);

    // ---- types
    EcType* define_named_type(int name);
    EcType* get_named_type(int name);
    // The type denoted by a list of type names. A new tuple type keeps the
    // list itself (then result->name_list() == names); otherwise the list
    // stays the caller's. Null (internal error) for an empty list.
    EcType* define_type(IntList* names);
    EcType* define_type(const int* names, int n);
    void add_usr_type(int name);
    void add_usr_type(int name, IntList* constants);   // constants only read
    EcType* bool_type() const { return _bool_type; }
    EcType* int_type() const { return _int_type; }
    EcType* real_type() const { return _real_type; }
    EcType* types() const { return _types; }

    // ---- literals (interned by their text)
    Exp* get_bool_const(int ident);
    Exp* get_int_const(int ident);
    Exp* get_real_const(int ident);
    Exp* true_exp() const { return _true; }
    Exp* false_exp() const { return _false; }
    Exp* bottom_exp() const { return _bottom; }
    Exp* nil_exp() const { return _nil; }

    // ---- lookups
    IdentInfo* get_ident_info(int ident);
    // The reference leaf of a variable, constant or literal (what
    // get_ident_info(ident)->ec_ref() gives), or null for any other name.
    Exp* reference(int ident) const {
        const InfoSlot* slot = slot_of(ident);
        return slot ? slot->ref : nullptr;
    }
    FuncInfo* get_func_info(int ident);
    // Declared type of an identifier; null (with an internal error) when the
    // identifier has no IdentInfo.
    EcType* type(int ident);
    // Type checking of an expression (ecprg-exp.cpp).
    EcType* type(Exp* root);
    int base_clock() const { return _base_clock; }

    // ---- expression factory: null when an operand is null
    Exp* get_exp(ExpNature n, Exp* a);
    Exp* get_exp(ExpNature n, Exp* a, Exp* b);
    Exp* get_exp(ExpNature n, Exp* a, Exp* b, Exp* c);
    Exp* get_exp(ExpNature n, ExpList* l);
    Exp* get_exp(ExpNature n, Exp* a, int k);
    // Linear combinations (not built by the reader): count operands with
    // their coefficients (copied) and a constant; null when an operand is
    // null or count < 0.
    Exp* get_exp(ExpNature n, int count, Exp** ops, int* coefs, int constant);
    Exp* get_exp(ExpNature n, int count, Exp** ops, Fract* coefs, const Fract& constant);
    // Number of nodes in the expression heap.
    size_t nb_exps() const { return _exps.size(); }
    // Node i of the heap in creation order.
    Exp* exp_at(size_t i) const { return _exps.at(i); }

    // ---- expression parsing (ecprg-parse.cpp): typed root or null
    Exp* exp_parse(const char* text);

    // Undo support for exp_parse: mark() remembers the heads of the
    // expression heap and of the created-records list; rollback(m) releases
    // everything made since m: first the expression nodes, newest first;
    // then each created IdentInfo, newest first, after clearing the
    // symbol-info slot of its symbol. Records displaced by a later
    // declaration are not involved (declarations do not happen in a parse).
    EcPrgMark mark() const;
    void rollback(const EcPrgMark& m);
    // Number of IdentInfo records created so far.
    size_t nb_created_infos() const { return _records.size(); }

    // ---- equations
    // Links e as ident's definition (type and clock copied into e). Nothing
    // happens when ident has no IdentInfo; a null e makes the definition null.
    void define_variable(int ident, Exp* e);
    // One PROJ_n over e per name (orders from 1). The program keeps names.
    void define_tuple(IntList* names, Exp* e);
    void define_member_variable(IntList* names, int ident, Exp* e);

    // ---- clocks
    // Clock of e, memoised into e; -1 when unknown (after an internal
    // error). Iterative: no recursion per level.
    int clock(Exp* e);

    // ---- profile
    int nb_inputs() const { return _nb_inputs; }
    int nb_outputs() const { return _nb_outputs; }
    int nb_locals() const { return _nb_locals; }
    int nb_asserts() const { return _nb_asserts; }
    int nb_types() const { return _nb_types; }
    int nb_usr_consts() const { return _nb_usr_consts; }
    int nb_u_funcs() const { return _nb_u_funcs; }
    int nb_tuple_funcs() const { return _nb_tuple_funcs; }
    IntList* input_list() const { return _inputs.list(); }
    IntList* output_list() const { return _outputs.list(); }
    IntList* local_list() const { return _locals.list(); }
    IntList* assertion_list() const { return _assertions.list(); }
    IntList* usr_const_list() const { return _usr_consts.list(); }
    IntList* usr_func_list() const { return _usr_funcs.list(); }
    IntList* tuple_func_list() const { return _tuple_funcs.list(); }
    IntList* type_list() const { return _decl_types.list(); }
    // O(1) indexed access, same contract as IntList::extract: 0 and the
    // identifier at 0-based index, or 1 when out of range.
    int input_at(int index, int* ident) const { return _inputs.at(index, ident); }
    int output_at(int index, int* ident) const { return _outputs.at(index, ident); }
    int local_at(int index, int* ident) const { return _locals.at(index, ident); }
    int usr_func_at(int index, int* ident) const { return _usr_funcs.at(index, ident); }

    // ---- errors
    // Formats into the last-error text (cut to 1023 characters).
    void error(const char* format, ...) __attribute__((format(printf, 2, 3)));
    const char* error_msg() const { return _error; }
    // Internal errors: formatted text on standard error, no prefix, no newline.
    static void ierror(const char* format, ...) __attribute__((format(printf, 1, 2)));

    // ---- printing (ecprg-print.cpp)
    void print_exp(Exp* e);
    void print_lus(PtyStream* out);
    int print_ec();
    void print_ident_list(IntList* l, PtyStream* out);
    void print_clocked_ident_list(IntList* l, PtyStream* out);
    void print_all_clocked_ident_list(IntList* l, PtyStream* out);
    int print_func_list(IntList* l, PtyStream* out);
    int print_func_decl(int f, PtyStream* out);
    void print_assert_def(PtyStream* out);
    void print_ident_def(IntList* l, PtyStream* out);

private:
    IdentInfo* new_ident(IdentMode mode, int ident, EcType* type, int clock,
                         ExpNature leaf, bool as_def, bool as_ref);
    Exp* literal(int ident, IdentMode mode, EcType* type);
    template <class... A> Exp* make_exp(A... args);
    void print_program(PtyStream* out, bool ec, int* status);
    void print_variable(int v, PtyStream* out, int clocks);
    void print_type_name(EcType* t, PtyStream* out);

    EcType* _bool_type;
    EcType* _int_type;
    EcType* _real_type;
    int _base_clock;
    Exp* _true;
    Exp* _false;
    Exp* _bottom;
    Exp* _nil;
    SymbolTable* _symbols;
    int _name;
    SymbolInfoArray* _infos;
    // The records of _infos in one flat array indexed by identifier, each with
    // its reference leaf as it was when the record was placed there: the
    // reader resolves a name with one read instead of walking to a chunk and
    // then into the record.
    struct InfoSlot {
        SymbolInfo* info;
        Exp* ref;
    };
    std::vector<InfoSlot, HugePageAllocator<InfoSlot>> _info_flat;
    void set_info(int ident, SymbolInfo* s);
    const InfoSlot* slot_of(int ident) const {
        return ident > 0 && (size_t)ident < _info_flat.size() ? &_info_flat[(size_t)ident] : nullptr;
    }
    SymbolInfo* info_of(int ident) const {
        const InfoSlot* slot = slot_of(ident);
        return slot ? slot->info : nullptr;
    }
    EcIdList _inputs, _outputs, _locals, _assertions, _usr_consts, _usr_funcs,
        _tuple_funcs;
    int _nb_inputs, _nb_outputs, _nb_locals, _nb_asserts, _nb_types,
        _nb_usr_consts, _nb_u_funcs, _nb_tuple_funcs;
    EcIdList _decl_types;
    EcType* _types;
    std::unordered_map<int, EcType*> _named_types;   // name -> named type
    ExpStore _exps;
    ChunkStore<IdentInfo> _records;      // every IdentInfo made, newest last
    // A new record in _records.
    IdentInfo* make_record(IdentMode mode, int ident, EcType* type, int clock);
    std::vector<FuncInfo*> _funcs;       // every FuncInfo made
    std::vector<IntList*> _tuple_lists;  // names of tuple equations (owned)
    char _error[1024] = {};
};

#endif
