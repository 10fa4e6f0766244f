// Accepted and rejected ec texts, the model built from them, and the shape
// of expressions as the precedence table makes them.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

#include "corvel/intlist.h"
#include "quorl/lexer.h"
#include "reader_helpers.h"

namespace {

// The shape of an expression with every operator parenthesised, built from
// the node kinds alone (test inputs are shallow).
// NOLINTNEXTLINE(misc-no-recursion): a test helper; its inputs nest a few levels deep at most
std::string shape(Exp* e, SymbolTable* names) {
    int n = e->nature();
    if (n <= MODELREF_n) return (*names)[e->ident()];
    if (n >= PRE_n && n <= INIT_n) return std::string("(") + opkey(n) + " " + shape(e->operand(0), names) + ")";
    if (n >= ARROW_n && n <= POWER_n)
        return "(" + shape(e->operand(0), names) + " " + opkey(n) + " " + shape(e->operand(1), names) + ")";
    if (n == IF_n)
        return "(if " + shape(e->operand(0), names) + " then " + shape(e->operand(1), names) +
               " else " + shape(e->operand(2), names) + ")";
    if (n == CALL_n) {
        Exp* arg = e->operand(0);
        std::string a = shape(arg, names);
        return (*names)[e->function_ident()] + (arg->nature() == TUPLE_n ? a : "(" + a + ")");
    }
    std::string s = n == TUPLE_n ? "" : opkey(n);
    s += "(";
    for (int i = 0; i < e->arity(); ++i) s += (i ? ", " : "") + shape(e->operand(i), names);
    return s + ")";
}

const char* kHeader = "node n(x, y: int; r: real; b, c: bool) returns (o: int);\n";

struct ProgCase {
    const char* text;
    int status;
    const char* error;  // expected last error ("" none, nullptr: not checked)
};

class Programs : public ::testing::TestWithParam<ProgCase> {};

TEST_P(Programs, StatusAndMessage) {
    const ProgCase& c = GetParam();
    TestProgram p;
    EXPECT_EQ(p.load(c.text), c.status) << c.text;
    if (c.error) {
        EXPECT_EQ(p.error(), c.error) << c.text;
    }
}

const ProgCase kPrograms[] = {
    {"", 0, ""},
    {"(* only *) -- comments\n", 0, ""},
    {"type t;", 1, "syntax error line 1 near 'EOF'"},
    {"const a : int;\nfunction f(x : int) returns (y : int)\n", 1,
     "syntax error line 3 near 'EOF'"},
    {"node n() returns (o : int); let tel", 1, "syntax error line 1 near ')'"},
    {"node n(x : int) returns (); let tel", 1, "syntax error line 1 near ')'"},
    {"node n(x : int) returns (o : int); var ; let tel", 1, "syntax error line 1 near ';'"},
    {"node n(x : int) returns (o : int); let tel", 0, ""},
    {"node n(x : int) returns (o : int); let tel.", 0, ""},
    {"node n(x : int) returns (o : int); let tel;", 0, ""},
    {"node n(x : int) returns (o : int); let tel,", 0, ""},
    {"node n(x : int) returns (o : int); let tel; ;", 1, "syntax error line 1 near ';'"},
    {"node n(x : int) returns (o : int); let tel\nnode m", 1, "syntax error line 2 near 'node'"},
    {"node n(x : int) returns (o : int); let o = x; tel", 0, ""},
    {"node n(x : int) returns (o : int); let o = x tel", 1, "syntax error line 1 near 'tel'"},
    {"node n(x : int) returns (o : int);\nlet\n o = x y;\ntel", 1, "syntax error line 3 near 'y'"},
    {"node n(x : int) returns (o : int); let o = z; tel", 0, "undeclared ident 'z'"},
    {"node n(x : int) returns (o : int); let o = x + [; tel", 1, "syntax error line 1 near 'EOF'"},
    {"node n(x : int) returns (o : int); let tel [", 0, "lexical error: unknown char '91' ([), line '1'"},
    {"node n(x : zz) returns (o : int); let tel", 0, "EcPrg: type 'zz' undeclared"},
    {"type int; node n(x : int) returns (o : int); let tel", 1, "syntax error line 1 near 'int'"},
    {"type t, t; node n(x : t) returns (o : int); let tel", 0, "type 't' already declared"},
    {"type t;\nnode n(x : t) returns (o : int);\nlet assert true; tel", 0, ""},
    {"function f(x : int; y : real) returns (z : bool)\n"
     "node n(x : int) returns (o : bool); let o = f(x, 1.0); tel", 0, ""},
    // Lists still on the parse stack at the error are released.
    {"node n(a, b, c", 1, "syntax error line 1 near 'EOF'"},
    {"type e = (r, g, b", 1, "syntax error line 1 near 'EOF'"},
    {"function f(a : int; b : int) returns (c : int; d", 1, "syntax error line 1 near 'EOF'"},
    {"node n(x : int) returns (o : int); let (a, b, c) = ; tel", 1, "syntax error line 1 near ';'"},
    {"node n(x : int) returns (o : int); let o = #(x, x, x; tel", 1, "syntax error line 1 near ';'"},
    {"node n(x : int) returns (o : int); let o = f(x, (x, x), x; tel", 1, "syntax error line 1 near ';'"},
    {"function f(x : int) returns (z : bool);\nconst k : int.\ntype t.\n"
     "node n(x : int) returns (o : bool); let o = f(k); tel", 0, ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, Programs, ::testing::ValuesIn(kPrograms));

TEST(Grammar, DeclarationsReachTheModel) {
    TestProgram p;
    ASSERT_EQ(p.load("const a, b : int; (c : bool) when k.\n"
                     "type color = (red, green), t2.\n"
                     "function f(x : int; y : real) returns (z : bool)\n"
                     "function g(x : int) returns (u : int; v : color);\n"
                     "node main((x : int) when true; k : bool) returns (o, o2 : int);\n"
                     "var l1, l2 : real; (l3 : int) when k;\n"
                     "let o = x; (l1, l2) = g(x); assert k; tel"),
              0)
        << p.error();
    EXPECT_EQ(p.error(), "");
    EXPECT_EQ(p.prg->name(), p.id("main"));
    EXPECT_EQ(p.prg->nb_inputs(), 2);
    EXPECT_EQ(p.prg->nb_outputs(), 2);
    EXPECT_EQ(p.prg->nb_locals(), 3);
    EXPECT_EQ(p.prg->nb_asserts(), 1);
    EXPECT_EQ(p.prg->nb_usr_consts(), 5);  // a b c, then red green
    EXPECT_EQ(p.prg->nb_types(), 2);
    EXPECT_EQ(p.prg->nb_u_funcs(), 1);
    EXPECT_EQ(p.prg->nb_tuple_funcs(), 1);

    int ids[3];
    for (int i = 0; i < 3; ++i) ASSERT_EQ(p.prg->local_at(i, &ids[i]), 0);
    EXPECT_EQ(ids[0], p.id("l1"));
    EXPECT_EQ(ids[1], p.id("l2"));
    EXPECT_EQ(ids[2], p.id("l3"));
    EXPECT_EQ(p.prg->local_list()->length(), 3);
    EXPECT_EQ(p.prg->get_ident_info(p.id("l3"))->clock(), p.id("k"));
    EXPECT_EQ(p.prg->get_ident_info(p.id("x"))->clock(), p.prg->base_clock());
    EXPECT_EQ(p.prg->get_ident_info(p.id("c"))->clock(), p.id("k"));
    EXPECT_EQ(p.prg->get_ident_info(p.id("b"))->clock(), p.prg->base_clock());
    EXPECT_EQ(p.prg->get_ident_info(p.id("l1"))->type(), p.prg->real_type());
    IntList* tuple = p.prg->get_ident_info(p.id("l2"))->tuple_linked();
    ASSERT_NE(tuple, nullptr);
    EXPECT_EQ(tuple->length(), 2);
    EXPECT_EQ(tuple->head(), p.id("l1"));

    FuncInfo* f = p.prg->get_func_info(p.id("f"));
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(f->inputs_type()->is_tuple());
    EXPECT_EQ(f->inputs_type()->member(1), p.id("int"));
    EXPECT_EQ(f->inputs_type()->member(2), p.id("real"));
    EXPECT_EQ(f->outputs_type(), p.prg->bool_type());
    int params[] = {p.id("x"), p.id("int"), p.id("y"), p.id("real")};
    EXPECT_EQ(f->inputs()->compare(params, 4), 1);
    EXPECT_EQ(f->inputs()->length(), 4);
    FuncInfo* g = p.prg->get_func_info(p.id("g"));
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->inputs_type(), p.prg->int_type());
    EXPECT_EQ(g->func_mode(), TUPLE_FUNC_m);

    IdentInfo* red = p.prg->get_ident_info(p.id("red"));
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->ident_mode(), ENUM_CONST_m);
    EXPECT_EQ(red->index_in_list(), 1);  // first of two: n - 1
}

