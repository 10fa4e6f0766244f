// Depth and size: expressions nested 200,000 levels deep and programs of
// many declarations are printed, clocked and destroyed without recursion.
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
    EXPECT_EQ(text.size(), 1u + 6u * (terms - 1));
    EXPECT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), 'x')),
              static_cast<size_t>(terms));
    EXPECT_EQ(text.compare(0, 4, "((((", 4), 0);
    EXPECT_EQ(text.compare(text.size() - 5, 5, ")+(x)"), 0);
    EXPECT_GT(lines, text.size() / 80);

    // Guarded printing too.
    testing::internal::CaptureStdout();
    prg->print_exp(e);
    std::string traced = testing::internal::GetCapturedStdout();
    traced.erase(std::remove(traced.begin(), traced.end(), '\n'), traced.end());
    EXPECT_EQ(traced, text);

    // The whole program, with the sum as an equation, then destroyed by
    // the fixture.
    prg->define_variable(id("s"), e);
    prg->def_name(id("deep"));
    std::string lus = printed([&](PtyStream* out) { prg->print_lus(out); });
    EXPECT_GT(lus.size(), text.size());
}

TEST_F(ScaleTest, DeepNestingOfEveryShape)
{
    prg->add_input(id("b"), prg->bool_type(), prg->base_clock());
    Exp* b = ref("b");
    Exp* e = b;
    int ops[1] = {1};
    for (int i = 0; i < 100000; i++) {
        switch (i % 5) {
        case 0: e = prg->get_exp(NOT_n, e); break;
        case 1: e = prg->get_exp(IF_n, b, e, b); break;
        case 2: {
            ExpList* l = new ExpList(e);
            l->concat(new ExpList(b));
            e = prg->get_exp(TUPLE_n, l);
            delete l;
            e = prg->get_exp(PROJ_n, e, 1);
            break;
        }
        case 3: e = prg->get_exp(CALL_n, e, id("f")); break;
        default: {
            Exp* one[1] = {e};
            e = prg->get_exp(ICL_n, 1, one, ops, 0);
        }
        }
    }
    std::string text = def_text(e);
    EXPECT_GT(text.size(), 100000u);
    EXPECT_EQ(prg->clock(e), prg->base_clock());
}

TEST_F(ScaleTest, ManyDeclarationsAndIndexedAccess)
{
    const int n = 100000;
    for (int i = 0; i < n; i++) {
        int v = symbols.add("v%d", i);
        prg->add_input(v, prg->int_type(), prg->base_clock());
        prg->add_local(symbols.add("l%d", i), prg->int_type(), prg->base_clock());
    }
    EXPECT_EQ(prg->nb_inputs(), n);
    int v = 0;
    for (int i = 0; i < n; i += 9973) {
        ASSERT_EQ(prg->input_at(i, &v), 0);
        EXPECT_EQ(v, symbols.find("v%d", i));
        EXPECT_EQ(prg->type(v), prg->int_type());
    }
    IntList* l = prg->local_list();
    EXPECT_EQ(l->length(), n);
    EXPECT_EQ(l->tail()->length(), n - 1);
    // Identifiers far beyond the first chunk of the record array.
    EXPECT_EQ(prg->get_ident_info(symbols.find("l%d", n - 1))->index_in_list(), n - 1);
}

TEST(ScaleProgram, MillionNodesBuiltClockedAndDestroyed)
{
    SymbolTable symbols;
    EcPrg* prg = new EcPrg(&symbols);
    int b = symbols.add("%s", "b");
    prg->add_input(b, prg->bool_type(), prg->base_clock());
    Exp* e = prg->get_ident_info(b)->ec_ref();
    for (int i = 0; i < 1000000; i++) e = prg->get_exp(i % 2 ? NOT_n : PRE_n, e);
    EXPECT_EQ(prg->clock(e), prg->base_clock());
    EXPECT_GE(prg->nb_exps(), 1000000u);
    // Nodes live in the program's chunks: no allocation of their own.
    EXPECT_LE(sizeof(Exp), 64u);
    delete prg;
}
