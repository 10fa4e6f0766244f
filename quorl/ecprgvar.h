// Program objects: what `ecprg NAME' creates. Each object holds one ec
// program with its symbol table, is reachable from Tcl as the command NAME,
// and answers 24 operations (ECPRG_call dispatches them).
#ifndef QUORL_ECPRGVAR_H
#define QUORL_ECPRGVAR_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <tcl.h>

#include "corvel/tcl_glue.h"

class EcPrg;
class EcType;
class Exp;
class IdentInfo;
class IntList;
class Quorl;
class SymbolTable;
class TextPlaces;
struct Simulation;

// Operation names; ECPRG_call matches the first word against these very
// arrays, and the help text prints them.
extern char INIT[];
extern char LOAD[];
extern char LOADCH[];
extern char DUMP[];
extern char PROFILE[];
extern char NBINPUTS[];
extern char NBOUTPUTS[];
extern char NBLOCALS[];
extern char NBASSERTS[];
extern char NBFUNCS[];
extern char INNAME[];
extern char OUTNAME[];
extern char LOCNAME[];
extern char INTYPE[];
extern char OUTTYPE[];
extern char LOCTYPE[];
extern char ADDIN[];
extern char ADDOUT[];
extern char ADDLOC[];
extern char FUNCDECL[];
extern char ADDFUNC[];
extern char EXP[];
extern char EQ[];
extern char EXPTYPE[];

class EcPrgVar;

// What a shared handler works on, told by the operation's row.
enum OperationTarget {
    ON_PROGRAM,
    ON_INPUTS,
    ON_OUTPUTS,
    ON_LOCALS,
    ON_ASSERTS,
    ON_FUNCS,
    FROM_FILE,
    FROM_CHANNEL
};

// One operation of a program object. ECPRG_call checks the parameter count
// against [min_params, max_params] (max -1: no limit), then that a program
// is there when the operation needs one, and only then calls the handler.
struct Operation {
    const char* name;  // one of the arrays above
    int (EcPrgVar::*handler)(const Operation& op, int count, const char** parameters);
    int min_params;
    int max_params;
    // The call error of a wrong parameter count: a format that takes the
    // object's and the operation's names.
    const char* usage;
    bool needs_program;
    OperationTarget target;
};

// The operations in the order ECPRG_call matches them.
extern const Operation OPERATIONS[];
extern const int NB_OPERATIONS;

class EcPrgVar {
public:
    EcPrgVar(Quorl* owner, EcPrgVar* next);
    ~EcPrgVar();
    EcPrgVar(const EcPrgVar&) = delete;
    EcPrgVar& operator=(const EcPrgVar&) = delete;

    // Checks the parameters of op as its row says, then runs its handler.
    int run(const Operation& op, int count, const char** parameters);

    // Drops the program, its table and every handle; the caller installs a
    // new prg and symbols right after. While an operation holds the object,
    // they are only retired: the operation may still be using them.
    void reset();

    // ---- staying alive while an operation runs
    // A Tcl script that runs during an operation (a channel's handler, a
    // trace, an external function) may delete the object or replace its
    // program. Every operation holds the object while it runs; whatever
    // goes meanwhile is freed when the last hold is released.
    void hold() { ++nref; }
    // Drops a hold: the last one frees what was retired, and the object
    // itself when its command is gone.
    static void release(EcPrgVar* object);
    // The command was deleted (the object goes with the last hold).
    bool gone() const { return _gone; }
    void mark_gone();
    // Counts the replacements of the program (init, load, loadch): an
    // operation that finds another count after a script ran knows that its
    // program was replaced.
    unsigned generation() const { return _generation; }

