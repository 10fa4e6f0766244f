// One ec program: a flattened Lustre node with its declarations, equations,
// assertions and types. The program owns every expression node, type, list
// cell and symbol record it makes; it does not own its symbol table.
//
// Where each concern lives:
//   ecprg.cpp           construction, identity, the last-error text
//   ecprg-declare.cpp   declarations, literals, the record index, equations
//   ecprg-types.cpp     named, enumerated and tuple types
//   ecprg-exps.cpp      the expression factory, mark and rollback
//   ecprg-typecheck.cpp typing of expressions
//   ecprg-clock.cpp     clocks of expressions
//   ecprg-print.cpp     Lustre text of expressions
//   ecprg-print-program.cpp  the program as Lustre text and in ec syntax
#ifndef QUORL_ECPRG_H
#define QUORL_ECPRG_H

#include <cstddef>
#include <new>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "quorl/ectype.h"
#include "quorl/exp.h"
#include "quorl/idlist.h"
#include "quorl/source.h"
#include "quorl/syminfo.h"

class PtyStream;
class SymbolTable;
class TextPlaces;

// Property key of the guarded printing (Exp::Iprint) under way in this
// thread; set by EcPrg::print_exp from take_a_key().
extern thread_local int Iprint_current_mark;

// A position in the expression heap and the record heap; see
// EcPrg::mark() and EcPrg::rollback().
struct EcPrgMark {
    size_t exps;
    size_t infos;
};

class EcPrg {
public:
    explicit EcPrg(SymbolTable* symbols);
    EcPrg(const EcPrg&) = delete;
    EcPrg& operator=(const EcPrg&) = delete;

    // ---- identity
    void def_name(int name) { _name = name; }
    int name() const { return _name; }
    SymbolTable* symbols() const { return _symbols; }
    const char* symbol(int id) const;

    // ---- where the program was read from, and what the reader noted
    SourceMap& source() { return _source; }
    const SourceMap& source() const { return _source; }

    // ---- the last error: formatted, cut to 1023 characters, and what kind
    // of error it is: a class word and its details ({"TYPE", expected,
    // found}, {"UNDECLARED", name}, ...), empty when not given.
    void error(const char* format, ...) __attribute__((format(printf, 2, 3)));
    const char* error_msg() const { return _error; }
    void set_error_code(std::vector<std::string> words) { _error_code = std::move(words); }
    const std::vector<std::string>& error_code() const { return _error_code; }

    // ---- declarations (a null type is accepted)
    void add_input(int ident, EcType* type, int clock);
    void add_output(int ident, EcType* type, int clock, int at_front);
    void add_local(int ident, EcType* type, int clock);
    void add_usr_const(int ident, EcType* type, int clock);
    // The parameter lists (made with new_list) may be null. A null outputs
    // type is kept as a single-result function (FUNC_m).
    void add_usr_func(int ident, EcType* inputs_type, EcType* outputs_type, IntList* inputs,
                      IntList* outputs);
    // A null e (an assertion that failed to read) adds nothing.
    void add_assertion(Exp* e);
    // The record of the newest assertion, or null.
    IdentInfo* last_assertion() const;
    void add_usr_type(int name);
    void add_usr_type(int name, const int* constants, int n);
    // A list of the n identifiers at ids whose cells the program owns.
    IntList* new_list(const int* ids, int n) { return make_list(_cells, ids, n); }

    // ---- literals, interned by their text
    Exp* get_bool_const(int ident);
    Exp* get_int_const(int ident);
    Exp* get_real_const(int ident);

    // ---- every record made, in order: a name declared twice has one for
    // each declaration (the lookups find the last)
    size_t record_count() const { return _records.size(); }
    const IdentInfo* record_at(size_t i) const { return _records.at(i); }
    size_t function_count() const { return _funcs.size(); }
    const FuncInfo* function_at(size_t i) const { return _funcs.at(i); }

    // ---- lookups
    IdentInfo* get_ident_info(int ident) const;
    FuncInfo* get_func_info(int ident) const;
    // The reference leaf of a variable, constant or literal, or null.
    Exp* reference(int ident) const { return _index.reference(ident); }
    int base_clock() const { return _base_clock; }

    // ---- changes: every declaration, equation and assertion added or
    // replaced counts one, so that what was built from the program (an
    // engine) knows when it is out of date.
    unsigned revision() const { return _revision; }
    // Whether check found no error in the program as it stands: a check
    // asked again of an unchanged program (each sim reset) is not redone.
    bool known_well_formed() const { return _well_formed && _well_formed_at == _revision; }
    void note_well_formed() {
        _well_formed = true;
        _well_formed_at = _revision;
    }

    // ---- the lists, in declaration order
    const IdList& inputs() const { return _inputs; }
    const IdList& outputs() const { return _outputs; }
    const IdList& locals() const { return _locals; }
    const IdList& assertions() const { return _assertions; }
    const IdList& usr_consts() const { return _usr_consts; }
    const IdList& usr_funcs() const { return _usr_funcs; }  // FUNC_m functions
    const IdList& tuple_funcs() const { return _tuple_funcs; }
    const IdList& declared_types() const { return _declared_types; }
    int nb_inputs() const { return _inputs.size(); }
    int nb_outputs() const { return _outputs.size(); }
    int nb_locals() const { return _locals.size(); }
    int nb_asserts() const { return _assertions.size(); }
    int nb_u_funcs() const { return _usr_funcs.size(); }

