/* The ec parser: reads a whole ec program (START_PROGRAM) or one lone
 * expression (START_EXPRESSION) straight into the program model. There is no
 * syntax tree: each reduction calls the program's building operations.
 *
 * Generated with the C skeleton and compiled as C++: every semantic value is
 * a plain pointer or int, so the value union stays trivially copyable and the
 * parse stack may be relocated with memcpy when it grows.
 */

%{
/* The parse stack starts with room for 200 entries and doubles up to 10000;
 * a deeper text fails with "memory exhausted". */
#define YYINITDEPTH 200
#define YYMAXDEPTH 10000
%}

%define api.prefix {ecprg_}
%expect 0

%code requires {
class Exp;
class ExpList;
class IntList;
}

%union {
    const char* text;  /* token text, in the lexer's ring of buffers */
    int sym;           /* symbol identifier */
    IntList* ilist;    /* identifier list, newest element first while built */
    Exp* exp;
    ExpList* elist;    /* operand list, newest element first while built */
}

%code {
#include <cstdio>
#include <cstring>

#include "corvel/intlist.h"
#include "corvel/symbols.h"
#include "quorl/ecprg.h"
#include "quorl/lexer.h"
#include "quorl/reader.h"

void ecprg_error(const char* message);

Exp* ecexp = nullptr;

/* Lists are built newest first so that every append is O(1) even for
 * declarations of a million names; the consumer puts them in text order. */
static void FreeIntList(IntList* l);
static IntList* IntListInOrder(IntList* rev);
static ExpList* ExpListInOrder(ExpList* rev);

static int AddSymbol(const char* text);
static int BaseClock();
static IntList* GetIntList(int id);
static IntList* AddIntList(IntList* rev, IntList* more);
static void AddUserConsts(IntList* names, int type_name, int clock);
static void AddExternType(int name);
static void AddEnumType(int name, IntList* constants);
static void AddUserFunction(int name, IntList* inputs, IntList* outputs);
static void DefineNodeName(int name);
static void AddInputs(IntList* names, int type_name, int clock);
static void AddOutputs(IntList* names, int type_name, int clock);
static void AddLocals(IntList* names, int type_name, int clock);
static void AddAssertion(Exp* e);
static void AddEquation(int name, Exp* e);
static void AddTupleEquation(IntList* names, Exp* e);
static Exp* GetIdentExp(int name);
static Exp* UExp(ExpNature n, Exp* a);
static Exp* BExp(ExpNature n, Exp* a, Exp* b);
static Exp* TExp(ExpNature n, Exp* a, Exp* b, Exp* c);
static Exp* NExp(ExpNature n, ExpList* rev);
static Exp* GetCallExp(int function, Exp* argument);
static ExpList* GetExpList(Exp* e);
static ExpList* AddExpList(ExpList* rev, ExpList* more);
static Exp* GetBoolConst(int id);
static Exp* GetIntConst(int id);
static Exp* GetRealConst(int id);
}

/* Token codes are part of the reader's interface: 258 to 295. */
%token START_PROGRAM 258 START_EXPRESSION 259
%token KW_AND 260 "and"
%token OP_ARROW 261 "->"
%token KW_ASSERT 262 "assert"
%token <text> KW_BOOL 263 "bool"
%token KW_CONST 264 "const"
%token KW_CURRENT 265 "current"
%token KW_DIV 266 "div"
%token KW_ELSE 267 "else"
%token KW_FUNCTION 268 "function"
%token <text> KW_FALSE 269 "false"
%token OP_GTE 270 ">="
%token <text> INT_LITERAL 271
%token <text> IDENT 272
%token KW_IF 273 "if"
%token <text> KW_INT 274 "int"
%token OP_IMPL 275 "=>"
%token OP_LTE 276 "<="
%token KW_LET 277 "let"
%token KW_MOD 278 "mod"
%token OP_NEQ 279 "<>"
%token KW_NODE 280 "node"
%token KW_NOR 281 "nor"
%token KW_NOT 282 "not"
%token KW_OR 283 "or"
%token KW_PRE 284 "pre"
%token <text> REAL_LITERAL 285
%token <text> KW_REAL 286 "real"
%token KW_RETURNS 287 "returns"
%token KW_TEL 288 "tel"
%token KW_TYPE 289 "type"
%token KW_THEN 290 "then"
%token <text> KW_TRUE 291 "true"
%token KW_VAR 292 "var"
%token KW_WHEN 293 "when"
%token KW_XOR 294 "xor"
%token OP_POWER 295 "**"