    // "Quorl: bad `<object>' call\n=> " and the formatted message as the
    // interpreter result, the error code {ZINDLE code...}; returns TCL_ERROR.
    int call_error(const ErrorWords& code, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    // The usage error of op ({ZINDLE USAGE}).
    int usage_error(const Operation& op);

    // The object's current command name (follows `rename').
    const char* name() const;

    // The list without `object' (unchanged when it is not there).
    static EcPrgVar* remove(EcPrgVar* list, EcPrgVar* object);

    // ---- making, printing and querying the program (ecprgvar-query.cpp)
    int init(const Operation& op, int count, const char** parameters);
    int load(const Operation& op, int count, const char** parameters);
    int profile(const Operation& op, int count, const char** parameters);
    int nbelts(const Operation& op, int count, const char** parameters);
    int varname(const Operation& op, int count, const char** parameters);
    int vartype(const Operation& op, int count, const char** parameters);

    // ---- printing (ecprgvar-print.cpp)
    int dump(const Operation& op, int count, const char** parameters);
    int text(const Operation& op, int count, const char** parameters);

    // ---- the program as Tcl data (ecprgvar-inspect.cpp)
    int vars(const Operation& op, int count, const char** parameters);
    int var(const Operation& op, int count, const char** parameters);
    int types(const Operation& op, int count, const char** parameters);
    int funcs(const Operation& op, int count, const char** parameters);
    int asserts(const Operation& op, int count, const char** parameters);
    int deps(const Operation& op, int count, const char** parameters);
    int uses(const Operation& op, int count, const char** parameters);

    // ---- whole-program checking (ecprgvar-check.cpp)
    int check(const Operation& op, int count, const char** parameters);

    // ---- running the program (ecprgvar-sim.cpp, ecprgvar-simrun.cpp)
    int sim(const Operation& op, int count, const char** parameters);

    // ---- building (ecprgvar-build.cpp)
    int addvar(const Operation& op, int count, const char** parameters);
    int addtype(const Operation& op, int count, const char** parameters);
    int addconst(const Operation& op, int count, const char** parameters);
    int funcdecl(const Operation& op, int count, const char** parameters);
    int addfunc(const Operation& op, int count, const char** parameters);
    int build_exp(const Operation& op, int count, const char** parameters);
    int equation(const Operation& op, int count, const char** parameters);
    int exp_type(const Operation& op, int count, const char** parameters);
    int define(const Operation& op, int count, const char** parameters);
    int assertion(const Operation& op, int count, const char** parameters);

    // A fresh identifier "<prefix><n>", n the first number after
    // ident_counter whose text is not interned in symbols.
    int built_new_ident(const char* prefix);
    // The handle of an expression, interned in exp_table.
    const char* exp2string(Exp* e);
    // The expression a handle names, or null when text is not a handle this
    // object issued since its last reset.
    Exp* string2exp(const char* text);

    SymbolTable* exp_table;  // owned: issued expression handles (null before the first)
    EcPrgVar* next;          // next object of owner->ecprg_list
    EcPrgVar* prev;          // the one before it, null for the head
    EcPrg* prg;              // owned: the current program, or null
    SymbolTable* symbols;    // owned: prg's symbol table, or null
    Tcl_Command command;     // the object's Tcl command
    Quorl* owner;            // the Quorl whose `ecprg' made the object
    int ident_counter;       // last number used by built_new_ident
    int nref = 0;            // operations running on the object
    std::unique_ptr<Simulation> simulation;  // the run of the program, or null

private:
    // A program, its table and its handle table, retired by reset().
    struct Retired {
        std::unique_ptr<EcPrg> prg;
        std::unique_ptr<SymbolTable> symbols;
        std::unique_ptr<SymbolTable> exp_table;
        ~Retired();
    };
    std::vector<std::unique_ptr<Retired>> _retired;
    bool _gone = false;
    std::string _last_name;  // the command's name when it was deleted
    unsigned _generation = 0;

    int set_result(const char* text);
    // A text too long to be one result symbol goes to Tcl as a copy.
    int set_composed_result(const std::string& text);
    const char* type_name(EcType* type, const char* unnamed);
    void trace_counts();
    int variable_at(const Operation& op, const char* index_text, int* id);
    Exp* expression_of(const char* text);
    int expression_error(const Operation& op);
    Exp* typed_expression(const Operation& op, const char* text, EcType* want);
    IdentInfo* definable(const Operation& op, const char* variable);
    EcType* named_type(const char* text, int* type_id);
    int unknown_type(const Operation& op, const char* text);
    int check_new_name(const Operation& op, const char* text);
    int write_text(FILE* out, bool ec, bool sync, TextPlaces* places = nullptr);
    int check_writable(const Operation& op, bool ec);
    int dump_file(const Operation& op, const char* target, bool ec);
    std::string expression_text(Exp* e);
    IdentInfo* named_variable(const Operation& op, const char* text);
    Tcl_Obj* params(IntList* names, EcType* type, const char* made_up);
};

// The command procedure of every program object, and its deletion procedure.
int ECPRG_call(ClientData client, Tcl_Interp* interp, int argc, const char* argv[]);
void ECPRG_delete(ClientData client);

#endif
