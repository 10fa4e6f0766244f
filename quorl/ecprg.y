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
%define api.pure full
%param {EcReader* r}
%expect 0

%code requires {
class Exp;
struct EcReader;
}

/* A list is a start index in one of the reader's stacks (names, operands):
 * its elements run from there to the stack's top, and the rule that
 * consumes it cuts the stack back. */
%union {
    const char* text;  /* token text, in the scanner's ring of buffers */
    int sym;           /* symbol identifier */
    int list;          /* start of a list on a reader stack */
    Exp* exp;
}

%code {
#include <cstring>

#include "corvel/symbols.h"
#include "quorl/ecprg.h"
#include "quorl/lexer.h"

void ecprg_error(EcReader* r, const char* message);

static int AddSymbol(EcReader* r, const char* text);
static int BaseClock(EcReader* r);
static int StartNames(EcReader* r, int first);
static void AddGroup(EcReader* r, int names, int type_name, int clock);
static void AddEnumType(EcReader* r, int name, int constants);
static void AddUserFunction(EcReader* r, int name, int inputs, int outputs);
static void AddTupleEquation(EcReader* r, int names, Exp* e);
static Exp* GetIdentExp(EcReader* r, int name);
static int StartOperands(EcReader* r, Exp* first);
static Exp* NExp(EcReader* r, ExpNature n, int operands);
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
%type <list> ident_list param params exp_list exp_list_multi
%type <exp> exp call constant

%start ec_input

%%

ec_input
    : START_PROGRAM program
    | START_EXPRESSION exp                  { r->ecexp = $2; }
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

/* Every declaration group, of constants, inputs, outputs or locals, is one
 * rule; the section it stands in says what it declares. */
decl_group
    : '(' ident_list ':' type_ref ')' "when" clock   { AddGroup(r, $2, $4, $7); }
    | ident_list ':' type_ref                        { AddGroup(r, $1, $3, BaseClock(r)); }
    ;

decl_groups
    : decl_group
    | decl_groups ';' decl_group
    ;

consts
    : %empty                                { r->decl_kind = DECL_CONSTS; }
    ;

inputs
    : %empty                                { r->decl_kind = DECL_INPUTS; }
    ;

outputs
    : %empty                                { r->decl_kind = DECL_OUTPUTS; }
    ;

locals
    : %empty                                { r->decl_kind = DECL_LOCALS; }
    ;

const_section
    : "const" consts decl_groups section_end
    ;

section_end
    : ';'
    | '.'
    ;

type_ref
    : predefined_type
    | named_type
    ;

predefined_type
    : "bool"                                { $$ = AddSymbol(r, $1); }
    | "int"                                 { $$ = AddSymbol(r, $1); }
    | "real"                                { $$ = AddSymbol(r, $1); }
    ;

named_type
    : ident
    ;

clock
    : ident
    | "true"                                { $$ = AddSymbol(r, $1); }
    ;

type_section
    : "type" type_defs section_end
    ;

type_defs
    : type_def
    | type_defs ',' type_def
    ;

type_def
    : ident                                 { r->prg->add_usr_type($1); }
    | ident '=' '(' ident_list ')'          { AddEnumType(r, $1, $4); }
    ;

ident
    : IDENT                                 { $$ = AddSymbol(r, $1); }
    ;

function_decl
    : "function" ident '(' params ')' "returns" '(' params ')' opt_end
                                            { AddUserFunction(r, $2, $4, $8); }
    ;

params
    : param
    | params ';' param
    ;

param
    : ident ':' type_ref                    { $$ = StartNames(r, $1); r->names.push_back($3); }
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
    : ident '(' inputs decl_groups ')' "returns" '(' outputs decl_groups ')' ';'
                                            { r->prg->def_name($1); }
    ;

var_section
    : %empty
    | "var" locals decl_groups ';'
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
    : "assert" exp ';'                      { r->prg->add_assertion($2); }
    | ident '=' exp ';'                     { r->prg->define_variable($1, $3); }
    | '(' ident_list ')' '=' exp ';'        { AddTupleEquation(r, $2, $5); }
    ;

ident_list
    : ident                                 { $$ = StartNames(r, $1); }
    | ident_list ',' ident                  { r->names.push_back($3); }
    ;

/* ---------------------------------------------------------------- expressions */

exp
    : '(' exp ')'                           { $$ = $2; }
    | constant
    | ident                                 { $$ = GetIdentExp(r, $1); }
    | "not" exp                             { $$ = r->prg->get_exp(NOT_n, $2); }
    | "int" exp                             { $$ = r->prg->get_exp(REAL2INT_n, $2); }
    | "real" exp                            { $$ = r->prg->get_exp(INT2REAL_n, $2); }
    | '-' exp %prec "pre"                   { $$ = r->prg->get_exp(UMINUS_n, $2); }
    | "pre" exp                             { $$ = r->prg->get_exp(PRE_n, $2); }
    | "current" exp                         { $$ = r->prg->get_exp(CURRENT_n, $2); }
    | exp "->" exp                          { $$ = r->prg->get_exp(ARROW_n, $1, $3); }
    | exp "when" exp                        { $$ = r->prg->get_exp(WHEN_n, $1, $3); }
    | exp "xor" exp                         { $$ = r->prg->get_exp(XOR_n, $1, $3); }
    | exp "or" exp                          { $$ = r->prg->get_exp(OR_n, $1, $3); }
    | exp "and" exp                         { $$ = r->prg->get_exp(AND_n, $1, $3); }
    | exp "=>" exp                          { $$ = r->prg->get_exp(IMPL_n, $1, $3); }
    | exp '=' exp                           { $$ = r->prg->get_exp(EQUAL_n, $1, $3); }
    | exp "<>" exp                          { $$ = r->prg->get_exp(NEQ_n, $1, $3); }
    | exp '<' exp                           { $$ = r->prg->get_exp(LT_n, $1, $3); }
    | exp "<=" exp                          { $$ = r->prg->get_exp(LTE_n, $1, $3); }
    | exp ">=" exp                          { $$ = r->prg->get_exp(GTE_n, $1, $3); }
    | exp '>' exp                           { $$ = r->prg->get_exp(GT_n, $1, $3); }
    | exp '*' exp                           { $$ = r->prg->get_exp(TIMES_n, $1, $3); }
    | exp '/' exp                           { $$ = r->prg->get_exp(SLASH_n, $1, $3); }
    | exp '%' exp                           { $$ = r->prg->get_exp(MOD_n, $1, $3); }
    | exp "mod" exp                         { $$ = r->prg->get_exp(MOD_n, $1, $3); }
    | exp "div" exp                         { $$ = r->prg->get_exp(DIV_n, $1, $3); }
    | exp '+' exp                           { $$ = r->prg->get_exp(PLUS_n, $1, $3); }
    | exp '-' exp                           { $$ = r->prg->get_exp(MINUS_n, $1, $3); }
    | exp "**" exp                          { $$ = r->prg->get_exp(POWER_n, $1, $3); }
    | "if" exp "then" exp "else" exp        { $$ = r->prg->get_exp(IF_n, $2, $4, $6); }
    | call
    | '#' '(' exp_list_multi ')'            { $$ = NExp(r, DIESE_n, $3); }
    | "nor" '(' exp_list ')'                { $$ = NExp(r, NOR_n, $3); }
    | '(' exp_list_multi ')'                { $$ = NExp(r, TUPLE_n, $2); }
    ;

call
    : ident '(' exp ')'                     { $$ = r->prg->get_exp(CALL_n, $3, $1); }
    | ident '(' exp_list_multi ')'
                                { $$ = r->prg->get_exp(CALL_n, NExp(r, TUPLE_n, $3), $1); }
    ;

exp_list_multi
    : exp_list ',' exp                      { r->operands.push_back($3); }
    ;

exp_list
    : exp                                   { $$ = StartOperands(r, $1); }
    | exp_list_multi
    ;

constant
    : "true"                                { $$ = r->prg->get_bool_const(AddSymbol(r, $1)); }
    | "false"                               { $$ = r->prg->get_bool_const(AddSymbol(r, $1)); }
    | INT_LITERAL                           { $$ = r->prg->get_int_const(AddSymbol(r, $1)); }
    | REAL_LITERAL                          { $$ = r->prg->get_real_const(AddSymbol(r, $1)); }
    ;

%%

/* ---------------------------------------------------------------- errors */

void ecprg_error(EcReader* r, const char* message) {
    r->prg->error("%s line %d near '%s'", message, r->yyline, printLexeme(r, r->result));
}

/* ---------------------------------------------------------------- symbols */

/* Interns the token text exactly as add("%s", text) would, without formatting. */
static int AddSymbol(EcReader* r, const char* text) {
    return r->symbols->add_text(text, strlen(text));
}

static int BaseClock(EcReader* r) { return r->prg->base_clock(); }

/* ---------------------------------------------------------------- lists */

static int StartNames(EcReader* r, int first) {
    int start = (int)r->names.size();
    r->names.push_back(first);
    return start;
}

static int StartOperands(EcReader* r, Exp* first) {
    int start = (int)r->operands.size();
    r->operands.push_back(first);
    return start;
}

/* ---------------------------------------------------------------- declarations */

static void AddGroup(EcReader* r, int names, int type_name, int clock) {
    EcPrg* prg = r->prg;
    for (size_t k = (size_t)names; k < r->names.size(); ++k) {
        int name = r->names[k];
        EcType* type = prg->get_named_type(type_name);
        switch (r->decl_kind) {
        case DECL_CONSTS: prg->add_usr_const(name, type, clock); break;
        case DECL_INPUTS: prg->add_input(name, type, clock); break;
        case DECL_OUTPUTS: prg->add_output(name, type, clock, 0); break;
        case DECL_LOCALS: prg->add_local(name, type, clock); break;
        }
    }
    r->names.resize((size_t)names);
}

static void AddEnumType(EcReader* r, int name, int constants) {
    int n = (int)r->names.size() - constants;
    r->prg->add_usr_type(name, r->names.data() + constants, n);
    r->names.resize((size_t)constants);
}

/* The type of a parameter list (pairs name, type name from `at'): the named
 * type for one parameter, the tuple type of the type names for several. */
static EcType* ParamsType(EcReader* r, int at, int end) {
    std::vector<int> types;
    for (int k = at + 1; k < end; k += 2) types.push_back(r->names[(size_t)k]);
    return r->prg->define_type(types.data(), (int)types.size());
}

static void AddUserFunction(EcReader* r, int name, int inputs, int outputs) {
    int end = (int)r->names.size();
    EcPrg* prg = r->prg;
    EcType* in_type = ParamsType(r, inputs, outputs);
    EcType* out_type = ParamsType(r, outputs, end);
    IntList* in = prg->new_list(r->names.data() + inputs, outputs - inputs);
    IntList* out = prg->new_list(r->names.data() + outputs, end - outputs);
    prg->add_usr_func(name, in_type, out_type, in, out);
    r->names.resize((size_t)inputs);
}

/* ---------------------------------------------------------------- statements */

static void AddTupleEquation(EcReader* r, int names, Exp* e) {
    int n = (int)r->names.size() - names;
    r->prg->define_tuple(r->prg->new_list(r->names.data() + names, n), e);
    r->names.resize((size_t)names);
}

/* ---------------------------------------------------------------- expressions */

/* The reference leaf of a declared name. A name without a reference leaf (an
 * assertion's generated name) cannot stand in an expression either and gets
 * the same message. */
static Exp* GetIdentExp(EcReader* r, int name) {
    Exp* ref = r->prg->reference(name);
    if (!ref) r->prg->error("undeclared ident '%s'", r->prg->symbol(name));
    return ref;
}

/* The n-ary node over the operands from `operands' on, which it consumes. */
static Exp* NExp(EcReader* r, ExpNature n, int operands) {
    int count = (int)r->operands.size() - operands;
    Exp* e = r->prg->get_exp(n, count, r->operands.data() + operands);
    r->operands.resize((size_t)operands);
    return e;
}
