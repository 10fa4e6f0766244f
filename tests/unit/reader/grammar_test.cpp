// Accepted and rejected ec texts, the model built from them, and the grouping
// of expressions as the precedence table makes them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "corvel/intlist.h"
#include "quorl/lexer.h"
#include "reader_helpers.h"

namespace {

const std::string kHeader = "node n(x, y: int; r: real; b, c: bool) returns (o: int);\n";
const std::string kN = "node n(x : int) returns (o : int); ";
std::string syntax(int line, const char* near) {
    return "syntax error line " + std::to_string(line) + " near '" + near + "'";
}

struct ProgCase {
    std::string text;
    int status;
    std::string error;  // the last message, "" for none
};
class Programs : public ::testing::TestWithParam<ProgCase> {};

TEST_P(Programs, StatusAndMessage) {
    const ProgCase& c = GetParam();
    TestProgram p;
    EXPECT_EQ(p.load(c.text), c.status) << c.text;
    EXPECT_EQ(p.error(), c.error) << c.text;
}

const ProgCase kPrograms[] = {
    {"", 0, ""}, {"(* only *) -- comments\n", 0, ""}, {"type t;", 1, syntax(1, "EOF")},
    {"const a : int;\nfunction f(x : int) returns (y : int)\n", 1, syntax(3, "EOF")},
    {"node n() returns (o : int); let tel", 1, syntax(1, ")")},
    {"node n(x : int) returns (); let tel", 1, syntax(1, ")")}, {kN + "var ; let tel", 1, syntax(1, ";")},
    {kN + "let tel", 0, ""}, {kN + "let tel.", 0, ""}, {kN + "let tel;", 0, ""}, {kN + "let tel,", 0, ""},
    {kN + "let tel; ;", 1, syntax(1, ";")}, {kN + "let tel\nnode m", 1, syntax(2, "node")},
    {kN + "let o = x; tel", 0, ""},
    {kN + "\nlet\n o = x y;\ntel", 1, syntax(3, "y")}, {kN + "let o = z; tel", 0, "undeclared ident 'z'"},
    {kN + "let o = x + [; tel", 1, syntax(1, "EOF")},
    {kN + "let tel [", 0, "lexical error: unknown char '91' ([), line '1'"},
    {"node n(x : zz) returns (o : int); let tel", 0, "EcPrg: type 'zz' undeclared"},
    {"type int; " + kN + "let tel", 1, syntax(1, "int")},
    {"type t, t; node n(x : t) returns (o : int); let tel", 0, "type 't' already declared"},
    {"type t;\nnode n(x : t) returns (o : int);\nlet assert true; tel", 0, ""},
    {"function f(x : int) returns (z : bool);\nconst k : int.\ntype t.\n"
     "node n(x : int) returns (o : bool); let o = f(k); tel", 0, ""},
    // Lists still on the parse stack at the error are released.
    {"node n(a, b, c", 1, syntax(1, "EOF")}, {"type e = (r, g, b", 1, syntax(1, "EOF")},
    {"function f(a : int; b : int) returns (c : int; d", 1, syntax(1, "EOF")},
    {kN + "let (a, b, c) = ; tel", 1, syntax(1, ";")}, {kN + "let o = #(x, x, x; tel", 1, syntax(1, ";")},
    {kN + "let o = f(x, (x, x), x; tel", 1, syntax(1, ";")},
};
INSTANTIATE_TEST_SUITE_P(Cases, Programs, ::testing::ValuesIn(kPrograms));

TEST(Grammar, DeclarationsReachTheModel) {
    TestProgram p;
    ASSERT_EQ(p.load("const a, b : int; (c : bool) when k.\ntype color = (red, green), t2.\n"
                     "function f(x : int; y : real) returns (z : bool)\n"
                     "function g(x : int) returns (u : int; v : color);\n"
                     "node main((x : int) when true; k : bool) returns (o, o2 : int);\n"
                     "var l1, l2 : real; (l3 : int) when k;\nlet o = x; (l1, l2) = g(x); assert k; tel"),
              0) << p.error();
    EcPrg* m = p.prg;
    EXPECT_EQ(p.error(), "");
    EXPECT_EQ(m->name(), p.id("main"));
    // Inputs, outputs, locals, asserts, constants (a b c red green), types, functions, tuple functions.
    EXPECT_EQ((std::vector<int>{m->nb_inputs(), m->nb_outputs(), m->nb_locals(), m->nb_asserts(),
                                m->nb_usr_consts(), m->nb_types(), m->nb_u_funcs(), m->nb_tuple_funcs()}),
              (std::vector<int>{2, 2, 3, 1, 5, 2, 1, 1}));
    std::vector<int> locals(3);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(m->local_at(i, &locals[i]), 0);
    EXPECT_EQ(locals, (std::vector<int>{p.id("l1"), p.id("l2"), p.id("l3")}));
    auto clock = [&](const char* v) { return m->get_ident_info(p.id(v))->clock(); };
    EXPECT_EQ((std::vector<int>{clock("l3"), clock("c"), clock("x"), clock("b")}),
              (std::vector<int>{p.id("k"), p.id("k"), m->base_clock(), m->base_clock()}));  // "when true": base
    EXPECT_EQ(m->get_ident_info(p.id("l1"))->type(), m->real_type());
    IntList* tuple = m->get_ident_info(p.id("l2"))->tuple_linked();
    int pair[] = {p.id("l1"), p.id("l2")};
    ASSERT_TRUE(tuple && tuple->compare(pair, 2));
    EXPECT_EQ(printed(m->get_ident_info(p.id("l1"))->ec_def(), p.symbols), "proj(1)(g(x))");
    EXPECT_EQ(printed(m->get_ident_info(p.id("l2"))->ec_def(), p.symbols), "proj(2)(g(x))");
    FuncInfo* f = m->get_func_info(p.id("f"));
    FuncInfo* g = m->get_func_info(p.id("g"));
    IdentInfo* red = m->get_ident_info(p.id("red"));
    ASSERT_TRUE(f && g && red && f->inputs_type()->is_tuple());
    EXPECT_EQ(f->inputs_type()->member(1), p.id("int"));
    EXPECT_EQ(f->inputs_type()->member(2), p.id("real"));
    EXPECT_EQ(f->outputs_type(), m->bool_type());
    int params[] = {p.id("x"), p.id("int"), p.id("y"), p.id("real")};
    EXPECT_EQ(f->inputs()->compare(params, 4), 1);
    EXPECT_EQ(g->inputs_type(), m->int_type());  // one input: no tuple
    EXPECT_EQ(g->func_mode(), TUPLE_FUNC_m);
    EXPECT_EQ(red->ident_mode(), ENUM_CONST_m);
    EXPECT_EQ(red->index_in_list(), 1);  // first of two: n - 1
}

// Expressions read against a fixed header, printed back with every operand
// parenthesised to show the grouping, or rejected with a syntax error near
// the given token.
struct ExpCase {
    const char* text;
    const char* printed;  // nullptr: rejected
    const char* near = "";
};
class Expressions : public ::testing::TestWithParam<ExpCase> {};

TEST_P(Expressions, GroupingOrRejection) {
    const ExpCase& c = GetParam();
    TestProgram p;
    ASSERT_EQ(p.load("function f(a : int) returns (z : int)\nfunction g(a : int; b : int) returns (z : int)\n" +
                     kHeader + "let tel"), 0);
    Exp* e = p.exp(c.text);
    if (!c.printed) {
        EXPECT_EQ(e, nullptr) << c.text << " read as " << (e ? printed(e, p.symbols) : "");
        EXPECT_EQ(p.error(), syntax(1 + (int)std::count(c.text, c.text + strlen(c.text), '\n'), c.near));
    } else {
        ASSERT_NE(e, nullptr) << c.text << ": " << p.error();
        EXPECT_EQ(printed(e, p.symbols), c.printed) << c.text;
    }
}

const ExpCase kExpressions[] = {
    {"x + y * 2", "(x)+((y)*(2))"}, {"x - y - 1", "((x)-(y))-(1)"}, {"x ** y ** 2", "((x)**(y))**(2)"},
    {"not b and c", "(not(b))and(c)"}, {"not x + y = 1", "(not((x)+(y)))=(1)"},
    {"b or c and b", "(b)or((c)and(b))"}, {"b and c => b", "(b)and((c)=>(b))"}, {"b => c and b", "((b)=>(c))and(b)"},
    {"x -> y + 1", "(x)->((y)+(1))"}, {"pre x when c", "(pre(x))when(c)"}, {"x + y when c", "(x)+((y)when(c))"},
    {"- x ** y", "(-(x))**(y)"}, {"if b then x else y + 1", " if (b) then (x) else ((y)+(1))"},
    {"x + if b then 1 else 2 * 3", "(x)+( if (b) then (1) else ((2)*(3)))"},
    {"pre if b then x else y", "pre( if (b) then (x) else (y))"},
    {"x mod 2 % 3 div y", "(((x)mod(2))mod(3))div(y)"},
    {"real x / r", "(real(x))/(r)"}, {"int r", "int(r)"}, {"current x", "current(x)"},
    {"x <> y xor b", "((x)<>(y))xor(b)"}, {"(x)", "x"}, {"(x, y)", "(x, y)"}, {"nor(b)", "nor(b)"},
    {"#(b, c)", "#(b, c)"}, {"f(x)", "f(x)"}, {"g(x, y)", "g(x, y)"}, {"g((x, y))", "g(x, y)"},
    {"x = y = 1", nullptr, "="}, {"b => c => b", nullptr, "=>"}, {"x < y < 1", nullptr, "<"},
    {"#(b)", nullptr, ")"}, {"f()", nullptr, ")"}, {"(x, )", nullptr, ")"}, {"if b then x", nullptr, "EOF"},
    {"", nullptr, "EOF"}, {"x y", nullptr, "y"}, {"x\n\n+ )", nullptr, ")"},
};
INSTANTIATE_TEST_SUITE_P(Cases, Expressions, ::testing::ValuesIn(kExpressions));

TEST(Grammar, ExpressionErrorsAfterTheParse) {
    TestProgram p;
    ASSERT_EQ(p.load(kHeader + "let tel"), 0);
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

// Deep input: the parse stack is bounded (a program that nests too deep is
// in hostile_test.cpp), and left recursion does not grow it.
TEST(Grammar, NestingLimitsAndLongLists) {
    TestProgram p;
    ASSERT_EQ(p.load(kHeader + "let tel"), 0);
    std::string deep = std::string(100000, '(') + "x" + std::string(100000, ')');
    Exp* e = nullptr;
    EXPECT_EQ(EcExpParseString(p.prg, p.symbols, deep.c_str(), &e), 1);
    EXPECT_EQ(p.error(), "memory exhausted line 1 near '('");
    EXPECT_NE(p.exp(std::string(3000, '(') + "x" + std::string(3000, ')')), nullptr);  // within the limit
    std::string text = "node n(v0";
    const int count = 200000;
    for (int i = 1; i < count; ++i) text += ", v" + std::to_string(i);
    TestProgram q;
    ASSERT_EQ(q.load(text + " : int) returns (o : int); let tel"), 0);
    ASSERT_EQ(q.prg->nb_inputs(), count);
    int first = 0, last = 0;
    ASSERT_EQ(q.prg->input_at(0, &first) + q.prg->input_at(count - 1, &last), 0);
    EXPECT_EQ(first, q.id("v0"));
    EXPECT_EQ(last, q.id(("v" + std::to_string(count - 1)).c_str()));
}

TEST(Grammar, EcParseFiles) {
    TestProgram p;
    testing::internal::CaptureStderr();
    EXPECT_EQ(EcParse(p.prg, p.symbols, "/nonexistent/file.ec"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "EcParse : Can't open file '/nonexistent/file.ec'\n");
    EXPECT_EQ(p.error(), "");
    // Every program of the shared corpus reads without a syntax error.
    std::error_code missing;
    std::vector<std::string> files;
    for (const auto& ent : std::filesystem::directory_iterator("/work/shared/corpus", missing))
        if (ent.path().extension() == ".ec") files.push_back(ent.path().string());
    if (missing) GTEST_SKIP() << "no corpus folder";
    EXPECT_FALSE(files.empty());
    for (const std::string& path : files) {
        TestProgram q;
        EXPECT_EQ(EcParse(q.prg, q.symbols, path.c_str()), 0) << path << ": " << q.error();
        EXPECT_NE(q.prg->name(), 0) << path;
    }
}

}  // namespace
