/* The ec parser: reads a whole ec program (START_PROGRAM) or one lone
 * expression (START_EXPRESSION) straight into the program model. There is no
 * syntax tree: each reduction calls the program's building operations.
 *
 * Generated with the C skeleton and compiled as C++: every semantic value is
 * a plain pointer or int and a location is an unsigned, so the parse stacks
 * can be moved with memcpy. The skeleton would move them itself only for
 * its default location type: compiled as C++ with another one, it leaves
 * the stacks at their first 200 entries. They grow through yyoverflow
 * instead, into storage the reader owns.
 */

%{
/* The parse stack starts with room for 200 entries and doubles up to 10000;
 * a deeper text fails with "memory exhausted". */
#define YYINITDEPTH 200
#define YYMAXDEPTH 10000
#define yyoverflow(message, ss, ss_bytes, vs, vs_bytes, ls, ls_bytes, size)          \
    do {                                                                            \
        if (!GrowParseStacks(r, ss, ss_bytes, vs, vs_bytes, ls, ls_bytes, size)) YYNOMEM; \
    } while (0)
/* A location is the position of a symbol's first token (quorl/source.h). */
#define YYLLOC_DEFAULT(Current, Rhs, N) (Current) = (N) ? YYRHSLOC(Rhs, 1) : YYRHSLOC(Rhs, 0)
%}

%define api.prefix {ecprg_}
%define api.pure full
%define api.location.type {unsigned}
%locations
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
#include <string>
#include <type_traits>

#include "corvel/symbols.h"
#include "quorl/ecprg.h"
#include "quorl/lexer.h"

void ecprg_error(unsigned* pos, EcReader* r, const char* message);

static int AddSymbol(EcReader* r, const char* text);
static int BaseClock(EcReader* r);
static int StartNames(EcReader* r, int first, unsigned pos);
static void PushName(EcReader* r, int name, unsigned pos);
static void AddGroup(EcReader* r, int names, int type_name, unsigned type_pos, int clock,
                     unsigned clock_pos);
static void AddType(EcReader* r, int name, unsigned pos, int constants);
static void AddUserFunction(EcReader* r, int name, unsigned pos, int inputs, int outputs);
static void AddEquation(EcReader* r, int name, unsigned pos, Exp* e);
static void AddTupleEquation(EcReader* r, int names, Exp* e);
static void AddAssertion(EcReader* r, unsigned pos, Exp* e);
static Exp* At(EcReader* r, unsigned pos, Exp* e);
static Exp* Bin(EcReader* r, ExpNature n, Exp* a, unsigned pos, Exp* b);
static Exp* GetIdentExp(EcReader* r, int name, unsigned pos);
static Exp* Call(EcReader* r, int function, unsigned pos, Exp* argument);
static int StartOperands(EcReader* r, Exp* first);
static Exp* NExp(EcReader* r, ExpNature n, int operands);

/* Moves one parse stack (`used' bytes in use) into `store', resized for
 * `count' entries: from the parser's own first array at the first growth,
 * within the store afterwards. */
template <class T>
static void MoveParseStack(std::vector<unsigned char>& store, T** stack, long used, long count) {
    static_assert(std::is_trivially_copyable<T>::value, "parse stack entries are copied as bytes");
    bool first = store.empty();
    store.resize((size_t)count * sizeof(T));
    if (first) memcpy(store.data(), *stack, (size_t)used);
    *stack = reinterpret_cast<T*>(store.data());
}

/* The parse stacks double, up to YYMAXDEPTH entries; false when they are
 * there already ("memory exhausted"). */
