// The program: numbering, declarations, literals, equations, assertions,
// clocks, redeclarations and the undo of a failed expression.
#include "model_fixture.h"

class ProgramTest : public ModelTest {
protected:
    void declare_xbc()
    {
        prg->add_input(id("x"), prg->int_type(), prg->base_clock());
        prg->add_input(id("b"), prg->bool_type(), prg->base_clock());
        prg->add_input(id("c"), prg->bool_type(), prg->base_clock());
        prg->add_local(id("y"), prg->int_type(), id("c"));
    }
};

TEST_F(ProgramTest, FreshProgram)
{
    const char* names[] = {"bool", "int", "real", "true", "false", "bottom", "nil"};
    for (int i = 0; i < 7; i++) EXPECT_EQ(symbols.find("%s", names[i]), i + 1) << names[i];
    EXPECT_EQ(prg->nb_inputs(), 0);
    EXPECT_EQ(prg->name(), 0);
    EXPECT_STREQ(prg->error_msg(), "");
    EXPECT_EQ(prg->base_clock(), 4);
    EXPECT_EQ(prg->input_list(), nullptr);
    IdentInfo* nil = prg->get_ident_info(7);
    ASSERT_NE(nil, nullptr);
    EXPECT_EQ(nil->ident_mode(), BOOL_CONST_m);
    EXPECT_EQ(nil->type(), prg->bool_type());
    EXPECT_EQ(nil->ec_ref(), prg->nil_exp());
    EXPECT_EQ(prg->true_exp()->clock(), 4);
    EXPECT_EQ(prg->get_ident_info(1), nullptr);   // a type name has no record
    EXPECT_EQ(prg->get_ident_info(0), nullptr);
    prg->def_name(id("main"));
    EXPECT_STREQ(prg->symbol(prg->name()), "main");
}

TEST_F(ProgramTest, LiteralsAreInternedByText)
{
    Exp* a = lit("42");
    EXPECT_EQ(lit("42"), a);
    IdentInfo* r = prg->get_ident_info(id("42"));
    EXPECT_EQ(r->int_value(), 42);
    EXPECT_EQ(r->ident_mode(), INT_CONST_m);
    EXPECT_EQ(a->type(), prg->int_type());
    EXPECT_EQ(a->clock(), prg->base_clock());
    EXPECT_NE(lit("042"), a);
    Exp* f = prg->get_real_const(id("2.5"));
    EXPECT_FLOAT_EQ(prg->get_ident_info(id("2.5"))->real_value(), 2.5f);
    EXPECT_EQ(f->type(), prg->real_type());
    // A text that is no number stands for 0.
    prg->get_int_const(id("zz"));
    EXPECT_EQ(prg->get_ident_info(id("zz"))->int_value(), 0);
    // A name that already has a record gives its leaf, whatever its mode.
    prg->add_input(id("v"), prg->int_type(), prg->base_clock());
    EXPECT_EQ(prg->get_bool_const(id("v")), ref("v"));
}

TEST_F(ProgramTest, VariablesAndTheirLists)
{
    prg->add_input(id("i1"), prg->int_type(), prg->base_clock());
    prg->add_input(id("i2"), prg->bool_type(), prg->base_clock());
    prg->add_output(id("o1"), prg->int_type(), prg->base_clock(), 0);
    prg->add_output(id("o0"), prg->int_type(), prg->base_clock(), 1);
    prg->add_local(id("l1"), nullptr, prg->base_clock());
    EXPECT_EQ(prg->get_ident_info(id("i1"))->index_in_list(), 0);
    EXPECT_EQ(prg->get_ident_info(id("i2"))->index_in_list(), 1);
    EXPECT_EQ(prg->get_ident_info(id("o1"))->index_in_list(), 0);
    EXPECT_EQ(prg->get_ident_info(id("o0"))->index_in_list(), 1);
    EXPECT_EQ(values(prg->output_list()), (std::vector<int>{id("o0"), id("o1")}));
    EXPECT_EQ(lengths(prg->output_list()), (std::vector<int>{2, 1}));
    EXPECT_EQ(prg->nb_outputs(), 2);

    IdentInfo* i1 = prg->get_ident_info(id("i1"));
    EXPECT_EQ(i1->ident_mode(), INPUT_m);
    EXPECT_EQ(i1->ec_def(), i1->ec_ref());
    EXPECT_EQ(i1->ec_ref()->nature(), INPUT_n);
    IdentInfo* o1 = prg->get_ident_info(id("o1"));
    EXPECT_EQ(o1->ec_def(), nullptr);
    EXPECT_EQ(o1->ec_ref()->nature(), ECREF_n);
    EXPECT_EQ(prg->type(id("l1")), nullptr);
    EXPECT_EQ(prg->type(id("i2")), prg->bool_type());

    int v = -5;
    EXPECT_EQ(prg->input_at(1, &v), 0);
    EXPECT_EQ(v, id("i2"));
    EXPECT_EQ(prg->input_at(2, &v), 1);
    EXPECT_EQ(prg->input_at(-1, &v), 1);
    EXPECT_EQ(v, id("i2"));
    EXPECT_EQ(prg->output_at(0, &v), 0);
    EXPECT_EQ(v, id("o0"));
    EXPECT_EQ(prg->local_at(0, &v), 0);
    EXPECT_EQ(v, id("l1"));

    testing::internal::CaptureStderr();
    EXPECT_EQ(prg->type(id("nothing")), nullptr);
    EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
}

