// Program objects: what `ecprg NAME' creates. Each object holds one ec
// program with its symbol table, is reachable from Tcl as the command NAME,
// and answers 24 operations (ECPRG_call dispatches them).
#ifndef QUORL_ECPRGVAR_H
#define QUORL_ECPRGVAR_H

#include <tcl.h>

class EcPrg;
class EcType;
class Exp;
class Quorl;
class SymbolTable;

// Operation names; ECPRG_call matches the first word against these very
// arrays and hands the matching one to the handler.
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

class EcPrgVar {
public:
    // Handlers take the operation name, the number of parameters and the
    // parameters (the words after the operation), and return a Tcl status.
    typedef int (EcPrgVar::*Handler)(const char* operation, int count, const char** parameters);

    EcPrgVar(Quorl* owner, EcPrgVar* next);
    ~EcPrgVar();
    EcPrgVar(const EcPrgVar&) = delete;
    EcPrgVar& operator=(const EcPrgVar&) = delete;

    // Drops the program, its table and every handle; the caller installs a
    // new prg and symbols right after.
    void reset();

    // "Quorl: bad `<object>' call\n=> " and the formatted message as the
    // interpreter result; returns TCL_ERROR.
    int call_error(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The object's current command name (follows `rename').
    const char* name() const;

    // The list without `object' (unchanged when it is not there).
    static EcPrgVar* remove(EcPrgVar* list, EcPrgVar* object);

    // ---- creating, printing and querying the program (ecprgvar-query.cpp)
    int init(const char* operation, int count, const char** parameters);
    int load(const char* operation, int count, const char** parameters);
    int dump(const char* operation, int count, const char** parameters);
    int profile(const char* operation, int count, const char** parameters);
    int nbelts(const char* operation, int count, const char** parameters);
    int varname(const char* operation, int count, const char** parameters);
    int vartype(const char* operation, int count, const char** parameters);

    // ---- building (ecprgvar-build.cpp)
    int addvar(const char* operation, int count, const char** parameters);
    int funcdecl(const char* operation, int count, const char** parameters);
    int addfunc(const char* operation, int count, const char** parameters);
    int build_exp(const char* operation, int count, const char** parameters);
    int equation(const char* operation, int count, const char** parameters);
    int exp_type(const char* operation, int count, const char** parameters);

    // A fresh identifier "<prefix><n>", n the first number after
    // ident_counter whose text is not interned in symbols.
    int built_new_ident(const char* prefix);
    // The handle of an expression, interned in exp_table.
    const char* exp2string(Exp* e);
    // The expression a handle names, or null when text is not a handle this
    // object issued since its last reset.
    Exp* string2exp(const char* text);

    SymbolTable* exp_table;   // owned: issued expression handles
    EcPrgVar* next;           // next object of owner->ecprg_list
    EcPrg* prg;               // owned: the current program, or null
    SymbolTable* symbols;     // owned: prg's symbol table, or null
    Tcl_Command command;      // the object's Tcl command
    Quorl* owner;             // the Quorl whose `ecprg' made the object
    int ident_counter;        // last number used by built_new_ident

private:
    // Shared steps of the handlers.
    int no_program(const char* operation);
    int set_result(const char* text);
    const char* type_name(EcType* type, const char* unnamed);
    void trace_counts();
    Exp* expression_of(const char* text);
    EcType* named_type(const char* text, int* type_id);
    int check_new_name(const char* operation, const char* text);
};

// The command procedure of every program object, and its deletion procedure.
int ECPRG_call(ClientData client, Tcl_Interp* interp, int argc, const char* argv[]);
void ECPRG_delete(ClientData client);

#endif
