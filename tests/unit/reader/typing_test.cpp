// EcPrg::type(Exp*) rule by rule and on deep trees, and EcPrg::exp_parse with its undo.
#include <gtest/gtest.h>

#include <string>

#include "reader_helpers.h"

namespace {

const char* kProgram =
    "type t.\nfunction f(a : int; b : int) returns (z : real)\nfunction g(a : int) returns (z : bool)\n"
    "function h(a : int) returns (u : int; v : bool)\n"
    "node n(x, y : int; r : real; b, c : bool; k : t; w : nosuch) returns (o : int);\nlet tel";

// The exact message of an operator applied to operands of the wrong types.
std::string bad(const char* op, const char* what = "operands") {
    return std::string("type error: bad '") + op + "' " + what;
}

// want: the type's name ("tuple" for a tuple type), or the exact message when ill-typed.
struct TypeCase { const char* text; std::string want; };

class Typing : public ::testing::TestWithParam<TypeCase> {};

TEST_P(Typing, RuleAndMessage) {
    const TypeCase& c = GetParam();
    TestProgram p;
    ASSERT_EQ(p.load(kProgram), 0) << p.error();
    p.prg->error("%s", "");
    Exp* e = p.exp(c.text);
    ASSERT_NE(e, nullptr) << c.text << ": " << p.error();
    EcType* t = p.prg->type(e);
    EXPECT_EQ(!t ? p.error() : t->is_tuple() ? "tuple" : (*p.symbols)[t->name()], c.want) << c.text;
    EXPECT_EQ(e->type(), t);  // the result is stored on the node, failure included
    EXPECT_EQ(p.error(), t ? std::string() : c.want) << c.text;
}

const TypeCase kTyping[] = {
    {"pre x", "int"}, {"current r", "real"}, {"pre (x + 1.0)", bad("PLUS_n")}, {"not b", "bool"},
    {"not x", bad("NOT_n")}, {"b and c or b xor c => b", "bool"}, {"b and x", bad("AND_n")},
    {"x or b", bad("OR_n")}, {"b xor 1", bad("XOR_n")}, {"b => r", bad("IMPL_n")},
    {"nor(b, c, b)", "bool"}, {"nor(b, x)", bad("NOR_n")}, {"#(b, c)", "bool"}, {"#(b, 1)", bad("DIESE_n")},
    {"- x", "int"}, {"- r", "real"}, {"-b", bad("UMINUS_n", "operand")}, {"real x", "real"},
    {"real r", bad("INT2REAL_n", "operand")}, {"int r", "int"}, {"int x", bad("REAL2INT_n", "operand")},
    {"x -> y", "int"}, {"k -> k", "t"}, {"x -> r", bad("ARROW_n")}, {"x when c", "int"},
    {"x when (b and c)", "int"}, {"x when y", bad("WHEN_n")}, {"b = c", "bool"}, {"k <> k", "bool"},
    {"x = r", bad("EQUAL_n")}, {"x <> b", bad("NEQ_n")}, {"x >= y", "bool"}, {"r < 1.5", "bool"},
    {"b > c", bad("GT_n")}, {"x <= r", bad("LTE_n")}, {"k < k", bad("LT_n")}, {"x div 2", "int"},
    {"x mod 2", "int"}, {"x div 2.0", bad("DIV_n")}, {"r % r", bad("MOD_n")}, {"x + 1", "int"},
    {"x + 1.0", bad("PLUS_n")}, {"x / 2", "int"}, {"real(x) / 2.0", "real"}, {"r * r ** r - r", "real"},
    {"b - c", bad("MINUS_n")}, {"x ** r", bad("POWER_n")}, {"if c then 1 else 2", "int"},
    {"if c then 1 else 2.0", bad("IF_n")}, {"if x then 1 else 2", bad("IF_n")}, {"(1, true)", "tuple"},
    {"((1, true), x)", bad("TUPLE_n")}, {"(x, 1 + b, not x)", bad("PLUS_n")}, {"f(1, 2)", "real"},
    {"f((x, y))", "real"}, {"f(1.0, 2)", bad("f")}, {"g(x)", "bool"}, {"g(b)", bad("g")}, {"h(x)", "tuple"},
    {"zz(x)", "error: undeclared function 'zz'"}, {"f(x + b, 2)", bad("PLUS_n")},
    {"zz(b + 1)", "error: undeclared function 'zz'"},  // the arguments are not typed first
    // Both operands fail: the later message remains.
    {"(x + b) + (r - x)", bad("MINUS_n")}, {"not (x + b) and (b or 1)", bad("OR_n")},
    {"x", "int"}, {"w", "type error: unexpected 'INPUT_n'"},  // a leaf of an undeclared type
};

INSTANTIATE_TEST_SUITE_P(Rules, Typing, ::testing::ValuesIn(kTyping));

TEST(TypingModel, SharedTuplesUntypedKindsAndLinkedDefinitions) {
    TestProgram p;
    ASSERT_EQ(p.load(kProgram), 0);
    EcType* a = p.prg->type(p.exp("(1, true)"));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(p.prg->type(p.exp("(x, b)")), a);  // one type per member list
    EXPECT_EQ(a->member(1), p.id("int"));
    EXPECT_EQ(a->member(2), p.id("bool"));
    EXPECT_NE(p.prg->type(p.exp("(b, x)")), a);
    EXPECT_EQ(p.prg->type(p.prg->get_exp(PROJ_n, p.exp("h(x)"), 1)), nullptr);
    EXPECT_EQ(p.error(), "sorry, type of 'PROJ_n' not yet implemented");
    EXPECT_EQ(p.prg->type(nullptr), nullptr);
    Exp* w = p.exp("w");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->type(), nullptr);  // the loader gives a leaf of an undeclared type no type
    // A linked definition keeps the type set by the link (bool), not int + int.
    TestProgram l;
    ASSERT_EQ(l.load("node n(x : int) returns (o : bool); let o = x + 1; tel"), 0);
    Exp* def = l.prg->get_ident_info(l.id("o"))->ec_def();
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(l.prg->type(def), l.prg->bool_type());
}

