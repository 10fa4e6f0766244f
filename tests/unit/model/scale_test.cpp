// Depth and size: expressions nested up to a million levels deep and programs of many
// declarations are printed, clocked and destroyed without recursion.
#include "model_fixture.h"

#include <algorithm>

class ScaleTest : public ModelTest {};

TEST_F(ScaleTest, DeepLeftNestedSum)
{
    const int terms = 200000;
    prg->add_input(id("x"), prg->int_type(), id("c"));
    prg->add_output(id("s"), prg->int_type(), id("c"), 0);
    Exp* x = ref("x");
    Exp* e = x;
    for (int i = 1; i < terms; i++) e = prg->get_exp(PLUS_n, e, x);
    // Clock: the leftmost leaf's, stored all the way down.
    EXPECT_EQ(prg->clock(e), id("c"));
    EXPECT_EQ(e->operand(0)->operand(0)->clock(), id("c"));
    std::string text = def_text(e);
    size_t lines = std::count(text.begin(), text.end(), '\n');
    text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
    std::string expected = std::string(terms - 1, '(') + "x";  // ((x)+(x))+(x) for three terms
    for (int i = 1; i < terms; i++) expected += ")+(x)";
    EXPECT_TRUE(text == expected) << text.substr(0, 80);  // no 200,000-line diff on failure
    EXPECT_GT(lines, text.size() / 80);  // lines are broken, not one huge line
    // Guarded printing gives the same text.
    testing::internal::CaptureStdout();
    prg->print_exp(e);
    std::string traced = testing::internal::GetCapturedStdout();
    traced.erase(std::remove(traced.begin(), traced.end(), '\n'), traced.end());
    EXPECT_EQ(traced, text);
    // The whole program, with the sum as an equation, then destroyed by the fixture.
    prg->define_variable(id("s"), e);
    prg->def_name(id("deep"));
    EXPECT_GT(printed([&](PtyStream* out) { prg->print_lus(out); }).size(), text.size());
}

// Every kind of node, a million levels deep: printed, clocked and destroyed.
TEST_F(ScaleTest, MillionLevelsOfEveryShape)
{
    prg->add_input(id("b"), prg->bool_type(), prg->base_clock());
    Exp* b = ref("b");
    Exp* e = b;
    int coef = 1;
    for (int i = 0; i < 1000000; i++) {
        switch (i % 6) {
        case 0: e = prg->get_exp(NOT_n, e); break;
        case 1: e = prg->get_exp(IF_n, b, e, b); break;
        case 2: {
            ExpList l(e);  // the node copies the operands; the list's cells are ours
            l.concat(new ExpList(b));
            e = prg->get_exp(PROJ_n, prg->get_exp(TUPLE_n, &l), 1);
            break;
        }
        case 3: e = prg->get_exp(CALL_n, e, id("f")); break;
        case 4: e = prg->get_exp(ICL_n, 1, &e, &coef, 0); break;
        default: e = prg->get_exp(PRE_n, e);
        }
    }
    EXPECT_GT(def_text(e).size(), 1000000u);
    EXPECT_EQ(prg->clock(e), prg->base_clock());
    EXPECT_GE(prg->nb_exps(), 1000000u);
    EXPECT_LE(sizeof(Exp), 64u);  // nodes live in the program's chunks: they must stay small
}

TEST_F(ScaleTest, ManyDeclarationsAndIndexedAccess)
{
    const int n = 100000;
    for (int i = 0; i < n; i++) {
        prg->add_input(symbols.add("v%d", i), prg->int_type(), prg->base_clock());
        prg->add_local(symbols.add("l%d", i), prg->int_type(), prg->base_clock());
    }
    EXPECT_EQ(prg->nb_inputs(), n);
    int v = 0;
    for (int i = 0; i < n; i += 9973) {
        ASSERT_EQ(prg->input_at(i, &v), 0);
        EXPECT_EQ(v, symbols.find("v%d", i));
        EXPECT_EQ(prg->type(v), prg->int_type());
    }
    EXPECT_EQ(prg->local_list()->length(), n);
    EXPECT_EQ(prg->local_list()->tail()->length(), n - 1);
    // Identifiers far beyond the first chunk of the record array.
    EXPECT_EQ(prg->get_ident_info(symbols.find("l%d", n - 1))->index_in_list(), n - 1);
}
