// EcPrg::type(Exp*) rule by rule, and EcPrg::exp_parse with its undo.
#include <gtest/gtest.h>

#include <string>

#include "corvel/intlist.h"
#include "reader_helpers.h"

namespace {

const char* kProgram =
    "type t.\n"
    "function f(a : int; b : int) returns (z : real)\n"
    "function g(a : int) returns (z : bool)\n"
    "function h(a : int) returns (u : int; v : bool)\n"
    "node n(x, y : int; r : real; b, c : bool; k : t) returns (o : int);\n"
    "let tel";

struct TypeCase {
    const char* text;
    const char* type;   // type name, "tuple" for a tuple type, nullptr: ill-typed
    const char* error;  // message expected when ill-typed
};

class Typing : public ::testing::TestWithParam<TypeCase> {};

std::string type_name(EcType* t, SymbolTable* s) {
    if (!t) return "(null)";
    return t->is_tuple() ? "tuple" : (*s)[t->name()];
}

TEST_P(Typing, RuleAndMessage) {
    const TypeCase& c = GetParam();
    TestProgram p;
    ASSERT_EQ(p.load(kProgram), 0) << p.error();
    p.prg->error("%s", "");
    Exp* e = p.exp(c.text);
    ASSERT_NE(e, nullptr) << c.text << ": " << p.error();
    EcType* t = p.prg->type(e);
    if (c.type) {
        EXPECT_EQ(type_name(t, p.symbols), c.type) << c.text << ": " << p.error();
        EXPECT_EQ(e->type(), t);
        EXPECT_EQ(p.error(), "") << c.text;
    } else {
        EXPECT_EQ(t, nullptr) << c.text;
        EXPECT_EQ(e->type(), nullptr);
        EXPECT_EQ(p.error(), c.error) << c.text;
    }
}

const TypeCase kTyping[] = {
    {"pre x", "int", ""},
    {"current r", "real", ""},
    {"pre (x + 1.0)", nullptr, "type error: bad 'PLUS_n' operands"},
    {"not b", "bool", ""},
    {"not x", nullptr, "type error: bad 'NOT_n' operands"},
    {"b and c or b xor c => b", "bool", ""},
    {"b and x", nullptr, "type error: bad 'AND_n' operands"},
    {"x or b", nullptr, "type error: bad 'OR_n' operands"},
    {"b xor 1", nullptr, "type error: bad 'XOR_n' operands"},
    {"b => r", nullptr, "type error: bad 'IMPL_n' operands"},
    {"nor(b, c, b)", "bool", ""},
    {"nor(b, x)", nullptr, "type error: bad 'NOR_n' operands"},
    {"#(b, c)", "bool", ""},
    {"#(b, 1)", nullptr, "type error: bad 'DIESE_n' operands"},
    {"- x", "int", ""},
    {"- r", "real", ""},
    {"-b", nullptr, "type error: bad 'UMINUS_n' operand"},
    {"real x", "real", ""},
    {"real r", nullptr, "type error: bad 'INT2REAL_n' operand"},
    {"int r", "int", ""},
    {"int x", nullptr, "type error: bad 'REAL2INT_n' operand"},
    {"x -> y", "int", ""},
    {"k -> k", "t", ""},
    {"x -> r", nullptr, "type error: bad 'ARROW_n' operands"},
    {"x when c", "int", ""},
    {"x when (b and c)", "int", ""},
    {"x when y", nullptr, "type error: bad 'WHEN_n' operands"},
    {"b = c", "bool", ""},
    {"k <> k", "bool", ""},
    {"x = r", nullptr, "type error: bad 'EQUAL_n' operands"},
    {"x <> b", nullptr, "type error: bad 'NEQ_n' operands"},
    {"x >= y", "bool", ""},
    {"r < 1.5", "bool", ""},
    {"b > c", nullptr, "type error: bad 'GT_n' operands"},
    {"x <= r", nullptr, "type error: bad 'LTE_n' operands"},
    {"k < k", nullptr, "type error: bad 'LT_n' operands"},
    {"x div 2", "int", ""},
    {"x mod 2", "int", ""},
    {"x div 2.0", nullptr, "type error: bad 'DIV_n' operands"},
    {"r % r", nullptr, "type error: bad 'MOD_n' operands"},
    {"x + 1", "int", ""},
    {"x + 1.0", nullptr, "type error: bad 'PLUS_n' operands"},
    {"x / 2", "int", ""},
    {"real(x) / 2.0", "real", ""},
    {"r * r ** r - r", "real", ""},
    {"b - c", nullptr, "type error: bad 'MINUS_n' operands"},
    {"x ** r", nullptr, "type error: bad 'POWER_n' operands"},
    {"if c then 1 else 2", "int", ""},
    {"if c then 1 else 2.0", nullptr, "type error: bad 'IF_n' operands"},
    {"if x then 1 else 2", nullptr, "type error: bad 'IF_n' operands"},
    {"(1, true)", "tuple", ""},
    {"((1, true), x)", nullptr, "type error: bad 'TUPLE_n' operands"},
    {"(x, 1 + b, not x)", nullptr, "type error: bad 'PLUS_n' operands"},
    {"f(1, 2)", "real", ""},
    {"f((x, y))", "real", ""},
    {"f(1.0, 2)", nullptr, "type error: bad 'f' operands"},
    {"g(x)", "bool", ""},
    {"g(b)", nullptr, "type error: bad 'g' operands"},
    {"h(x)", "tuple", ""},
    {"zz(x)", nullptr, "error: undeclared function 'zz'"},
    {"zz(b + 1)", nullptr, "error: undeclared function 'zz'"},  // argument not typed
    {"f(x + b, 2)", nullptr, "type error: bad 'PLUS_n' operands"},
    // Both operands fail: the later message remains.
    {"(x + b) + (r - x)", nullptr, "type error: bad 'MINUS_n' operands"},
    {"not (x + b) and (b or 1)", nullptr, "type error: bad 'OR_n' operands"},
};

INSTANTIATE_TEST_SUITE_P(Rules, Typing, ::testing::ValuesIn(kTyping));

TEST(TypingModel, TupleTypesAreShared) {
    TestProgram p;
    ASSERT_EQ(p.load(kProgram), 0);
    EcType* a = p.prg->type(p.exp("(1, true)"));
    EcType* b = p.prg->type(p.exp("(x, b)"));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a->member(1), p.id("int"));
    EXPECT_EQ(a->member(2), p.id("bool"));
    EXPECT_NE(p.prg->type(p.exp("(b, x)")), a);
}