template <class State, class Size>
static bool GrowParseStacks(EcReader* r, State** ss, long ss_bytes, ECPRG_STYPE** vs,
                            long vs_bytes, ECPRG_LTYPE** ls, long ls_bytes, Size* size) {
    if (*size >= YYMAXDEPTH) return false;
    *size = *size * 2 < YYMAXDEPTH ? *size * 2 : YYMAXDEPTH;
    MoveParseStack(r->parse_stacks[0], ss, ss_bytes, (long)*size);
    MoveParseStack(r->parse_stacks[1], vs, vs_bytes, (long)*size);
    MoveParseStack(r->parse_stacks[2], ls, ls_bytes, (long)*size);
    return true;
}
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
%type <list> ident_list tuple_names param params exp_list exp_list_multi
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
    : '(' ident_list ':' type_ref ')' "when" clock   { AddGroup(r, $2, $4, @4, $7, @7); }
    | ident_list ':' type_ref                        { AddGroup(r, $1, $3, @3, BaseClock(r), 0); }
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
    : ident                                 { AddType(r, $1, @1, -1); }
    | ident '=' '(' ident_list ')'          { AddType(r, $1, @1, $4); }
    ;

ident
    : IDENT                                 { $$ = AddSymbol(r, $1); }
    ;

function_decl
    : "function" ident '(' params ')' "returns" '(' params ')' opt_end
                                            { AddUserFunction(r, $2, @2, $4, $8); }
    ;

params
    : param
    | params ';' param
    ;

param
    : ident ':' type_ref                    { $$ = StartNames(r, $1, @1); PushName(r, $3, @3); }
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

/* What is noted while reading an equation belongs to its (first) variable. */
statement
    : "assert" exp ';'                      { AddAssertion(r, @1, $2); }
    | ident '=' { r->equation_of = $1; } exp ';'
                                            { AddEquation(r, $1, @1, $4); }
    | '(' ident_list ')' '=' { r->equation_of = r->names[(size_t)$2]; } exp ';'
                                            { AddTupleEquation(r, $2, $6); }
    | tuple_names '=' { r->equation_of = r->names[(size_t)$1]; } exp ';'
                                            { AddTupleEquation(r, $1, $4); }
    ;

ident_list
    : ident                                 { $$ = StartNames(r, $1, @1); }
    | ident_list ',' ident                  { PushName(r, $3, @3); }
    ;

/* The names of a tuple equation written without parentheses. */
tuple_names
    : ident ',' ident                       { $$ = StartNames(r, $1, @1); PushName(r, $3, @3); }
    | tuple_names ',' ident                 { PushName(r, $3, @3); }
    ;

/* ---------------------------------------------------------------- expressions */