/* From the loosest to the tightest binding. */
%precedence "else"                                   /* if ... then ... else */
%left "->"
%left "or" "xor"
%left "and"
%nonassoc "=>" '=' "<>" '<' "<=" '>' ">="
%precedence "not"
%left '+' '-'
%left '*' '/' '%' "div" "mod"
%left "**"
%left "when"
%precedence "pre" "current" "int" "real"             /* and prefix '-' */

%type <sym> ident type_ref predefined_type named_type clock
%type <ilist> ident_list param params
%type <exp> exp call constant
%type <elist> exp_list exp_list_multi

/* Lists still on the stack when a parse fails are the parser's own. */
%destructor { FreeIntList($$); } <ilist>
%destructor { delete $$; } <elist>

%start ec_input

%%

ec_input
    : START_PROGRAM program
    | START_EXPRESSION exp                  { ecexp = $2; }
    ;

/* ---------------------------------------------------------------- program */

program
    : %empty
    | declarations node
    | node
    ;

declarations
    : declaration
    | declarations declaration
    ;

declaration
    : const_section
    | type_section
    | function_decl
    ;

const_section
    : "const" const_groups '.'
    | "const" const_groups ';'
    ;

const_groups
    : const_group
    | const_groups ';' const_group
    ;

const_group
    : '(' ident_list ':' type_ref ')' "when" clock   { AddUserConsts($2, $4, $7); }
    | ident_list ':' type_ref                        { AddUserConsts($1, $3, BaseClock()); }
    ;

type_ref
    : predefined_type
    | named_type
    ;

predefined_type
    : "bool"                                { $$ = AddSymbol($1); }
    | "int"                                 { $$ = AddSymbol($1); }
    | "real"                                { $$ = AddSymbol($1); }
    ;

named_type
    : ident
    ;

clock
    : ident
    | "true"                                { $$ = AddSymbol($1); }
    ;

type_section
    : "type" type_defs ';'
    | "type" type_defs '.'
    ;

type_defs
    : type_def
    | type_defs ',' type_def
    ;

type_def
    : extern_type_def
    | enum_type_def
    ;

extern_type_def
    : ident                                 { AddExternType($1); }
    ;

enum_type_def
    : ident '=' '(' ident_list ')'          { AddEnumType($1, $4); }
    ;

ident
    : IDENT                                 { $$ = AddSymbol($1); }
    ;

function_decl
    : "function" ident '(' params ')' "returns" '(' params ')' opt_end
                                            { AddUserFunction($2, $4, $8); }
    ;

params
    : param
    | params ';' param                      { $$ = AddIntList($1, $3); }
    ;

param
    : ident ':' type_ref                    { $$ = AddIntList(GetIntList($1), GetIntList($3)); }
    ;

opt_end
    : %empty
    | ';'
    | '.'
    | ','
    ;

node
    : "node" node_header var_section body opt_end
    ;

node_header
    : ident '(' input_groups ')' "returns" '(' output_groups ')' ';'
                                            { DefineNodeName($1); }
    ;

input_groups
    : input_group
    | input_groups ';' input_group
    ;

input_group
    : '(' ident_list ':' type_ref ')' "when" clock   { AddInputs($2, $4, $7); }
    | ident_list ':' type_ref                        { AddInputs($1, $3, BaseClock()); }
    ;

output_groups
    : output_group
    | output_groups ';' output_group
    ;

output_group
    : '(' ident_list ':' type_ref ')' "when" clock   { AddOutputs($2, $4, $7); }
    | ident_list ':' type_ref                        { AddOutputs($1, $3, BaseClock()); }
    ;

var_section
    : %empty
    | "var" local_groups ';'
    ;

local_groups
    : local_group
    | local_groups ';' local_group
    ;

