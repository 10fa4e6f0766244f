// The reader: token streams, whole programs and their messages, the
// grouping and typing of expressions, and the undo of a failed expression.
// What a loaded program holds is checked through the program object by the
// Tcl tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "corvel/pty.h"
#include "corvel/symbols.h"
#include "quorl/depgraph.h"
#include "quorl/ec-exp-writer.h"
#include "quorl/ecprg.h"
#include "quorl/lexer.h"
#include "quorl/reader.h"

namespace {

FILE* file_holding(const std::string& text) {
    FILE* f = tmpfile();
    fwrite(text.data(), 1, text.size(), f);
    rewind(f);
    return f;
}

struct Program {
    SymbolTable symbols;
    EcPrg prg{&symbols};

    int load(const std::string& text) {
        FILE* f = file_holding(text);
        int status = EcParseFile(&prg, &symbols, f);
        EXPECT_EQ(fclose(f), 0);
        return status;
    }
    Exp* exp(const std::string& text) {  // parsed, not typed
        Exp* e = nullptr;
        EcExpParseString(&prg, &symbols, text.c_str(), &e);
        return e;
    }
    int id(const char* name) { return symbols.find("%s", name); }
    std::string error() const { return prg.error_msg(); }
    std::string text(Exp* e) {  // the printed definition
        char* buf = nullptr;
        size_t len = 0;
        {
            PtyStream out(open_memstream(&buf, &len), 1 << 20);
            e->print_def(&out, &symbols);
        }
        std::string s(buf, len);
        free(buf);
        return s;
    }
};

std::string syntax(int line, const char* near) {
    return "syntax error line " + std::to_string(line) + " near '" + near + "'";
}
std::string lexical(const std::string& what, int line) {
    return "lexical error: " + what + ", line '" + std::to_string(line) + "'";
}
std::string too_long(int line) { return lexical("lexeme longer than 1023 characters", line); }

// The tokens of a text, blank-separated, kind:text for those that carry one.
std::string tokens(Program& p, const std::string& text, bool from_file, int* line) {
    EcReader r(&p.prg, &p.symbols);
    FILE* f = from_file ? file_holding(text) : nullptr;
    FileSource source(f);
    if (f)
        yylexInitFile(&r, START_PROGRAM, &source);
    else
        yylexInitString(&r, START_PROGRAM, text.c_str());
    ECPRG_STYPE value{};
    ECPRG_LTYPE where = 0;
    std::string out;
    EXPECT_EQ(ecprg_lex(&value, &where, &r), START_PROGRAM);
    for (int t; (t = ecprg_lex(&value, &where, &r)) != -1;) {
        out += out.empty() ? "" : " ";
        const char* kind = t == IDENT          ? "id:"
                           : t == INT_LITERAL  ? "int:"
                           : t == REAL_LITERAL ? "real:"
                                               : nullptr;
        out += kind ? kind + std::string(value.text) : printLexeme(&r, t);
    }
    if (f) {
        EXPECT_EQ(fclose(f), 0);
    }
    *line = r.yyline;
    return out;
}

// A string and a file with the same text give the same tokens, message and
// line, wherever a file's block boundary falls.
TEST(Reader, Tokens) {
    const std::string w1023(1023, 'w');
    const std::string keywords =
        "and or xor not nor if then else pre current when div mod node returns var let tel "
        "assert const type function";
    auto padded = [](size_t pad) {
        return std::string(pad, ' ') +
               "alpha_beta 12.5e-3 -> (* a\ncomment *) -- line\n<> delta\n" +
               std::string(70000, '\n') + "omega";
    };
    const char* kPadded = "id:alpha_beta real:12.5e-3 -> <> id:delta id:omega";
    const struct {
        std::string text, tokens, error;
        int line;
    } cases[] = {
        {"  \t\r\n\v\f ", "", "", 2},
        {"a--b\nc", "id:a id:c", "", 2},
        {"a - -b", "id:a - - id:b", "", 1},
        {"(*)x (**)y", "id:x id:y", "", 1},
        {"(* (* x *) y *)", "id:y * )", "", 1},
        {"a (* never\nclosed\n", "id:a", "", 3},
        {"1. 1.5 1e5 1E+5 1.e-3", "real:1. real:1.5 real:1e5 real:1E+5 real:1.e-3", "", 1},
        {"0 007 .5 -1", "int:0 int:007 . int:5 - int:1", "", 1},
        {"x\n1e+ y", "id:x", lexical("bad real syntax", 2), 2},
        {"1.5e-", "", lexical("bad real syntax", 1), 1},
        {"12abc _x1", "int:12 id:abc id:_x1", "", 1},
        {"<> <= >= => -> ** <- *) ==>", "<> <= >= => -> ** < - * ) = =>", "", 1},
        {". ; ) : , / % + # = ( - < > *", ". ; ) : , / % + # = ( - < > *", "", 1},
        {"a\n$ b", "id:a", lexical("unknown char '36' ($)", 2), 2},
        {"x \x80", "id:x", lexical("unknown char '128' (\x80)", 1), 1},
        {"\xFF", "", lexical("unknown char '255' (\xFF)", 1), 1},
        {keywords, keywords, "", 1},
        {"AND Node TRUE andx tel1 int1 true bool",
         "id:AND id:Node id:TRUE id:andx id:tel1 id:int1 true bool", "", 1},
        {w1023 + " x", "id:" + w1023 + " id:x", "", 1},
        {std::string(1024, 'w'), "", too_long(1), 1},
        {"a\n" + std::string(1020, '1') + ".123e+5", "id:a", too_long(2), 2},
        {"\n" + std::string(65000, ' ') + std::string(2000, 'w'), "", too_long(2), 2},
        {padded(65533), kPadded, "", 70004},
        {padded(65536), kPadded, "", 70004},
        {padded(131070), kPadded, "", 70004},
    };
    for (const auto& c : cases) {
        for (bool file : {false, true}) {
            Program p;
            int line = 0;
            EXPECT_EQ(tokens(p, c.text, file, &line), c.tokens) << c.text.substr(0, 40);
            EXPECT_EQ(p.error(), c.error) << c.text.substr(0, 40);
            EXPECT_EQ(line, c.line) << c.text.substr(0, 40);
        }
    }
}

TEST(Reader, ProgramsAndTheirMessages) {
    const std::string n = "node n(x : int) returns (o : int); ";
    // The parse stack grows from 200 entries to 10,000: a nesting between
    // the two reads, a deeper one does not.
    auto nested = [](size_t depth) {
        return "let o = " + std::string(depth, '(') + "x" + std::string(depth, ')') + "; tel";
    };
    const struct {
        std::string text;
        int status;
        std::string error;
    } cases[] = {
        {"", 0, ""},
        {"(* only *) -- comments\n", 0, ""},
        {"type t;", 1, syntax(1, "EOF")},
        {"const a : int;\nfunction f(x : int) returns (y : int)\n", 1, syntax(3, "EOF")},
        {"node n() returns (o : int); let tel", 1, syntax(1, ")")},
        {n + "var ; let tel", 1, syntax(1, ";")},
        {n + "let tel.", 0, ""},
        {n + "let tel; ;", 1, syntax(1, ";")},
        {n + "let tel\nnode m", 1, syntax(2, "node")},
        {n + "\nlet\n o = x y;\ntel", 1, syntax(3, "y")},
        {n + "let o = z; tel", 0, "undeclared ident 'z'"},
        {n + "let tel [", 0, lexical("unknown char '91' ([)", 1)},
        {"node n(x : zz) returns (o : int); let tel", 0, "EcPrg: type 'zz' undeclared"},
        {"type int; " + n + "let tel", 1, syntax(1, "int")},
        {"type t, t; node n(x : t) returns (o : int); let tel", 0, "type 't' already declared"},
        {"node n(a, b, c", 1, syntax(1, "EOF")},
        {"type e = (r, g, b", 1, syntax(1, "EOF")},
        {"function f(a : int; b : int) returns (c : int; d", 1, syntax(1, "EOF")},
        {n + "let (a, b, c) = ; tel", 1, syntax(1, ";")},
        {n + "let o = f(x, (x, x), x; tel", 1, syntax(1, ";")},
        {n + nested(3000), 0, ""},
        {n + nested(12000), 2, "memory exhausted line 1 near '('"},
        {n + "let o = " + std::string(100000, 'n') + "; tel", 1, syntax(1, "EOF")},
        {n + "let o = x; tel\n" + std::string(1, '\0') + "garbage", 0,
         lexical("unknown char '0' (\\0)", 2)},
    };
    for (const auto& c : cases) {
        Program p;
        EXPECT_EQ(p.load(c.text), c.status) << c.text.substr(0, 60);
        EXPECT_EQ(p.error(), c.error) << c.text.substr(0, 60);
    }
}

// A program cut after each of its bytes loads, or fails with a syntax error
// at the line where the text ends, near EOF or its last (cut) token.
TEST(Reader, ProgramCutAtEveryByte) {
    std::ifstream in(std::string(TEST_SOURCE_DIR) + "/examples/types.ec", std::ios::binary);
    const std::string full{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GT(full.size(), 500u);
    int accepted = 0;
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        const std::string prefix = full.substr(0, cut);
        Program p;
        int status = p.load(prefix);
        accepted += status == 0;
        if (status == 0) continue;
        ASSERT_EQ(status, 1) << cut;
        const std::string head =
            syntax(1 + (int)std::count(prefix.begin(), prefix.end(), '\n'), "");
        const std::string msg = p.error();
        ASSERT_EQ(msg.rfind(head.substr(0, head.size() - 1), 0), 0u) << msg;
        const std::string near = msg.substr(head.size() - 1, msg.size() - head.size());
        EXPECT_TRUE(near == "EOF" ||
                    (prefix.size() >= near.size() &&
                     prefix.compare(prefix.size() - near.size(), near.size(), near) == 0))
            << msg;
    }
    EXPECT_GT(accepted, 3);
    EXPECT_LT(accepted, 200);
}

const char* kTypedProgram =
    "type t.\nfunction f(a : int; b : int) returns (z : real)\nfunction g(a : int) returns (z : "
    "bool)\n"
    "function h(a : int) returns (u : int; v : bool)\n"
    "node n(x, y : int; r : real; b, c : bool; k : t; w : nosuch) returns (o : int);\nlet tel";

std::string bad(const char* op, const char* what = "operands") {
    return std::string("type error: bad '") + op + "' " + what;
}

// Expressions printed with every operand parenthesised (the Lustre form)
// and in ec syntax (parentheses only where the grammar needs them), or the
// syntax error. Only parsed: the functions called need not fit.
TEST(Reader, Grouping) {
    Program p;
    ASSERT_EQ(p.load(kTypedProgram), 0) << p.error();
    const struct {
        const char* text;
        const char* printed;
        const char* written;
    } cases[] = {{"x + y * 2", "(x)+((y)*(2))", "x + y * 2"},
                 {"x - y - 1", "((x)-(y))-(1)", "x - y - 1"},
                 {"x - (y - 1)", "(x)-((y)-(1))", "x - (y - 1)"},
                 {"x ** y ** 2", "((x)**(y))**(2)", "x ** y ** 2"},
                 {"x ** (y ** 2)", "(x)**((y)**(2))", "x ** (y ** 2)"},
                 {"not x + y = 1", "(not((x)+(y)))=(1)", "not x + y = 1"},
                 {"not (x + y = 1)", "not(((x)+(y))=(1))", "not (x + y = 1)"},
                 {"(x = y) = b", "((x)=(y))=(b)", "(x = y) = b"},
                 {"b or c and b", "(b)or((c)and(b))", "b or c and b"},
                 {"b => c and b", "((b)=>(c))and(b)", "b => c and b"},
                 {"not (b and c)", "not((b)and(c))", "not (b and c)"},
                 {"x -> y + 1", "(x)->((y)+(1))", "x -> y + 1"},
                 {"pre x when c", "(pre(x))when(c)", "pre x when c"},
                 {"pre (x when c)", "pre((x)when(c))", "pre (x when c)"},
                 {"- x ** y", "(-(x))**(y)", "- x ** y"},
                 {"- (- x)", "-(-(x))", "- - x"},
                 {"x - (- y)", "(x)-(-(y))", "x - - y"},
                 {"x + if b then 1 else 2 * 3", "(x)+( if (b) then (1) else ((2)*(3)))",
                  "x + (if b then 1 else 2 * 3)"},
                 {"(if b then x else y) + 1", "( if (b) then (x) else (y))+(1)",
                  "(if b then x else y) + 1"},
                 {"x mod 2 % 3 div y", "(((x)mod(2))mod(3))div(y)", "x mod 2 mod 3 div y"},
                 {"real x / r", "(real(x))/(r)", "real x / r"},
                 {"x <> y xor b", "((x)<>(y))xor(b)", "x <> y xor b"},
                 {"(x, y)", "(x, y)", "(x, y)"},
                 {"nor(b)", "nor(b)", "nor(b)"},
                 {"#(b, c)", "#(b, c)", "#(b, c)"},
                 {"g(x, y)", "g(x, y)", "g(x, y)"},
                 {"g((x, y))", "g(x, y)", "g(x, y)"},
                 {"f(g(x, (y, x)), (x + 1))", "f(g(x, (y, x)), (x)+(1))", "f(g(x, (y, x)), x + 1)"},
                 {"x = y = 1", "=", ""},
                 {"b => c => b", "=>", ""},
                 {"#(b)", ")", ""},
                 {"f()", ")", ""},
                 {"(x, )", ")", ""},
                 {"if b then x", "EOF", ""},
                 {"", "EOF", ""},
                 {"x\n\n+ )", ")", ""}};
    for (const auto& c : cases) {
        Exp* e = p.exp(c.text);
        int line = 1 + (int)std::count(c.text, c.text + strlen(c.text), '\n');
        std::string want = std::strlen(c.printed) > 3 ? c.printed : syntax(line, c.printed);
        EXPECT_EQ(e ? p.text(e) : p.error(), want) << c.text;
        if (e) {
            EXPECT_EQ(ec_expression_text(&p.prg, e), c.written) << c.text;
        }
    }
}

// The ec text reads back to the same tree for every operator inside every
// other one, on either side, and for every prefix form and 'if'.
TEST(Reader, EcExpressionText) {
    Program p;
    ASSERT_EQ(p.load(kTypedProgram), 0) << p.error();
    const char* infix[] = {"->", "or", "xor", "and", "=>", "=", "<>", "<", "<=", ">",
                           ">=", "+",  "-",   "*",   "/",  "%", "div", "mod", "**", "when"};
    const char* prefix[] = {"not", "pre", "current", "-", "int", "real"};
    // `shape' with each '$' replaced by `op' and each '@' by `inner'.
    auto fill = [](const char* shape, const char* op, const std::string& inner) {
        std::string text;
        for (const char* s = shape; *s; ++s) {
            if (*s == '$')
                text += op;
            else if (*s == '@')
                text += inner;
            else
                text += *s;
        }
        return text;
    };
    std::vector<std::string> inner;  // every form, parenthesised
    for (const char* op : infix) inner.push_back(fill("(x $ y)", op, ""));
    for (const char* op : prefix) inner.push_back(fill("($ x)", op, ""));
    inner.emplace_back("(if b then x else y)");
    std::vector<std::string> texts;
    for (const std::string& in : inner) {
        for (const char* op : infix) {
            texts.push_back(fill("@ $ c", op, in));
            texts.push_back(fill("c $ @", op, in));
        }
        for (const char* op : prefix) texts.push_back(fill("$ @", op, in));
        texts.push_back(fill("if @ then @ else @ -> c", "", in));
    }
    for (const std::string& text : texts) {
        Exp* e = p.exp(text);
        ASSERT_NE(e, nullptr) << text;
        std::string written = ec_expression_text(&p.prg, e);
        Exp* again = p.exp(written);
        ASSERT_NE(again, nullptr) << text << " written " << written << ": " << p.error();
        EXPECT_EQ(p.text(again), p.text(e)) << text << " written " << written;
    }
    // A flat sum is written flat, however long.
    std::string sum = "x";
    for (int i = 0; i < 5000; ++i) sum += " + y";
    EXPECT_EQ(ec_expression_text(&p.prg, p.exp(sum)), sum);
}

// The type's name ("tuple" for a tuple type), or the message of the
// innermost ill-typed operator. Well-typed forms are also checked on whole
// programs by the Tcl tests (check, the examples and the corpus): here
// mostly what each rule refuses.
TEST(Reader, TypingRules) {
    Program p;
    ASSERT_EQ(p.load(kTypedProgram), 0) << p.error();
    const struct {
        const char* text;
        std::string want;
    } cases[] = {{"current r", "real"},
                 {"pre (x + 1.0)", bad("PLUS_n")},
                 {"not x", bad("NOT_n")},
                 {"b and c or b xor c => b", "bool"},
                 {"b and x", bad("AND_n")},
                 {"b => r", bad("IMPL_n")},
                 {"nor(b, x)", bad("NOR_n")},
                 {"#(b, 1)", bad("DIESE_n")},
                 {"- r", "real"},
                 {"-b", bad("UMINUS_n", "operand")},
                 {"real r", bad("INT2REAL_n", "operand")},
                 {"int x", bad("REAL2INT_n", "operand")},
                 {"k -> k", "t"},
                 {"x -> r", bad("ARROW_n")},
                 {"x when y", bad("WHEN_n")},
                 {"k <> k", "bool"},
                 {"x = r", bad("EQUAL_n")},
                 {"k < k", bad("LT_n")},
                 {"x div 2.0", bad("DIV_n")},
                 {"r % r", bad("MOD_n")},
                 {"r * r ** r - r", "real"},
                 {"x ** r", bad("POWER_n")},
                 {"if c then 1 else 2.0", bad("IF_n")},
                 {"if x then 1 else 2", bad("IF_n")},
                 {"(1, true)", "tuple"},
                 {"((1, true), x)", bad("TUPLE_n")},
                 {"(x, 1 + b, not x)", bad("PLUS_n")},
                 {"f((x, y))", "real"},
                 {"f(1.0, 2)", bad("f")},
                 {"g(b)", bad("g")},
                 {"h(x)", "tuple"},
                 {"zz(b + 1)", "error: undeclared function 'zz'"},
                 {"(x + b) + (r - x)", bad("MINUS_n")},
                 {"w", "type error: unexpected 'INPUT_n'"}};
    for (const auto& c : cases) {
        p.prg.error("%s", "");
        Exp* e = p.exp(c.text);
        ASSERT_NE(e, nullptr) << c.text << ": " << p.error();
        EcType* t = p.prg.type(e);
        EXPECT_EQ(!t              ? p.error()
                  : t->is_tuple() ? "tuple"
                                  : p.symbols[t->name()],
                  c.want)
            << c.text;
    }
    EXPECT_EQ(p.prg.type(p.exp("(x, b)")),
              p.prg.type(p.exp("(1, true)")));  // one type per member list
    // A linked definition keeps the type the link gave it.
    Program l;
    ASSERT_EQ(l.load("node n(x : int) returns (o : bool); let o = x + 1; tel"), 0);
    EXPECT_EQ(l.prg.type(l.prg.get_ident_info(l.id("o"))->ec_def()), l.prg.bool_type());
}

// A success keeps its nodes and literal record; every failure, repeated,
// leaves nothing behind: texts stay interned, new literals get no record.
TEST(Reader, ExpParseUndoesFailures) {
    Program p;
    ASSERT_EQ(p.load(kTypedProgram), 0);
    Exp* e = exp_parse(&p.prg, "x + 7");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->type(), p.prg.int_type());
    EcPrgMark m = p.prg.mark();
    const struct {
        std::string text, error;
    } bad_texts[] = {{"nosuch + 3", "undeclared ident 'nosuch'"},
                     {"1 + true", bad("PLUS_n")},
                     {"7 + true", bad("PLUS_n")},
                     {"x +", syntax(1, "EOF")},
                     {"zz(1)", "error: undeclared function 'zz'"},
                     {"((((", syntax(1, "EOF")},
                     {std::string(300000, '(') + "x", "memory exhausted line 1 near '('"},
                     {"x\n" + std::string(5000, '7'), ""}};
    for (int round = 0; round < 100; ++round)
        for (const auto& c : bad_texts) {
            Exp* got = exp_parse(&p.prg, c.text.c_str());
            if (c.error.empty()) {  // x, then an overlong literal that ends the tokens
                ASSERT_EQ(got, p.prg.reference(p.id("x")));
                ASSERT_EQ(p.error(), too_long(2));
                continue;
            }
            ASSERT_EQ(got, nullptr) << c.text;
            ASSERT_EQ(p.error(), c.error) << c.text;
        }
    EXPECT_EQ(p.prg.mark().exps, m.exps);
    EXPECT_EQ(p.prg.mark().infos, m.infos);
    EXPECT_NE(p.id("3"), 0);
    EXPECT_EQ(p.prg.get_ident_info(p.id("3")), nullptr);
    EXPECT_NE(p.prg.get_ident_info(p.id("7")), nullptr);
}

}  // namespace

