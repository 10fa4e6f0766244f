// The program: numbering, declarations, literals, equations, assertions,
// clocks, redeclarations and the undo of a failed expression.
#include "model_fixture.h"

class ProgramTest : public ModelTest {
protected:
    void declare_xbc()   // x int, b and c bool inputs; y an int local on c
    {
        for (const char* n : {"x", "b", "c"})
            prg->add_input(id(n), *n == 'x' ? prg->int_type() : prg->bool_type(), prg->base_clock());
        prg->add_local(id("y"), prg->int_type(), id("c"));
    }
    IdentInfo* info(const char* name) { return prg->get_ident_info(id(name)); }
    template <class F>
    static std::string err_of(F f)   // what f writes on stderr
    { testing::internal::CaptureStderr(); f(); return testing::internal::GetCapturedStderr(); }
};

// The reader relies on the fixed numbers of the predefined names.
TEST_F(ProgramTest, FreshProgram)
{
    const char* names[] = {"bool", "int", "real", "true", "false", "bottom", "nil"};
    for (int i = 0; i < 7; i++) EXPECT_EQ(symbols.find("%s", names[i]), i + 1) << names[i];
    EXPECT_EQ(prg->base_clock(), 4);
    EXPECT_EQ(prg->reference(4), prg->true_exp());
    EXPECT_EQ(prg->reference(7), prg->nil_exp());
    EXPECT_EQ(prg->get_ident_info(1), nullptr);   // a type name has no record
    EXPECT_EQ(prg->get_ident_info(0), nullptr);
    EXPECT_EQ(prg->input_list(), nullptr);
    EXPECT_STREQ(prg->error_msg(), "");
}

// Each declaration makes a record of the right mode, type and clock, with a
// reference leaf of the right nature; reference() gives that same leaf.
TEST_F(ProgramTest, RecordsOfEachKind)
{
    declare_xbc();
    prg->add_output(id("o"), prg->int_type(), id("c"), 0);
    prg->add_usr_const(id("k"), prg->int_type(), prg->base_clock());
    lit("42");
    prg->get_real_const(id("2.5"));
    Exp* sum = prg->get_exp(PLUS_n, ref("x"), ref("x"));
    prg->add_assertion(sum);
    EcType *I = prg->int_type(), *B = prg->bool_type(), *R = prg->real_type();
    const int base = prg->base_clock(), c = id("c"), none = -1;
    struct { const char* name; IdentMode mode; EcType* type; int clock, ref; bool def_is_ref; } rows[] = {
        {"x", INPUT_m, I, base, INPUT_n, true},      {"true", BOOL_CONST_m, B, base, CONST_n, true},
        {"y", LOCAL_m, I, c, ECREF_n, false},        {"o", OUTPUT_m, I, c, ECREF_n, false},
        {"k", USR_CONST_m, I, base, CONST_n, true},  {"42", INT_CONST_m, I, base, CONST_n, true},
        {"2.5", REAL_CONST_m, R, base, CONST_n, true}, {"nil", BOOL_CONST_m, B, base, CONST_n, true},
        {"__assert_0", ASSERT_m, B, base, none, false}};
    for (auto& r : rows) {
        IdentInfo* i = info(r.name);
        ASSERT_NE(i, nullptr) << r.name;
        EXPECT_EQ(i->ident_mode(), r.mode) << r.name;
        EXPECT_EQ(i->type(), r.type) << r.name;
        EXPECT_EQ(i->clock(), r.clock) << r.name;
        EXPECT_EQ(prg->reference(id(r.name)), i->ec_ref()) << r.name;
        if (r.ref == none) continue;
        EXPECT_EQ(i->ec_ref()->nature(), r.ref) << r.name;
        EXPECT_EQ(i->ec_ref()->clock(), r.clock) << r.name;
        EXPECT_EQ(i->ec_def(), r.def_is_ref ? i->ec_ref() : nullptr) << r.name;
    }
    EXPECT_EQ(info("__assert_0")->ec_def(), sum);
    EXPECT_EQ(sum->type(), B);   // the assertion link makes it bool, unchecked
    for (int bad : {id("__assert_0"), id("never declared"), 0, -3, 1 << 30})
        EXPECT_EQ(prg->reference(bad), nullptr) << bad;
    EXPECT_FALSE(err_of([&] { EXPECT_EQ(prg->type(id("nothing")), nullptr); }).empty());
}

TEST_F(ProgramTest, LiteralsAreInternedByText)
{
    Exp* a = lit("42");
    EXPECT_EQ(lit("42"), a);
    EXPECT_NE(lit("042"), a);
    // A text that is no number stands for 0; a too large one keeps its low 32 bits.
    for (auto r : {std::make_pair("42", 42), {"zz", 0}, {"-7", -7}, {"4294967297", 1}}) {
        lit(r.first);
        EXPECT_EQ(info(r.first)->int_value(), r.second) << r.first;
    }
    prg->get_real_const(id("2.5"));
    EXPECT_FLOAT_EQ(info("2.5")->real_value(), 2.5f);
    prg->add_input(id("v"), prg->int_type(), prg->base_clock());   // an existing record gives its leaf
    EXPECT_EQ(prg->get_bool_const(id("v")), ref("v"));
}