local_group
    : '(' ident_list ':' type_ref ')' "when" clock   { AddLocals($2, $4, $7); }
    | ident_list ':' type_ref                        { AddLocals($1, $3, BaseClock()); }
    ;

body
    : "let" "tel"
    | "let" statements "tel"
    ;

statements
    : statement
    | statements statement
    ;

statement
    : "assert" exp ';'                      { AddAssertion($2); }
    | ident '=' exp ';'                     { AddEquation($1, $3); }
    | '(' ident_list ')' '=' exp ';'        { AddTupleEquation($2, $5); }
    ;

ident_list
    : ident                                 { $$ = GetIntList($1); }
    | ident_list ',' ident                  { $$ = AddIntList($1, GetIntList($3)); }
    ;

/* ---------------------------------------------------------------- expressions */

exp
    : '(' exp ')'                           { $$ = $2; }
    | constant
    | ident                                 { $$ = GetIdentExp($1); }
    | "not" exp                             { $$ = UExp(NOT_n, $2); }
    | "int" exp                             { $$ = UExp(REAL2INT_n, $2); }
    | "real" exp                            { $$ = UExp(INT2REAL_n, $2); }
    | '-' exp %prec "pre"                   { $$ = UExp(UMINUS_n, $2); }
    | "pre" exp                             { $$ = UExp(PRE_n, $2); }
    | "current" exp                         { $$ = UExp(CURRENT_n, $2); }
    | exp "->" exp                          { $$ = BExp(ARROW_n, $1, $3); }
    | exp "when" exp                        { $$ = BExp(WHEN_n, $1, $3); }
    | exp "xor" exp                         { $$ = BExp(XOR_n, $1, $3); }
    | exp "or" exp                          { $$ = BExp(OR_n, $1, $3); }
    | exp "and" exp                         { $$ = BExp(AND_n, $1, $3); }
    | exp "=>" exp                          { $$ = BExp(IMPL_n, $1, $3); }
    | exp '=' exp                           { $$ = BExp(EQUAL_n, $1, $3); }
    | exp "<>" exp                          { $$ = BExp(NEQ_n, $1, $3); }
    | exp '<' exp                           { $$ = BExp(LT_n, $1, $3); }
    | exp "<=" exp                          { $$ = BExp(LTE_n, $1, $3); }
    | exp ">=" exp                          { $$ = BExp(GTE_n, $1, $3); }
    | exp '>' exp                           { $$ = BExp(GT_n, $1, $3); }
    | exp '*' exp                           { $$ = BExp(TIMES_n, $1, $3); }
    | exp '/' exp                           { $$ = BExp(SLASH_n, $1, $3); }
    | exp '%' exp                           { $$ = BExp(MOD_n, $1, $3); }
    | exp "mod" exp                         { $$ = BExp(MOD_n, $1, $3); }
    | exp "div" exp                         { $$ = BExp(DIV_n, $1, $3); }
    | exp '+' exp                           { $$ = BExp(PLUS_n, $1, $3); }
    | exp '-' exp                           { $$ = BExp(MINUS_n, $1, $3); }
    | exp "**" exp                          { $$ = BExp(POWER_n, $1, $3); }
    | "if" exp "then" exp "else" exp        { $$ = TExp(IF_n, $2, $4, $6); }
    | call
    | '#' '(' exp_list_multi ')'            { $$ = NExp(DIESE_n, $3); }
    | "nor" '(' exp_list ')'                { $$ = NExp(NOR_n, $3); }
    | '(' exp_list_multi ')'                { $$ = NExp(TUPLE_n, $2); }
    ;

call
    : ident '(' exp ')'                     { $$ = GetCallExp($1, $3); }
    | ident '(' exp_list_multi ')'          { $$ = GetCallExp($1, NExp(TUPLE_n, $3)); }
    ;

exp_list_multi
    : exp_list ',' exp                      { $$ = AddExpList($1, GetExpList($3)); }
    ;

exp_list
    : exp                                   { $$ = GetExpList($1); }
    | exp_list_multi
    ;

constant
    : "true"                                { $$ = GetBoolConst(AddSymbol($1)); }
    | "false"                               { $$ = GetBoolConst(AddSymbol($1)); }
    | INT_LITERAL                           { $$ = GetIntConst(AddSymbol($1)); }
    | REAL_LITERAL                          { $$ = GetRealConst(AddSymbol($1)); }
    ;