exp
    : '(' exp ')'                           { $$ = $2; }
    | constant
    | ident                                 { $$ = GetIdentExp(r, $1, @1); }
    | "not" exp                             { $$ = At(r, @1, r->prg->get_exp(NOT_n, $2)); }
    | "int" exp                             { $$ = At(r, @1, r->prg->get_exp(REAL2INT_n, $2)); }
    | "real" exp                            { $$ = At(r, @1, r->prg->get_exp(INT2REAL_n, $2)); }
    | '-' exp %prec "pre"                   { $$ = At(r, @1, r->prg->get_exp(UMINUS_n, $2)); }
    | "pre" exp                             { $$ = At(r, @1, r->prg->get_exp(PRE_n, $2)); }
    | "current" exp                         { $$ = At(r, @1, r->prg->get_exp(CURRENT_n, $2)); }
    | exp "->" exp                          { $$ = Bin(r, ARROW_n, $1, @2, $3); }
    | exp "when" exp                        { $$ = Bin(r, WHEN_n, $1, @2, $3); }
    | exp "xor" exp                         { $$ = Bin(r, XOR_n, $1, @2, $3); }
    | exp "or" exp                          { $$ = Bin(r, OR_n, $1, @2, $3); }
    | exp "and" exp                         { $$ = Bin(r, AND_n, $1, @2, $3); }
    | exp "=>" exp                          { $$ = Bin(r, IMPL_n, $1, @2, $3); }
    | exp '=' exp                           { $$ = Bin(r, EQUAL_n, $1, @2, $3); }
    | exp "<>" exp                          { $$ = Bin(r, NEQ_n, $1, @2, $3); }
    | exp '<' exp                           { $$ = Bin(r, LT_n, $1, @2, $3); }
    | exp "<=" exp                          { $$ = Bin(r, LTE_n, $1, @2, $3); }
    | exp ">=" exp                          { $$ = Bin(r, GTE_n, $1, @2, $3); }
    | exp '>' exp                           { $$ = Bin(r, GT_n, $1, @2, $3); }
    | exp '*' exp                           { $$ = Bin(r, TIMES_n, $1, @2, $3); }
    | exp '/' exp                           { $$ = Bin(r, SLASH_n, $1, @2, $3); }
    | exp '%' exp                           { $$ = Bin(r, MOD_n, $1, @2, $3); }
    | exp "mod" exp                         { $$ = Bin(r, MOD_n, $1, @2, $3); }
    | exp "div" exp                         { $$ = Bin(r, DIV_n, $1, @2, $3); }
    | exp '+' exp                           { $$ = Bin(r, PLUS_n, $1, @2, $3); }
    | exp '-' exp                           { $$ = Bin(r, MINUS_n, $1, @2, $3); }
    | exp "**" exp                          { $$ = Bin(r, POWER_n, $1, @2, $3); }
    | "if" exp "then" exp "else" exp        { $$ = At(r, @1, r->prg->get_exp(IF_n, $2, $4, $6)); }
    | call
    | '#' '(' exp_list_multi ')'            { $$ = At(r, @1, NExp(r, DIESE_n, $3)); }
    | "nor" '(' exp_list ')'                { $$ = At(r, @1, NExp(r, NOR_n, $3)); }
    | '(' exp_list_multi ')'                { $$ = At(r, @1, NExp(r, TUPLE_n, $2)); }
    ;

call
    : ident '(' exp ')'                     { $$ = Call(r, $1, @1, $3); }
    | ident '(' exp_list_multi ')'          { $$ = Call(r, $1, @1, At(r, @2, NExp(r, TUPLE_n, $3))); }
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

/* "syntax error" at the lookahead token, or "memory exhausted". */
void ecprg_error(unsigned* pos, EcReader* r, const char* message) {
    record_failure(r, FAIL_SYNTAX, message, *pos);
}

/* ---------------------------------------------------------------- symbols */

/* Interns the token text exactly as add("%s", text) would, without formatting. */
static int AddSymbol(EcReader* r, const char* text) {
    return r->symbols->add_text(text, strlen(text));
}

static int BaseClock(EcReader* r) { return r->prg->base_clock(); }

/* Positions are kept for a file only: nodes built from a Tcl string have none. */
static unsigned Kept(EcReader* r, unsigned pos) { return r->keep_positions ? pos : 0; }

/* ---------------------------------------------------------------- lists */

static void PushName(EcReader* r, int name, unsigned pos) {
    r->names.push_back(name);
    r->name_pos.push_back(pos);
}

static int StartNames(EcReader* r, int first, unsigned pos) {
    int start = (int)r->names.size();
    PushName(r, first, pos);
    return start;
}

static void CutNames(EcReader* r, int start) {
    r->names.resize((size_t)start);
    r->name_pos.resize((size_t)start);
}

static int StartOperands(EcReader* r, Exp* first) {
    int start = (int)r->operands.size();
    r->operands.push_back(first);
    return start;
}

/* ---------------------------------------------------------------- declarations */

/* A name declared again is noted where it is declared again; the model
 * gives it a new record all the same. */
static void NoteRedeclared(EcReader* r, int name, unsigned pos) {
    if (r->prg->get_ident_info(name) || r->prg->get_func_info(name))
        r->prg->source().note(NOTE_REDECLARED, name, Kept(r, pos));
}