TEST_F(ProgramTest, ListsStayExactAcrossAppendsAndRequests)
{
    std::vector<int> expected;
    for (int i = 0; i < 1000; i++) {
        char name[16];
        ASSERT_LT(snprintf(name, sizeof name, "v%d", i), static_cast<int>(sizeof name));
        prg->add_input(id(name), prg->int_type(), prg->base_clock());
        expected.push_back(id(name));
        if (i % 97 == 0 || i == 999) {
            IntList* l = prg->input_list();
            ASSERT_EQ(l->length(), i + 1);
            std::vector<int> lens = lengths(l);
            for (int k = 0; k <= i; k++) ASSERT_EQ(lens[k], i + 1 - k);
        }
    }
    EXPECT_EQ(values(prg->input_list()), expected);
    EXPECT_EQ(prg->nb_inputs(), 1000);
    int v;
    EXPECT_EQ(prg->input_list()->extract(500, &v), 0);
    EXPECT_EQ(v, expected[500]);
}

TEST_F(ProgramTest, RedeclarationKeepsBothEntries)
{
    prg->add_input(id("a"), prg->int_type(), prg->base_clock());
    IdentInfo* first = prg->get_ident_info(id("a"));
    prg->add_input(id("a"), prg->bool_type(), prg->base_clock());
    IdentInfo* second = prg->get_ident_info(id("a"));
    EXPECT_NE(first, second);
    EXPECT_EQ(second->type(), prg->bool_type());
    EXPECT_EQ(values(prg->input_list()), (std::vector<int>{id("a"), id("a")}));
    EXPECT_EQ(prg->nb_inputs(), 2);
    // A function of the same name displaces the variable record too; every
    // record is released once at destruction (checked under sanitizers).
    prg->add_usr_func(id("a"), prg->int_type(), prg->int_type(), nullptr, nullptr);
    EXPECT_EQ(prg->get_ident_info(id("a")), nullptr);
    EXPECT_NE(prg->get_func_info(id("a")), nullptr);
    prg->add_local(id("a"), prg->int_type(), prg->base_clock());
    EXPECT_EQ(prg->get_func_info(id("a")), nullptr);
}

TEST_F(ProgramTest, FunctionsBySingleOrTupleResult)
{
    IntList* ib = ids({"int", "bool"});
    EcType* tuple = prg->define_type(ib);
    IntList* params = ids({"a", "int"});
    prg->add_usr_func(id("f"), prg->int_type(), tuple, params, nullptr);
    EXPECT_EQ(prg->nb_u_funcs(), 0);
    EXPECT_EQ(prg->usr_func_list(), nullptr);
    EXPECT_EQ(prg->nb_tuple_funcs(), 1);
    FuncInfo* f = prg->get_func_info(id("f"));
    EXPECT_EQ(f->func_mode(), TUPLE_FUNC_m);
    EXPECT_EQ(f->inputs(), params);
    EXPECT_EQ(f->outputs_type(), tuple);

    prg->add_usr_func(id("g"), prg->int_type(), prg->real_type(), nullptr, nullptr);
    prg->add_usr_func(id("h"), prg->int_type(), nullptr, nullptr, nullptr);
    EXPECT_EQ(prg->nb_u_funcs(), 2);
    EXPECT_EQ(prg->get_func_info(id("h"))->func_mode(), FUNC_m);
    EXPECT_EQ(prg->get_func_info(id("h"))->usr_def_index(), 1);
    EXPECT_EQ(values(prg->usr_func_list()), (std::vector<int>{id("g"), id("h")}));
    int v;
    EXPECT_EQ(prg->usr_func_at(1, &v), 0);
    EXPECT_EQ(v, id("h"));
    EXPECT_EQ(prg->usr_func_at(2, &v), 1);
    EXPECT_EQ(prg->get_ident_info(id("f")), nullptr);
}