%%

/* ---------------------------------------------------------------- errors */

void ecprg_error(const char* message) {
    const char* near = printLexeme(YY_result);
    if (YY_ecprg)
        YY_ecprg->error("%s line %d near '%s'", message, yyline, near);
    else
        fprintf(stderr, "%s line %d near '%s'\n", message, yyline, near);
}

/* ---------------------------------------------------------------- lists */

static void FreeIntList(IntList* l) {
    while (l) {
        IntList* next = l->tail();
        delete l;
        l = next;
    }
}

/* Reverses a newest-first list in place; the length fields come out exact. */
static IntList* IntListInOrder(IntList* rev) {
    IntList* out = nullptr;
    while (rev) {
        IntList* next = rev->tail();
        rev->init(rev->head(), out);
        out = rev;
        rev = next;
    }
    return out;
}

static ExpList* ExpListInOrder(ExpList* rev) {
    ExpList* out = nullptr;
    for (ExpList* c = rev; c; c = c->tail()) {
        ExpList* cell = new ExpList(c->head());
        cell->concat(out);  /* cell is a one-element list: O(1) */
        out = cell;
    }
    return out;
}

static IntList* GetIntList(int id) { return new IntList(id); }

/* Both lists newest first: the result is the newest-first list of rev's
 * elements followed by more's. more is short here: one name, or one
 * parameter's name and type. */
static IntList* AddIntList(IntList* rev, IntList* more) {
    IntList* in_order = IntListInOrder(more);
    while (in_order) {
        IntList* next = in_order->tail();
        in_order->init(in_order->head(), rev);
        rev = in_order;
        in_order = next;
    }
    return rev;
}

static ExpList* GetExpList(Exp* e) { return new ExpList(e); }

/* rev is newest first; more is a one-element list. */
static ExpList* AddExpList(ExpList* rev, ExpList* more) {
    more->concat(rev);
    return more;
}

/* ---------------------------------------------------------------- symbols */

/* Interns the token text exactly as add("%s", text) would, without formatting. */
static int AddSymbol(const char* text) { return YY_Symbols->add_text(text, strlen(text)); }

static int BaseClock() { return YY_ecprg->base_clock(); }

/* ---------------------------------------------------------------- declarations */

static void AddUserConsts(IntList* names, int type_name, int clock) {
    IntList* l = IntListInOrder(names);
    for (IntList* c = l; c; c = c->tail())
        YY_ecprg->add_usr_const(c->head(), YY_ecprg->get_named_type(type_name), clock);
    FreeIntList(l);
}

static void AddInputs(IntList* names, int type_name, int clock) {
    IntList* l = IntListInOrder(names);
    for (IntList* c = l; c; c = c->tail())
        YY_ecprg->add_input(c->head(), YY_ecprg->get_named_type(type_name), clock);
    FreeIntList(l);
}

static void AddOutputs(IntList* names, int type_name, int clock) {
    IntList* l = IntListInOrder(names);
    for (IntList* c = l; c; c = c->tail())
        YY_ecprg->add_output(c->head(), YY_ecprg->get_named_type(type_name), clock, 0);
    FreeIntList(l);
}

static void AddLocals(IntList* names, int type_name, int clock) {
    IntList* l = IntListInOrder(names);
    for (IntList* c = l; c; c = c->tail())
        YY_ecprg->add_local(c->head(), YY_ecprg->get_named_type(type_name), clock);
    FreeIntList(l);
}

static void AddExternType(int name) { YY_ecprg->add_usr_type(name); }

static void AddEnumType(int name, IntList* constants) {
    IntList* l = IntListInOrder(constants);
    YY_ecprg->add_usr_type(name, l);  /* only read by the model */
    FreeIntList(l);
}

/* The type of a parameter list (pairs name, type name): the named type for
 * one parameter, the tuple type of the type names for several. */
static EcType* ParamsType(IntList* params) {
    IntList* rev = nullptr;
    for (IntList* c = params; c && c->tail(); c = c->tail()->tail())
        rev = new IntList(c->tail()->head(), rev);
    IntList* names = IntListInOrder(rev);
    EcType* t = YY_ecprg->define_type(names);
    if (!t || t->name_list() != names) FreeIntList(names);  /* not kept */
    return t;
}