static void AddGroup(EcReader* r, int names, int type_name, unsigned type_pos, int clock,
                     unsigned clock_pos) {
    EcPrg* prg = r->prg;
    EcType* type = prg->get_named_type(type_name);
    if (!type) prg->source().note(NOTE_UNDECLARED_TYPE, type_name, Kept(r, type_pos));
    for (size_t k = (size_t)names; k < r->names.size(); ++k) {
        int name = r->names[k];
        unsigned pos = Kept(r, r->name_pos[k]);
        NoteRedeclared(r, name, pos);
        switch (r->decl_kind) {
        case DECL_CONSTS: prg->add_usr_const(name, type, clock); break;
        case DECL_INPUTS: prg->add_input(name, type, clock); break;
        case DECL_OUTPUTS: prg->add_output(name, type, clock, 0); break;
        case DECL_LOCALS: prg->add_local(name, type, clock); break;
        }
        prg->get_ident_info(name)->set_pos(pos);
        if (!type) prg->note_untyped(name, type_name);
        if (clock != prg->base_clock())
            prg->source().note(NOTE_CLOCKED, name, Kept(r, clock_pos), clock);
    }
    CutNames(r, names);
}

/* A type declared again is ignored by the model: the note keeps the
 * declaration as written, for the ec text. */
static void NoteRedeclaredType(EcReader* r, int name, unsigned pos, int constants) {
    std::string text = r->prg->symbol(name);
    if (constants >= 0) {
        for (size_t k = (size_t)constants; k < r->names.size(); ++k)
            text += ((int)k == constants ? " = (" : ", ") + std::string(r->prg->symbol(r->names[k]));
        text += ")";
    }
    SourceMap& source = r->prg->source();
    source.note(NOTE_REDECLARED_TYPE, name, Kept(r, pos), source.keep_text(text));
}

/* An external type (constants < 0) or an enumeration. */
static void AddType(EcReader* r, int name, unsigned pos, int constants) {
    EcPrg* prg = r->prg;
    if (prg->find_named_type(name)) NoteRedeclaredType(r, name, pos, constants);
    if (constants < 0) {
        prg->add_usr_type(name);
    } else {
        for (size_t k = (size_t)constants; k < r->names.size(); ++k)
            NoteRedeclared(r, r->names[k], Kept(r, r->name_pos[k]));
        int n = (int)r->names.size() - constants;
        prg->add_usr_type(name, r->names.data() + constants, n);
        for (size_t k = (size_t)constants; k < r->names.size(); ++k) {
            IdentInfo* value = prg->get_ident_info(r->names[k]);
            if (value && value->ident_mode() == ENUM_CONST_m) value->set_pos(Kept(r, r->name_pos[k]));
        }
        CutNames(r, constants);
    }
    if (EcType* t = prg->find_named_type(name)) {
        if (!t->pos()) t->set_pos(Kept(r, pos));
    }
}

/* The type of a parameter list (pairs name, type name from `at'): the named
 * type for one parameter, the tuple type of the type names for several.
 * Every type name must be declared: a tuple's members are not looked up. */
static EcType* ParamsType(EcReader* r, int at, int end) {
    std::vector<int> types;
    for (int k = at + 1; k < end; k += 2) {
        int type = r->names[(size_t)k];
        types.push_back(type);
        if (!r->prg->find_named_type(type))
            r->prg->source().note(NOTE_UNDECLARED_TYPE, type, Kept(r, r->name_pos[(size_t)k]));
    }
    return r->prg->define_type(types.data(), (int)types.size());
}

static void AddUserFunction(EcReader* r, int name, unsigned pos, int inputs, int outputs) {
    int end = (int)r->names.size();
    EcPrg* prg = r->prg;
    NoteRedeclared(r, name, pos);
    EcType* in_type = ParamsType(r, inputs, outputs);
    EcType* out_type = ParamsType(r, outputs, end);
    IntList* in = prg->new_list(r->names.data() + inputs, outputs - inputs);
    IntList* out = prg->new_list(r->names.data() + outputs, end - outputs);
    prg->add_usr_func(name, in_type, out_type, in, out);
    prg->get_func_info(name)->set_pos(Kept(r, pos));
    CutNames(r, inputs);
}