// Expressions read against a fixed header, printed back in their own form.
struct ExpCase {
    const char* text;
    const char* printed;  // nullptr: the text must be rejected
};

class Expressions : public ::testing::TestWithParam<ExpCase> {};

TEST_P(Expressions, ShapeOrRejection) {
    const ExpCase& c = GetParam();
    TestProgram p;
    ASSERT_EQ(p.load(std::string("function f(a : int) returns (z : int)\n"
                                 "function g(a : int; b : int) returns (z : int)\n") +
                     kHeader + "let tel"),
              0);
    Exp* e = p.exp(c.text);
    if (!c.printed) {
        EXPECT_EQ(e, nullptr) << c.text << " read as " << (e ? shape(e, p.symbols) : "");
        EXPECT_EQ(p.error().rfind("syntax error line 1 near", 0), 0u) << p.error();
        return;
    }
    ASSERT_NE(e, nullptr) << c.text << ": " << p.error();
    EXPECT_EQ(shape(e, p.symbols), c.printed) << c.text;
}

// The model's printer shows the same grouping.
TEST(Grammar, PrintedFormShowsPrecedence) {
    TestProgram p;
    ASSERT_EQ(p.load(std::string(kHeader) + "let tel"), 0);
    const struct {
        const char* text;
        const char* printed;
    } rows[] = {
        {"x + y * 2", "(x)+((y)*(2))"},
        {"not b and c", "(not(b))and(c)"},
        {"b and c => b", "(b)and((c)=>(b))"},
        {"pre x when c", "(pre(x))when(c)"},
        {"x + if b then 1 else 2 * 3", "(x)+( if (b) then (1) else ((2)*(3)))"},
    };
    for (const auto& r : rows) {
        Exp* e = p.exp(r.text);
        ASSERT_NE(e, nullptr) << r.text;
        EXPECT_EQ(printed(e, p.symbols), r.printed) << r.text;
    }
}