TEST_F(ProgramTest, ListsAndPositions)
{
    prg->add_input(id("i1"), prg->int_type(), prg->base_clock());
    prg->add_input(id("i2"), prg->bool_type(), prg->base_clock());
    prg->add_output(id("o1"), prg->int_type(), prg->base_clock(), 0);
    prg->add_output(id("o0"), prg->int_type(), prg->base_clock(), 1);   // at the front
    prg->add_local(id("l1"), nullptr, prg->base_clock());
    for (auto r : {std::make_pair("i1", 0), {"i2", 1}, {"o1", 0}, {"o0", 1}})
        EXPECT_EQ(info(r.first)->index_in_list(), r.second) << r.first;
    EXPECT_EQ(values(prg->output_list()), (std::vector<int>{id("o0"), id("o1")}));
    EXPECT_EQ(lengths(prg->output_list()), (std::vector<int>{2, 1}));
    EXPECT_EQ(prg->nb_outputs(), 2);
    // Out of range answers 1 and leaves the result alone.
    int v = -5;
    struct { int (EcPrg::*at)(int, int*) const; int index, rc; const char* name; } rows[] = {
        {&EcPrg::input_at, 1, 0, "i2"}, {&EcPrg::input_at, 2, 1, "i2"}, {&EcPrg::input_at, -1, 1, "i2"},
        {&EcPrg::output_at, 0, 0, "o0"}, {&EcPrg::local_at, 0, 0, "l1"}};
    for (auto& r : rows) {
        EXPECT_EQ((prg->*r.at)(r.index, &v), r.rc) << r.index;
        EXPECT_EQ(v, id(r.name)) << r.index;
    }
    // Appending must keep every tail's cached length right, at every size.
    std::vector<int> expected{id("i1"), id("i2")};
    for (int i = 2; i < 1000; i++) {
        expected.push_back(id(("v" + std::to_string(i)).c_str()));
        prg->add_input(expected.back(), prg->int_type(), prg->base_clock());
        if (i % 97 != 0 && i != 999) continue;
        std::vector<int> lens = lengths(prg->input_list());
        ASSERT_EQ(lens.size(), size_t(i + 1));
        for (int k = 0; k <= i; k++) ASSERT_EQ(lens[k], i + 1 - k);
    }
    EXPECT_EQ(values(prg->input_list()), expected);
}

// Only single-result functions are numbered and listed; displaced records
// are released once at destruction (checked under sanitizers).
TEST_F(ProgramTest, FunctionsAndRedeclarations)
{
    prg->add_usr_func(id("f"), prg->int_type(), prg->define_type(ids({"int", "bool"})), ids({"a", "int"}), nullptr);
    prg->add_usr_func(id("g"), prg->int_type(), prg->real_type(), nullptr, nullptr);
    prg->add_usr_func(id("h"), prg->int_type(), nullptr, nullptr, nullptr);
    EXPECT_EQ(prg->nb_tuple_funcs(), 1);
    EXPECT_EQ(prg->get_func_info(id("f"))->func_mode(), TUPLE_FUNC_m);
    EXPECT_EQ(prg->get_func_info(id("h"))->func_mode(), FUNC_m);
    EXPECT_EQ(prg->get_func_info(id("h"))->usr_def_index(), 1);
    EXPECT_EQ(values(prg->usr_func_list()), (std::vector<int>{id("g"), id("h")}));
    EXPECT_EQ(prg->nb_u_funcs(), 2);
    int v;
    EXPECT_EQ(prg->usr_func_at(1, &v), 0);
    EXPECT_EQ(v, id("h"));
    EXPECT_EQ(prg->usr_func_at(2, &v), 1);

    prg->add_input(id("a"), prg->int_type(), prg->base_clock());
    prg->add_input(id("a"), prg->bool_type(), prg->base_clock());
    EXPECT_EQ(info("a")->type(), prg->bool_type());
    EXPECT_EQ(values(prg->input_list()), (std::vector<int>{id("a"), id("a")}));
    prg->add_usr_func(id("a"), prg->int_type(), prg->int_type(), nullptr, nullptr);
    EXPECT_EQ(info("a"), nullptr);
    EXPECT_EQ(prg->reference(id("a")), nullptr);
    ASSERT_NE(prg->get_func_info(id("a")), nullptr);
    prg->add_local(id("a"), prg->int_type(), prg->base_clock());
    EXPECT_EQ(prg->get_func_info(id("a")), nullptr);
    EXPECT_EQ(prg->reference(id("a")), info("a")->ec_ref());
}