// The dependency graph: components in an order of evaluation (each after
// what it reads within the instant, reads under pre left out), the tuple
// rule, and the shortest chain of a cycle.
TEST(DependencyGraph, OrderTuplesAndCycles) {
    Program p;
    ASSERT_EQ(p.load("node n(i : int) returns (o : int); var a, b, c, d, e, t, u : int;\n"
                     "let o = a + pre o; a = b * t; b = i + pre a; (t, u) = (c, 1);\n"
                     "c = d + 1; d = e; e = c + u; tel\n"),
              0);
    DepGraph g(&p.prg);
    g.read_equations(&p.prg);
    DepGraph::Components comps = g.components();
    auto name = [&](int node) { return std::string(p.symbols[g.symbol(node)]); };
    // Where each variable's component stands in the order.
    auto place = [&](const char* v) { return comps.of[(size_t)g.node_of(p.id(v))]; };
    EXPECT_LT(place("a"), place("o"));
    EXPECT_LT(place("b"), place("a"));
    EXPECT_LT(place("t"), place("a"));
    // u reads t (the head of its tuple), t reads c, c reads d, d reads e,
    // e reads c and u: one cycle, whose shortest chain from c is c d e.
    EXPECT_EQ(place("t"), place("u"));
    EXPECT_EQ(place("c"), place("t"));
    ASSERT_EQ(comps.cycles.size(), 1u);
    EXPECT_EQ(comps.cycles[0], place("c"));
    std::string chain;
    for (int v : g.cycle_chain(comps, g.node_of(p.id("c")))) chain += name(v) + " ";
    EXPECT_EQ(chain, "c d e c ");
    EXPECT_EQ(g.node_of(p.id("i")), -1);
}