TEST(TypingModel, LeavesWithoutTypeAndUntypedKinds) {
    TestProgram p;
    ASSERT_EQ(p.load(kProgram), 0);
    Exp* x = p.exp("x");
    Exp* proj = p.prg->get_exp(PROJ_n, p.exp("h(x)"), 1);
    EXPECT_EQ(p.prg->type(proj), nullptr);
    EXPECT_EQ(p.error(), "sorry, type of 'PROJ_n' not yet implemented");
    // A leaf of an undeclared type: nothing to compute.
    ASSERT_EQ(p.load("node m(q : nosuch) returns (o : int); let tel"), 0);
    Exp* q = p.exp("q");
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->type(), nullptr);
    EXPECT_EQ(p.prg->type(q), nullptr);
    EXPECT_EQ(p.error(), "type error: unexpected 'INPUT_n'");
    EXPECT_EQ(p.prg->type(x), p.prg->int_type());
    EXPECT_EQ(p.prg->type(nullptr), nullptr);
}

TEST(TypingModel, LinkedExpressionsKeepTheirType) {
    TestProgram p;
    ASSERT_EQ(p.load("node n(x : int) returns (o : bool); let o = x + 1; tel"), 0);
    Exp* def = p.prg->get_ident_info(p.id("o"))->ec_def();
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(p.prg->type(def), p.prg->bool_type());  // set by the link, not recomputed
}