TEST_F(ProgramTest, EquationsAndAssertions)
{
    declare_xbc();
    prg->add_output(id("o"), prg->int_type(), id("c"), 0);
    Exp* e = prg->get_exp(UMINUS_n, prg->get_real_const(id("1.5")));
    e->set_type(prg->real_type());
    prg->define_variable(id("o"), e);   // linked unchecked: the variable's type and clock win
    EXPECT_EQ(e->type(), prg->int_type());
    EXPECT_EQ(e->clock(), id("c"));
    EXPECT_EQ(info("o")->ec_def(), e);
    prg->define_variable(id("ghost"), e);   // no record: nothing happens
    EXPECT_EQ(info("ghost"), nullptr);
    prg->define_variable(id("o"), nullptr);
    EXPECT_EQ(info("o")->ec_def(), nullptr);
    for (Exp* a : {ref("b"), static_cast<Exp*>(nullptr), ref("c"), prg->get_exp(NOT_n, ref("b"))})
        prg->add_assertion(a);   // a failed (null) expression adds nothing
    EXPECT_EQ(prg->nb_asserts(), 3);
    EXPECT_EQ(values(prg->assertion_list()),
              (std::vector<int>{id("__assert_0"), id("__assert_1"), id("__assert_2")}));
}

TEST_F(ProgramTest, TupleEquationsShareOneMemberList)
{
    for (const char* n : {"a", "b", "c", "x"}) prg->add_local(id(n), prg->int_type(), prg->base_clock());
    Exp* call = prg->get_exp(CALL_n, ref("x"), id("f"));
    IntList* names = ids({"a", "b", "c"});
    size_t before = prg->nb_exps();
    prg->define_tuple(names, call);
    EXPECT_EQ(prg->nb_exps(), before + 3);
    int k = 1;
    for (const char* n : {"a", "b", "c"}) {
        EXPECT_EQ(info(n)->tuple_linked(), names);
        ASSERT_EQ(info(n)->ec_def()->nature(), PROJ_n);
        EXPECT_EQ(info(n)->ec_def()->projection_order(), k++);
        EXPECT_EQ(info(n)->ec_def()->operand(0), call);
    }
    IntList* again = ids({"a", "b"});   // a failed right-hand side leaves every member undefined
    prg->define_tuple(again, nullptr);
    EXPECT_EQ(info("a")->ec_def(), nullptr);
    EXPECT_EQ(info("a")->tuple_linked(), again);
    EXPECT_NE(info("c")->ec_def(), nullptr);
}

TEST_F(ProgramTest, Clocks)
{
    declare_xbc();
    Exp* memo = prg->get_exp(NOT_n, ref("b"));
    memo->set_clock(id("c"));   // a clock once known stays
    Exp leaf(ECREF_n, id("x"), static_cast<EcType*>(nullptr));
    struct { Exp* e; int clock; const char* err; } rows[] = {
        {prg->get_exp(WHEN_n, ref("x"), ref("c")), id("c"), ""},
        {prg->get_exp(WHEN_n, ref("x"), prg->get_exp(AND_n, ref("b"), ref("c"))), 0,
         "The clock operand of 'when' operator must be named"},
        {prg->get_exp(PRE_n, ref("y")), id("c"), ""},
        {prg->get_exp(NOT_n, prg->get_exp(CURRENT_n, ref("y"))), -1, "EcPrg::clock 'CURRENT_n' is not implemented"},
        {prg->get_exp(PLUS_n, ref("x"), ref("y")), prg->base_clock(), ""},   // the leftmost leaf decides
        {memo, id("c"), ""},
        {&leaf, -1, "EcPrg::clock 'ECREF_n' is not implemented"}};
    for (auto& r : rows) {
        int got = 0;
        EXPECT_EQ(err_of([&] { got = prg->clock(r.e); }), r.err);
        EXPECT_EQ(got, r.clock) << r.err;
        if (r.e != &leaf) { EXPECT_EQ(r.e->clock(), r.clock) << r.err; }   // stored on the node
    }
}

TEST_F(ProgramTest, ErrorMessagesReplaceAndAreCut)
{
    prg->error("first %d", 1);
    prg->error("%s", "second");
    EXPECT_STREQ(prg->error_msg(), "second");
    prg->error("%s", std::string(5000, 'z').c_str());
    EXPECT_EQ(strlen(prg->error_msg()), 1023u);
}

TEST_F(ProgramTest, RollbackReleasesNodesAndLiteralRecords)
{
    declare_xbc();
    lit("1");
    EcPrgMark m = prg->mark();
    size_t exps = prg->nb_exps();
    prg->get_exp(PLUS_n, prg->get_exp(PLUS_n, ref("x"), lit("3")), lit("1"));   // "1" is old: no new record
    EXPECT_NE(prg->reference(id("3")), nullptr);
    prg->rollback(m);
    EXPECT_EQ(prg->nb_exps(), exps);
    EXPECT_EQ(info("3"), nullptr);
    EXPECT_EQ(prg->reference(id("3")), nullptr);
    EXPECT_NE(info("1"), nullptr);
    EXPECT_NE(info("x"), nullptr);
    Exp* again = lit("3");   // the literal can be made again afterwards
    EXPECT_EQ(info("3")->ec_ref(), again);
    EXPECT_EQ(prg->reference(id("3")), again);
}