static void AddUserFunction(int name, IntList* inputs, IntList* outputs) {
    IntList* in = IntListInOrder(inputs);
    IntList* out = IntListInOrder(outputs);
    EcType* in_type = ParamsType(in);
    EcType* out_type = ParamsType(out);
    YY_ecprg->add_usr_func(name, in_type, out_type, in, out);  /* keeps both */
}

static void DefineNodeName(int name) { YY_ecprg->def_name(name); }

/* ---------------------------------------------------------------- statements */

static void AddAssertion(Exp* e) { YY_ecprg->add_assertion(e); }

static void AddEquation(int name, Exp* e) { YY_ecprg->define_variable(name, e); }

static void AddTupleEquation(IntList* names, Exp* e) {
    YY_ecprg->define_tuple(IntListInOrder(names), e);  /* the program keeps names */
}

/* ---------------------------------------------------------------- expressions */

/* The reference leaf of a declared name. A name without a reference leaf (an
 * assertion's generated name) cannot stand in an expression either and gets
 * the same message. */
static Exp* GetIdentExp(int name) {
    Exp* ref = YY_ecprg->reference(name);
    if (!ref) YY_ecprg->error("undeclared ident '%s'", YY_ecprg->symbol(name));
    return ref;
}

static Exp* UExp(ExpNature n, Exp* a) { return YY_ecprg->get_exp(n, a); }

static Exp* BExp(ExpNature n, Exp* a, Exp* b) { return YY_ecprg->get_exp(n, a, b); }

static Exp* TExp(ExpNature n, Exp* a, Exp* b, Exp* c) { return YY_ecprg->get_exp(n, a, b, c); }

/* Builds the n-ary node over a newest-first operand list, then releases it. */
static Exp* NExp(ExpNature n, ExpList* rev) {
    ExpList* l = ExpListInOrder(rev);
    delete rev;
    Exp* e = YY_ecprg->get_exp(n, l);
    delete l;
    return e;
}

static Exp* GetCallExp(int function, Exp* argument) {
    return YY_ecprg->get_exp(CALL_n, argument, function);
}

static Exp* GetBoolConst(int id) { return YY_ecprg->get_bool_const(id); }
static Exp* GetIntConst(int id) { return YY_ecprg->get_int_const(id); }
static Exp* GetRealConst(int id) { return YY_ecprg->get_real_const(id); }

/* ---------------------------------------------------------------- entry points */

/* Points the reader at a program; the parser starts with no lookahead and
 * no errors counted. */
static void ReaderStart(EcPrg* prg, SymbolTable* symbols) {
    YY_Symbols = symbols;
    YY_ecprg = prg;
    ecprg_char = ECPRG_EMPTY;
    ecprg_nerrs = 0;
}

int EcParseFile(EcPrg* prg, SymbolTable* symbols, FILE* f) {
    ReaderStart(prg, symbols);
    yylexInitFile(START_PROGRAM, f);
    return ecprg_parse();
}

int EcParse(EcPrg* prg, SymbolTable* symbols, const char* path) {
    FILE* f = fopen(path, "r");
    if (!f) {
        fprintf(stderr, "EcParse : Can't open file '%s'\n", path);
        return 1;
    }
    int status = EcParseFile(prg, symbols, f);
    fclose(f);
    return status;
}

/* Runs an expression parse whose source the caller has just started. */
static int ExpParse(Exp** result) {
    int status = ecprg_parse();
    Exp* e = status == 0 ? ecexp : nullptr;
    *result = e;
    return e ? 0 : 1;
}

int EcExpParseFile(EcPrg* prg, SymbolTable* symbols, FILE* f, Exp** result) {
    ReaderStart(prg, symbols);
    yylexInitFile(START_EXPRESSION, f);
    return ExpParse(result);
}

int EcExpParseString(EcPrg* prg, SymbolTable* symbols, const char* text, Exp** result) {
    ReaderStart(prg, symbols);
    yylexInitString(START_EXPRESSION, text);
    return ExpParse(result);
}