TEST_F(ProgramTest, AssertionsAreNumberedFromZero)
{
    declare_xbc();
    Exp* e1 = prg->get_exp(GTE_n, ref("x"), lit("0"));
    prg->add_assertion(e1);
    prg->add_assertion(ref("b"));
    prg->add_assertion(nullptr);   // a failed expression adds nothing
    Exp* e3 = prg->get_exp(PLUS_n, ref("x"), ref("x"));
    prg->add_assertion(e3);
    EXPECT_EQ(prg->nb_asserts(), 3);
    EXPECT_EQ(values(prg->assertion_list()),
              (std::vector<int>{id("__assert_0"), id("__assert_1"), id("__assert_2")}));
    IdentInfo* a2 = prg->get_ident_info(id("__assert_2"));
    EXPECT_EQ(a2->ident_mode(), ASSERT_m);
    EXPECT_EQ(a2->ec_def(), e3);
    EXPECT_EQ(a2->ec_ref(), nullptr);
    EXPECT_EQ(e3->type(), prg->bool_type());   // the link gives bool, unchecked
    EXPECT_EQ(a2->clock(), prg->base_clock());
    EXPECT_EQ(e3->clock(), prg->base_clock());
}

TEST_F(ProgramTest, EquationsLinkWithoutChecking)
{
    prg->add_output(id("o"), prg->int_type(), id("c"), 0);
    prg->add_local(id("l"), prg->int_type(), prg->base_clock());
    Exp* r = prg->get_real_const(id("1.5"));
    Exp* e = prg->get_exp(UMINUS_n, r);
    e->set_type(prg->real_type());
    prg->define_variable(id("o"), e);
    EXPECT_EQ(e->type(), prg->int_type());
    EXPECT_EQ(e->clock(), id("c"));
    EXPECT_EQ(prg->get_ident_info(id("o"))->ec_def(), e);

    prg->define_variable(id("ghost"), e);   // no record: nothing happens
    EXPECT_EQ(prg->get_ident_info(id("ghost")), nullptr);
    prg->define_variable(id("l"), nullptr);
    EXPECT_EQ(prg->get_ident_info(id("l"))->ec_def(), nullptr);
}

TEST_F(ProgramTest, TupleEquationsShareOneMemberList)
{
    for (const char* n : {"a", "b", "c"}) prg->add_local(id(n), prg->int_type(), prg->base_clock());
    prg->add_input(id("x"), prg->int_type(), prg->base_clock());
    Exp* call = prg->get_exp(CALL_n, ref("x"), id("f"));
    IntList* names = ids({"a", "b", "c"});
    size_t before = prg->nb_exps();
    prg->define_tuple(names, call);
    EXPECT_EQ(prg->nb_exps(), before + 3);
    int k = 1;
    for (const char* n : {"a", "b", "c"}) {
        IdentInfo* info = prg->get_ident_info(id(n));
        EXPECT_EQ(info->tuple_linked(), names);
        ASSERT_EQ(info->ec_def()->nature(), PROJ_n);
        EXPECT_EQ(info->ec_def()->projection_order(), k++);
        EXPECT_EQ(info->ec_def()->operand(0), call);
    }
    // A failed right-hand side leaves every member undefined.
    IntList* again = ids({"a", "b"});
    prg->define_tuple(again, nullptr);
    EXPECT_EQ(prg->get_ident_info(id("a"))->ec_def(), nullptr);
    EXPECT_EQ(prg->get_ident_info(id("a"))->tuple_linked(), again);
    EXPECT_NE(prg->get_ident_info(id("c"))->ec_def(), nullptr);
}