const ExpCase kExpressions[] = {
    {"x + y * 2", "(x + (y * 2))"},
    {"x - y - 1", "((x - y) - 1)"},
    {"x ** y ** 2", "((x ** y) ** 2)"},
    {"not b and c", "((not b) and c)"},
    {"not x + y = 1", "((not (x + y)) = 1)"},
    {"b or c and b", "(b or (c and b))"},
    {"b and c => b", "(b and (c => b))"},
    {"b => c and b", "((b => c) and b)"},
    {"x -> y + 1", "(x -> (y + 1))"},
    {"pre x when c", "((pre x) when c)"},
    {"x + y when c", "(x + (y when c))"},
    {"- x ** y", "((- x) ** y)"},
    {"if b then x else y + 1", "(if b then x else (y + 1))"},
    {"x + if b then 1 else 2 * 3", "(x + (if b then 1 else (2 * 3)))"},
    {"pre if b then x else y", "(pre (if b then x else y))"},
    {"x mod 2 % 3 div y", "(((x mod 2) mod 3) div y)"},
    {"real x / r", "((real x) / r)"},
    {"int r", "(int r)"},
    {"current x", "(current x)"},
    {"x <> y xor b", "((x <> y) xor b)"},
    {"(x)", "x"},
    {"(x, y)", "(x, y)"},
    {"nor(b)", "nor(b)"},
    {"#(b, c)", "#(b, c)"},
    {"f(x)", "f(x)"},
    {"g(x, y)", "g(x, y)"},
    {"g((x, y))", "g(x, y)"},
    {"x = y = 1", nullptr},
    {"b => c => b", nullptr},
    {"x < y < 1", nullptr},
    {"#(b)", nullptr},
    {"f()", nullptr},
    {"x y", nullptr},
    {"", nullptr},
    {"(x, )", nullptr},
    {"if b then x", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Cases, Expressions, ::testing::ValuesIn(kExpressions));

TEST(Grammar, ExpressionErrorsNameTheToken) {
    TestProgram p;
    ASSERT_EQ(p.load(std::string(kHeader) + "let tel"), 0);
    EXPECT_EQ(p.exp(""), nullptr);
    EXPECT_EQ(p.error(), "syntax error line 1 near 'EOF'");
    EXPECT_EQ(p.exp("x y"), nullptr);
    EXPECT_EQ(p.error(), "syntax error line 1 near 'y'");
    EXPECT_EQ(p.exp("x\n\n+ )"), nullptr);
    EXPECT_EQ(p.error(), "syntax error line 3 near ')'");
    // Undeclared name: the parse accepts, the entry point fails.
    Exp* e = p.prg->true_exp();  // overwritten with null
    EXPECT_EQ(EcExpParseString(p.prg, p.symbols, "x + zz", &e), 1);
    EXPECT_EQ(e, nullptr);
    EXPECT_EQ(p.error(), "undeclared ident 'zz'");
    EXPECT_EQ(ecprg_nerrs, 0);
    // A complete expression followed by a lexical error is accepted.
    EXPECT_NE(p.exp("x + 1 $"), nullptr);
    EXPECT_EQ(p.error(), "lexical error: unknown char '36' ($), line '1'");
}

TEST(Grammar, TupleEquationTextsSurviveLookahead) {
    TestProgram p;
    ASSERT_EQ(p.load("function f(a : int; b : int) returns (u : int; v : int)\n"
                     "node n(x, y : int) returns (a, b : int);\n"
                     "let (a, b) = f(x, y); tel"),
              0)
        << p.error();
    IdentInfo* a = p.prg->get_ident_info(p.id("a"));
    IdentInfo* b = p.prg->get_ident_info(p.id("b"));
    ASSERT_TRUE(a && b && a->ec_def() && b->ec_def());
    EXPECT_EQ(a->ec_def()->nature(), PROJ_n);
    EXPECT_EQ(b->ec_def()->projection_order(), 2);
    Exp* call = a->ec_def()->operand(0);
    ASSERT_EQ(call->nature(), CALL_n);
    EXPECT_EQ(call->function_ident(), p.id("f"));
    Exp* args = call->operand(0);
    ASSERT_EQ(args->nature(), TUPLE_n);
    EXPECT_EQ(args->operand(0)->ident(), p.id("x"));
    EXPECT_EQ(args->operand(1)->ident(), p.id("y"));
}

// Deep input: the parse stack is bounded, left recursion does not grow it.
TEST(Grammar, DeeplyNestedParenthesesExhaustTheStack) {
    TestProgram p;
    ASSERT_EQ(p.load(std::string(kHeader) + "let tel"), 0);
    std::string text = std::string(100000, '(') + "x" + std::string(100000, ')');
    std::string program = std::string(kHeader) + "let o = " + text + "; tel";
    TestProgram q;
    EXPECT_EQ(q.load(program), 2);
    EXPECT_EQ(q.error(), "memory exhausted line 2 near '('");
    Exp* e = nullptr;
    EXPECT_EQ(EcExpParseString(p.prg, p.symbols, text.c_str(), &e), 1);
    EXPECT_EQ(p.error(), "memory exhausted line 1 near '('");
    // Within the limit it parses.
    std::string fits = std::string(3000, '(') + "x" + std::string(3000, ')');
    EXPECT_NE(p.exp(fits), nullptr);
}

TEST(Grammar, MillionTermSumParses) {
    TestProgram p;
    ASSERT_EQ(p.load(std::string(kHeader) + "let tel"), 0);
    std::string text = "x";
    text.reserve(size_t{4} * 1000000);
    for (int i = 1; i < 1000000; ++i) text += " + x";
    Exp* e = p.exp(text);
    ASSERT_NE(e, nullptr) << p.error();
    EXPECT_EQ(e->nature(), PLUS_n);
    EXPECT_EQ(e->operand(1)->ident(), p.id("x"));
}

TEST(Grammar, LongDeclarationListKeepsOrder) {
    std::string text = "node n(";
    const int count = 200000;
    for (int i = 0; i < count; ++i) text += (i ? ", v" : "v") + std::to_string(i);
    text += " : int) returns (o : int); let tel";
    TestProgram p;
    ASSERT_EQ(p.load(text), 0);
    ASSERT_EQ(p.prg->nb_inputs(), count);
    int id = 0;
    ASSERT_EQ(p.prg->input_at(count - 1, &id), 0);
    EXPECT_EQ(id, p.id(("v" + std::to_string(count - 1)).c_str()));
    ASSERT_EQ(p.prg->input_at(0, &id), 0);
    EXPECT_EQ(id, p.id("v0"));
}

TEST(Grammar, EcParseMissingFile) {
    TestProgram p;
    testing::internal::CaptureStderr();
    EXPECT_EQ(EcParse(p.prg, p.symbols, "/nonexistent/file.ec"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "EcParse : Can't open file '/nonexistent/file.ec'\n");
    EXPECT_EQ(p.error(), "");
}

// Every program of the shared corpus reads without a syntax error.
TEST(Grammar, CorpusFilesParse) {
    const std::string dir = "/work/shared/corpus";
    DIR* d = opendir(dir.c_str());
    if (!d) GTEST_SKIP() << "no corpus folder";
    std::vector<std::string> files;
    while (dirent* ent = readdir(d)) {
        std::string name = ent->d_name;
        if (name.size() > 3 && name.compare(name.size() - 3, 3, ".ec") == 0) files.push_back(name);
    }
    closedir(d);
    std::sort(files.begin(), files.end());
    EXPECT_FALSE(files.empty());
    for (const std::string& name : files) {
        TestProgram p;
        std::string path = dir;
        path += "/";
        path += name;
        int status = EcParse(p.prg, p.symbols, path.c_str());
        EXPECT_EQ(status, 0) << name << ": " << p.error();
        EXPECT_NE(p.prg->name(), 0) << name;
    }
}

}  // namespace