// Sums, if-chains (well and ill typed) and negations 200,000 deep are typed without recursion.
TEST(TypingModel, DeepTrees) {
    TestProgram p;
    ASSERT_EQ(p.load(kProgram), 0);
    Exp *x = p.exp("x"), *c = p.exp("c");
    for (int shape = 0; shape < 4; ++shape) {
        Exp* e = p.exp(shape == 1 ? "1" : shape == 2 ? "1.0" : "x");
        for (int i = 0; i < 200000; ++i)
            e = shape == 0 ? p.prg->get_exp(PLUS_n, e, x)
                : shape == 3 ? p.prg->get_exp(UMINUS_n, e) : p.prg->get_exp(IF_n, c, x, e);
        p.prg->error("%s", "");
        EXPECT_EQ(p.prg->type(e), shape == 2 ? nullptr : p.prg->int_type()) << shape;
        EXPECT_EQ(p.error(), shape == 2 ? bad("IF_n") : "") << shape;
    }
}

// A success keeps its nodes, literal record and type. Every failure, repeated, leaves no node and
// no record behind: texts stay interned, new literals get no record, one made before keeps its own.
TEST(ExpParse, SuccessKeepsFailuresUndoEverything) {
    TestProgram p;
    ASSERT_EQ(p.load(kProgram), 0);
    size_t exps = p.prg->nb_exps();
    Exp* e = p.prg->exp_parse("x + 7");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->type(), p.prg->int_type());
    EXPECT_EQ(p.prg->nb_exps(), exps += 2);  // the literal's leaf and the sum
    ASSERT_NE(p.prg->get_ident_info(p.id("7")), nullptr);
    EXPECT_EQ(p.prg->get_ident_info(p.id("7"))->int_value(), 7);
    size_t infos = p.prg->nb_created_infos();
    const struct { const char* text; const char* error; } bad_texts[] = {
        {"nosuch + 3", "undeclared ident 'nosuch'"}, {"1 + true", "type error: bad 'PLUS_n' operands"},
        {"7 + true", "type error: bad 'PLUS_n' operands"}, {"x +", "syntax error line 1 near 'EOF'"},
        {"(2.5, (1, 2))", "type error: bad 'TUPLE_n' operands"}, {"zz(1)", "error: undeclared function 'zz'"},
        {"x y", "syntax error line 1 near 'y'"}, {"q + 99", "undeclared ident 'q'"},
        {"((((", "syntax error line 1 near 'EOF'"},
    };
    for (int round = 0; round < 200; ++round)
        for (const auto& c : bad_texts) {
            ASSERT_EQ(p.prg->exp_parse(c.text), nullptr) << c.text;
            ASSERT_EQ(p.error(), c.error) << c.text;
        }
    EXPECT_EQ(p.prg->nb_exps(), exps);
    EXPECT_EQ(p.prg->nb_created_infos(), infos);
    ASSERT_NE(p.id("3"), 0);
    EXPECT_EQ(p.prg->get_ident_info(p.id("3")), nullptr);
    EXPECT_EQ(p.prg->get_ident_info(p.id("1")), nullptr);
    EXPECT_NE(p.prg->get_ident_info(p.id("7")), nullptr);
    EXPECT_NE(p.prg->exp_parse("x + 1"), nullptr);
}

}  // namespace