// Deep trees are typed without recursion.
TEST(TypingModel, DeepTrees) {
    TestProgram p;
    ASSERT_EQ(p.load(kProgram), 0);
    Exp* x = p.exp("x");
    Exp* c = p.exp("c");
    Exp* e = x;
    for (int i = 0; i < 200000; ++i) e = p.prg->get_exp(PLUS_n, e, x);
    EXPECT_EQ(p.prg->type(e), p.prg->int_type());

    Exp* chain = p.exp("1");
    for (int i = 0; i < 200000; ++i) chain = p.prg->get_exp(IF_n, c, x, chain);
    EXPECT_EQ(p.prg->type(chain), p.prg->int_type());

    Exp* bad = p.exp("1.0");
    for (int i = 0; i < 200000; ++i) bad = p.prg->get_exp(IF_n, c, x, bad);
    EXPECT_EQ(p.prg->type(bad), nullptr);
    EXPECT_EQ(p.error(), "type error: bad 'IF_n' operands");

    Exp* neg = x;
    for (int i = 0; i < 200000; ++i) neg = p.prg->get_exp(UMINUS_n, neg);
    EXPECT_EQ(p.prg->type(neg), p.prg->int_type());
}

// ---------------------------------------------------------------- exp_parse

TEST(ExpParse, SuccessKeepsNodesAndTypes) {
    TestProgram p;
    ASSERT_EQ(p.load(kProgram), 0);
    size_t before = p.prg->nb_exps();
    Exp* e = p.prg->exp_parse("x + 12345");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->type(), p.prg->int_type());
    EXPECT_EQ(p.prg->nb_exps(), before + 2);  // the literal's leaf and the sum
    IdentInfo* lit = p.prg->get_ident_info(p.id("12345"));
    ASSERT_NE(lit, nullptr);
    EXPECT_EQ(lit->int_value(), 12345);
}

TEST(ExpParse, UndeclaredNameUndoesEverything) {
    TestProgram p;
    ASSERT_EQ(p.load(kProgram), 0);
    size_t exps = p.prg->nb_exps();
    size_t infos = p.prg->nb_created_infos();
    EXPECT_EQ(p.prg->exp_parse("nosuch + 3"), nullptr);
    EXPECT_EQ(p.error(), "undeclared ident 'nosuch'");
    EXPECT_EQ(p.prg->nb_exps(), exps);
    EXPECT_EQ(p.prg->nb_created_infos(), infos);
    int three = p.id("3");
    ASSERT_NE(three, 0);  // the text stays interned
    EXPECT_EQ(p.prg->get_ident_info(three), nullptr);
}

TEST(ExpParse, TypeErrorUndoesEverything) {
    TestProgram p;
    ASSERT_EQ(p.load(kProgram), 0);
    size_t exps = p.prg->nb_exps();
    size_t infos = p.prg->nb_created_infos();
    EXPECT_EQ(p.prg->exp_parse("1 + true"), nullptr);
    EXPECT_EQ(p.error(), "type error: bad 'PLUS_n' operands");
    EXPECT_EQ(p.prg->nb_exps(), exps);
    EXPECT_EQ(p.prg->nb_created_infos(), infos);
    EXPECT_EQ(p.prg->get_ident_info(p.id("1")), nullptr);
    // A literal that existed before the failed parse keeps its record.
    ASSERT_NE(p.prg->exp_parse("x + 7"), nullptr);
    EXPECT_EQ(p.prg->exp_parse("7 + true"), nullptr);
    EXPECT_NE(p.prg->get_ident_info(p.id("7")), nullptr);
}

TEST(ExpParse, RepeatedFailuresDoNotGrowTheProgram) {
    TestProgram p;
    ASSERT_EQ(p.load(kProgram), 0);
    size_t exps = p.prg->nb_exps();
    size_t infos = p.prg->nb_created_infos();
    const char* bad[] = {"1 + true", "x +", "(2.5, (1, 2))", "zz(1)", "x y", "q + 99", "(((("};
    for (int round = 0; round < 200; ++round)
        for (const char* text : bad) ASSERT_EQ(p.prg->exp_parse(text), nullptr) << text;
    EXPECT_EQ(p.prg->nb_exps(), exps);
    EXPECT_EQ(p.prg->nb_created_infos(), infos);
    EXPECT_NE(p.prg->exp_parse("x + 1"), nullptr);
}

}  // namespace