/* ---------------------------------------------------------------- statements */

/* Whether name is an output or a local, which an equation may define. */
static bool Definable(EcReader* r, int name) {
    IdentInfo* info = r->prg->get_ident_info(name);
    return info && (info->ident_mode() == OUTPUT_m || info->ident_mode() == LOCAL_m);
}

/* Where the statement that gave `name' its equation was read (a file's
 * equations are noted as they are linked). */
static unsigned& StatementOf(EcReader* r, int name) {
    if ((size_t)name >= r->statement_of.size()) r->statement_of.resize((size_t)name + 1, 0);
    return r->statement_of[(size_t)name];
}

static void NoteLinked(EcReader* r, const int* names, int n, unsigned pos) {
    if (!r->keep_positions) return;
    for (int k = 0; k < n; ++k)
        if (Definable(r, names[k])) StatementOf(r, names[k]) = pos;
}

/* Notes what makes an equation for `name' wrong; the model links it all the
 * same, as the reader is defined to. The equation it replaces is kept for
 * the end of the statement. */
static void NoteEquation(EcReader* r, int name, unsigned pos) {
    pos = Kept(r, pos);
    IdentInfo* info = r->prg->get_ident_info(name);
    if (!info) {
        r->prg->source().note(NOTE_UNDECLARED_VARIABLE, name, pos);
    } else if (!Definable(r, name)) {
        r->prg->source().note(NOTE_NOT_DEFINABLE, name, pos);
    } else if (info->eq_pos() || info->ec_def()) {
        r->prg->source().note(NOTE_REDEFINED, name, pos, 0, name);
        if (r->keep_positions && info->ec_def())
            r->replaced.push_back(EcReader::Replaced{name, info->tuple_members(),
                                                     info->right_side(), StatementOf(r, name)});
    } else {
        info->set_eq_pos(pos);
    }
}

/* Keeps a statement that the program does not hold, for the ec text. */
static void PassOver(EcReader* r, unsigned pos, const int* names, int n, Exp* e) {
    if (!r->keep_positions || !e) return;
    r->prg->source().pass_over(pos, r->equation_of,
                               PassedStatement{std::vector<int>(names, names + n), e});
}

/* The equations the statement replaced, once it is linked: a replaced tuple
 * equation goes only when none of its names holds it any more. */
static void PassOverReplaced(EcReader* r) {
    for (size_t k = 0; k < r->replaced.size(); ++k) {
        const EcReader::Replaced& old = r->replaced[k];
        bool seen = false, held = false;
        for (size_t j = 0; j < k; ++j) seen = seen || r->replaced[j].rhs == old.rhs;
        for (const IntList* m = old.tuple; m && !held; m = m->tail()) {
            IdentInfo* member = r->prg->get_ident_info(m->head());
            held = member && member->tuple_members() == old.tuple && member->right_side() == old.rhs;
        }
        if (seen || held) continue;
        std::vector<int> names;
        for (const IntList* m = old.tuple; m; m = m->tail()) names.push_back(m->head());
        if (!old.tuple) names.push_back(old.name);
        r->prg->source().pass_over(old.statement, r->equation_of, PassedStatement{names, old.rhs});
    }
    r->replaced.clear();
}

/* The end of a statement whose right side the program holds as e (null when
 * dropped). */
static void EndStatement(EcReader* r, Exp* e) {
    if (!e)
        for (int name : r->reads) r->prg->source().note(NOTE_READ, name, 0, 0, r->equation_of);
    r->reads.clear();
    r->equation_of = 0;
    r->dropping = false;
}