TEST_F(ProgramTest, Clocks)
{
    declare_xbc();
    Exp* x_when_c = prg->get_exp(WHEN_n, ref("x"), ref("c"));
    EXPECT_EQ(prg->clock(x_when_c), id("c"));

    Exp* bc = prg->get_exp(AND_n, ref("b"), ref("c"));
    Exp* bad = prg->get_exp(WHEN_n, ref("x"), bc);
    testing::internal::CaptureStderr();
    EXPECT_EQ(prg->clock(bad), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "The clock operand of 'when' operator must be named");
    EXPECT_EQ(bad->clock(), 0);

    Exp* pre_y = prg->get_exp(PRE_n, ref("y"));
    EXPECT_EQ(prg->clock(pre_y), id("c"));
    EXPECT_EQ(pre_y->clock(), id("c"));

    Exp* cur = prg->get_exp(CURRENT_n, ref("y"));
    Exp* above = prg->get_exp(NOT_n, cur);
    testing::internal::CaptureStderr();
    EXPECT_EQ(prg->clock(above), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "EcPrg::clock 'CURRENT_n' is not implemented");
    EXPECT_EQ(above->clock(), -1);

    // The leftmost leaf decides; other operands are not compared.
    Exp* mixed = prg->get_exp(PLUS_n, ref("x"), ref("y"));
    EXPECT_EQ(prg->clock(mixed), prg->base_clock());
    // Memoised: a clock once known stays.
    Exp* n = prg->get_exp(NOT_n, ref("b"));
    n->set_clock(id("c"));
    EXPECT_EQ(prg->clock(n), id("c"));

    Exp leaf(ECREF_n, id("x"), static_cast<EcType*>(nullptr));
    testing::internal::CaptureStderr();
    EXPECT_EQ(prg->clock(&leaf), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "EcPrg::clock 'ECREF_n' is not implemented");
}

TEST_F(ProgramTest, ErrorMessagesReplaceAndAreCut)
{
    prg->error("first %d", 1);
    prg->error("%s", "second");
    EXPECT_STREQ(prg->error_msg(), "second");
    std::string big(5000, 'z');
    prg->error("%s", big.c_str());
    EXPECT_EQ(strlen(prg->error_msg()), 1023u);
}

TEST_F(ProgramTest, RollbackReleasesNodesAndLiteralRecords)
{
    declare_xbc();
    lit("1");
    EcPrgMark m = prg->mark();
    size_t exps = prg->nb_exps();
    Exp* three = lit("3");
    Exp* sum = prg->get_exp(PLUS_n, ref("x"), three);
    prg->get_exp(PLUS_n, sum, lit("1"));   // an old literal: no new record
    EXPECT_NE(prg->get_ident_info(id("3")), nullptr);
    prg->rollback(m);
    EXPECT_EQ(prg->nb_exps(), exps);
    EXPECT_EQ(prg->get_ident_info(id("3")), nullptr);
    EXPECT_NE(prg->get_ident_info(id("1")), nullptr);
    EXPECT_NE(prg->get_ident_info(id("x")), nullptr);
    // The literal can be made again afterwards.
    Exp* again = lit("3");
    EXPECT_EQ(prg->get_ident_info(id("3"))->ec_ref(), again);
}

// The reader resolves names through reference(): it must always agree with
// the record's reference leaf, whatever happened to the name.
TEST_F(ProgramTest, ReferenceAgreesWithTheRecord)
{
    auto agrees = [this](const char* name) {
        IdentInfo* info = prg->get_ident_info(id(name));
        return prg->reference(id(name)) == (info ? info->ec_ref() : nullptr);
    };
    declare_xbc();
    prg->add_output(id("o"), prg->int_type(), prg->base_clock(), 0);
    prg->add_local(id("l"), prg->int_type(), prg->base_clock());
    prg->add_usr_const(id("k"), prg->int_type(), prg->base_clock());
    lit("42");
    prg->add_assertion(prg->get_exp(NOT_n, ref("b")));
    for (const char* n : {"x", "b", "c", "o", "l", "k", "42", "__assert_0"}) EXPECT_TRUE(agrees(n)) << n;
    EXPECT_NE(prg->reference(id("l")), nullptr);
    EXPECT_EQ(prg->reference(id("__assert_0")), nullptr);   // no reference leaf
    EXPECT_EQ(prg->reference(id("never declared")), nullptr);
    EXPECT_EQ(prg->reference(0), nullptr);
    EXPECT_EQ(prg->reference(-3), nullptr);
    EXPECT_EQ(prg->reference(1 << 30), nullptr);

    // Redeclared as a function, then as a local again.
    Exp* old = prg->reference(id("l"));
    prg->add_usr_func(id("l"), prg->int_type(), prg->int_type(), nullptr, nullptr);
    EXPECT_EQ(prg->reference(id("l")), nullptr);
    prg->add_local(id("l"), prg->bool_type(), prg->base_clock());
    EXPECT_TRUE(agrees("l"));
    EXPECT_NE(prg->reference(id("l")), old);

    // A rolled-back literal has no reference any more.
    EcPrgMark m = prg->mark();
    lit("7");
    EXPECT_NE(prg->reference(id("7")), nullptr);
    prg->rollback(m);
    EXPECT_EQ(prg->reference(id("7")), nullptr);
    EXPECT_TRUE(agrees("7"));
}