    // ---- equations
    // Links e as ident's definition (type and clock copied into e). Nothing
    // happens when ident has no IdentInfo; a null e makes the definition null.
    void define_variable(int ident, Exp* e);
    // One PROJ_n over e per name (orders from 1); names are made with
    // new_list and shared by the members.
    void define_tuple(IntList* names, Exp* e);

    // ---- types
    EcType* get_named_type(int name);
    // The same without a message: null when there is no such type.
    EcType* find_named_type(int name) const {
        auto it = _named_types.find(name);
        return it == _named_types.end() ? nullptr : it->second;
    }
    // The type denoted by n type names: the named type when n is 1, else
    // the tuple type of that sequence. Null (internal error) when n < 1.
    EcType* define_type(const int* names, int n);
    EcType* bool_type() const { return _bool_type; }
    EcType* int_type() const { return _int_type; }
    EcType* real_type() const { return _real_type; }

    // ---- expressions: null when an operand is null
    Exp* get_exp(ExpNature n, Exp* a);
    Exp* get_exp(ExpNature n, Exp* a, Exp* b);
    Exp* get_exp(ExpNature n, Exp* a, Exp* b, Exp* c);
    Exp* get_exp(ExpNature n, Exp* a, int k);  // PROJ_n order, CALL_n function
    Exp* get_exp(ExpNature n, int count, Exp** ops);
    // A leaf of its own for a name without declaration, in a statement the
    // reader drops and keeps for the ec text (quorl/source.h): never linked
    // to a variable nor typed.
    Exp* undeclared_leaf(int ident) { return make_exp(ERROR_n, ident, nullptr, -1); }
    // Type of an expression by the typing rules, memoised into its nodes;
    // null with the message of the innermost ill-typed operator.
    EcType* type(Exp* root);
    // Clock of e, memoised into e; -1 when unknown (after an internal error).
    int clock(Exp* e);

    // Undo: rollback(m) releases every node and every IdentInfo made since
    // mark() gave m, newest first, emptying the index slots of the records.
    EcPrgMark mark() const { return EcPrgMark{_exps.size(), _records.size()}; }
    void rollback(const EcPrgMark& m);

    // ---- printing
    // The expression on standard output, guarded against cycles.
    void print_exp(Exp* e);
    // The program as a Lustre node; with places, the line of each name's
    // declaration and equation in that text.
    void print_lus(PtyStream* out, TextPlaces* places = nullptr);
    // The program in ec syntax on standard output; 1 when a function list
    // names an undeclared function (the text then stops there), else 0.
    int print_ec();
    // The program in ec syntax without loss (ecprg-ectext.cpp): reading it
    // back gives the same program. It needs an input and an output.
    void print_ec_text(PtyStream* out) const;

    // The type name a declaration gave when that type was not declared (the
    // variable has no type), or 0.
    int untyped_name(int ident) const {
        auto it = _untyped.find(ident);
        return it == _untyped.end() ? 0 : it->second;
    }
    void note_untyped(int ident, int type_name) { _untyped[ident] = type_name; }

private:
    IdentInfo* new_ident(IdentMode mode, int ident, EcType* type, int clock, ExpNature leaf,
                         bool as_def, bool as_ref);
    IdentInfo* make_record(IdentMode mode, int ident, EcType* type, int clock);
    void add_enum_const(int ident, EcType* type, int clock, int index);
    Exp* literal(int ident, IdentMode mode, EcType* type);
    EcType* define_named_type(int name);
    EcType* declare_type(int name);
    template <class... A>
    Exp* make_exp(A... args) {
        return _exps.commit(new (_exps.reserve()) Exp(args...));
    }

    SymbolTable* _symbols;
    SourceMap _source;
    int _name = 0;
    int _base_clock = 0;
    unsigned _revision = 0;
    bool _well_formed = false;
    unsigned _well_formed_at = 0;
    char _error[1024] = {};
    std::vector<std::string> _error_code;

    // Storage, each freed at once with the program.
    ExpHeap _exps;
    SymbolInfoHeap _records;
    FuncInfoStore _funcs;
    ChunkStore<EcType> _types;
    ListCells _cells;

    // The record of each identifier.
    SymbolInfoArray _index;
    IdList _inputs, _outputs, _locals, _assertions, _usr_consts, _usr_funcs, _tuple_funcs,
        _declared_types;

    EcType* _bool_type = nullptr;
    EcType* _int_type = nullptr;
    EcType* _real_type = nullptr;
    std::unordered_map<int, EcType*> _named_types;  // name -> named type
    std::vector<EcType*> _tuple_types;
    std::unordered_map<int, int> _untyped;  // variable -> undeclared type name
};

#endif