/* A statement that reads an undeclared name is dropped: the model gets a
 * null right side, as the reader is defined to give it. */
static void AddEquation(EcReader* r, int name, unsigned pos, Exp* e) {
    Exp* kept = r->dropping ? nullptr : e;
    NoteEquation(r, name, pos);
    r->prg->define_variable(name, kept);
    NoteLinked(r, &name, 1, Kept(r, pos));
    PassOverReplaced(r);
    if (!kept || !Definable(r, name)) PassOver(r, Kept(r, pos), &name, 1, e);
    EndStatement(r, kept);
}

static void AddTupleEquation(EcReader* r, int names, Exp* e) {
    Exp* kept = r->dropping ? nullptr : e;
    int n = (int)r->names.size() - names;
    bool definable = false;
    for (size_t k = (size_t)names; k < r->names.size(); ++k) {
        NoteEquation(r, r->names[k], r->name_pos[k]);
        definable = definable || Definable(r, r->names[k]);
    }
    r->prg->define_tuple(r->prg->new_list(r->names.data() + names, n), kept);
    unsigned pos = Kept(r, r->name_pos[(size_t)names]);
    NoteLinked(r, r->names.data() + names, n, pos);
    PassOverReplaced(r);
    if (!kept || !definable) PassOver(r, pos, r->names.data() + names, n, e);
    CutNames(r, names);
    EndStatement(r, kept);
}

static void AddAssertion(EcReader* r, unsigned pos, Exp* e) {
    Exp* kept = r->dropping ? nullptr : e;
    r->prg->add_assertion(kept);
    if (kept) r->prg->last_assertion()->set_eq_pos(Kept(r, pos));
    else PassOver(r, Kept(r, pos), nullptr, 0, e);
    EndStatement(r, kept);
}

/* ---------------------------------------------------------------- expressions */

static Exp* At(EcReader* r, unsigned pos, Exp* e) {
    if (e) e->set_pos(Kept(r, pos));
    return e;
}

static Exp* Bin(EcReader* r, ExpNature n, Exp* a, unsigned pos, Exp* b) {
    return At(r, pos, r->prg->get_exp(n, a, b));
}

/* The reference leaf of a declared name. A name without a reference leaf (an
 * assertion's generated name) cannot stand in an expression either and gets
 * the same message. Only a program read from a file has notes: a failed
 * expression of the Tcl operations leaves nothing behind. In a file, the
 * statement that reads such a name is dropped at its end, and kept whole
 * for the ec text: the name stands in it as a leaf of its own. */
static Exp* GetIdentExp(EcReader* r, int name, unsigned pos) {
    Exp* ref = r->prg->reference(name);
    if (!ref) {
        record_failure(r, FAIL_UNDECLARED, r->prg->symbol(name));
        if (r->keep_positions) {
            r->prg->source().note(NOTE_UNDECLARED, name, pos, 0, r->equation_of);
            r->dropping = true;
            return r->prg->undeclared_leaf(name);
        }
    } else if (r->keep_positions) {
        r->reads.push_back(name);
    }
    return ref;
}

/* A call. In a program read from a file, a function that is not declared
 * is noted here, since its statement may be dropped before check sees it. */
static Exp* Call(EcReader* r, int function, unsigned pos, Exp* argument) {
    if (r->keep_positions && !r->prg->get_func_info(function))
        r->prg->source().note(NOTE_UNDECLARED_FUNCTION, function, pos, 0, r->equation_of);
    return At(r, pos, r->prg->get_exp(CALL_n, argument, function));
}

/* The n-ary node over the operands from `operands' on, which it consumes. */
static Exp* NExp(EcReader* r, ExpNature n, int operands) {
    int count = (int)r->operands.size() - operands;
    Exp* e = r->prg->get_exp(n, count, r->operands.data() + operands);
    r->operands.resize((size_t)operands);
    return e;
}
