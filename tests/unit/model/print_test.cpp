// The Lustre printer: expression forms, whole programs, print_ec, and the
// corner cases of the list and function printers.
#include "model_fixture.h"

#include "corvel/fract.h"

class PrintTest : public ModelTest {
protected:
    void inputs(std::initializer_list<const char*> names, EcType* t)
    {
        for (const char* n : names) prg->add_input(id(n), t, prg->base_clock());
    }
    void build_example()   // the program of the worked example
    {
        prg->add_usr_type(id("t1"));
        prg->add_usr_type(id("t2"));
        prg->add_usr_const(id("k"), prg->int_type(), prg->base_clock());
        int ii[2] = {id("int"), id("int")};
        prg->add_usr_func(id("f"), prg->define_type(ii, 2), prg->int_type(), ids({"a", "int", "b", "int"}),
                          ids({"r", "int"}));
        inputs({"x"}, prg->int_type());
        inputs({"c"}, prg->bool_type());
        prg->add_output(id("y"), prg->int_type(), prg->base_clock(), 0);
        prg->add_output(id("z"), prg->int_type(), id("c"), 0);
        prg->add_local(id("l"), prg->int_type(), prg->base_clock());
        prg->def_name(id("main"));
        prg->add_assertion(prg->get_exp(GTE_n, ref("x"), lit("0")));
        prg->define_variable(id("y"), prg->get_exp(PLUS_n, ref("x"), ref("l")));
        prg->define_variable(id("z"), prg->get_exp(WHEN_n, ref("x"), ref("c")));
        prg->define_variable(id("l"), prg->get_exp(ARROW_n, lit("0"), prg->get_exp(PRE_n, ref("y"))));
    }
    std::string lus() { return printed([&](PtyStream* out) { prg->print_lus(out); }); }
    template <class F>
    static std::string out_of(F f)   // what f writes on stdout
    { testing::internal::CaptureStdout(); f(); return testing::internal::GetCapturedStdout(); }
    template <class F>
    static std::string err_of(F f)   // what f writes on stderr
    { testing::internal::CaptureStderr(); f(); return testing::internal::GetCapturedStderr(); }
};

TEST_F(PrintTest, WorkedExampleInBothSyntaxes)
{
    build_example();
    EXPECT_EQ(lus(), "type\n   t1,\n   t2;\n\nconst\n   k : int;\n   \n"
                     "function f (a : int; b : int)\nreturns (r : int);\n\n"
                     "node main( \n   x : int;\n   c : bool\n) returns (\n   y : int;\n   ( z : int ) when c\n);\n"
                     "var\n   l : int;\n   \n"
                     "let\n   assert (x)>=(0);\n   y = (x)+(l);\n   z = (x)when(c);\n   l = (0)->(pre(y));\ntel");
    EXPECT_EQ(out_of([&] { EXPECT_EQ(prg->print_ec(), 0); }),
              "type\n   t1,\n   t2.\n\nconst\n   ( k : int ) when true;\n   \n"
              "function f (a : int; b : int)\nreturns (r : int);\n\n"
              "node main( \n   ( x : int ) when true;\n   ( c : bool ) when true\n"
              ") returns (\n   ( y : int ) when true;\n   ( z : int ) when c\n);\n"
              "var\n   ( l : int ) when true;\n   \n"
              "let\n   assert (x)>=(0);\n   y = (x)+(l);\n   z = (x)when(c);\n   l = (0)->(pre(y));\ntel.");
}

// Empty lists keep the header layout; variables without equation print as comments.
TEST_F(PrintTest, EmptyListsAndMissingEquations)
{
    prg->def_name(id("e"));
    EXPECT_EQ(lus(), "\nnode e( \n   \n) returns (\n   \n);\n\nlet\ntel");
    prg->add_output(id("o"), nullptr, prg->base_clock(), 0);
    prg->add_local(id("l"), prg->int_type(), id("o"));
    EXPECT_EQ(lus(), "\nnode e( \n   \n) returns (\n   o : <undeclared-type>\n);\n"
                     "var\n   ( l : int ) when o;\n   \n"
                     "let\n   (* o has no equation *)\n   (* l has no equation *)\ntel");
}

// Without types, constants and functions the text starts with an empty line.
TEST_F(PrintTest, BareProgramStartsWithAnEmptyLine)
{
    inputs({"x"}, prg->int_type());
    prg->add_output(id("o"), prg->bool_type(), prg->base_clock(), 0);
    prg->def_name(id("n"));
    prg->define_variable(id("o"), prg->get_exp(IF_n, prg->true_exp(), prg->false_exp(), prg->true_exp()));
    EXPECT_EQ(lus(), "\nnode n( \n   x : int\n) returns (\n   o : bool\n);\n\nlet\n"
                     "   o =  if (true) then (false) else (true);\ntel");
}

TEST_F(PrintTest, OperatorForms)
{
    inputs({"x", "y"}, prg->int_type());
    inputs({"a", "b", "c"}, prg->bool_type());
    Exp *x = ref("x"), *y = ref("y"), *a = ref("a"), *b = ref("b"), *c = ref("c");
    ExpList* l = new ExpList(a);   // the factory copies the list
    l->concat(new ExpList(b));
    Exp *tuple = prg->get_exp(TUPLE_n, l), *nor = prg->get_exp(NOR_n, l), *diese = prg->get_exp(DIESE_n, l);
    delete l;
    Exp bad(ERROR_n, 0, static_cast<Exp**>(nullptr));
    Exp anonymous(CONST_n, 0, static_cast<EcType*>(nullptr));
    struct { Exp* e; const char* text; const char* err; } rows[] = {
        {prg->get_exp(PRE_n, x), "pre(x)", ""},            {prg->get_exp(NOT_n, a), "not(a)", ""},
        {prg->get_exp(UMINUS_n, x), "-(x)", ""},           {prg->get_exp(INT2REAL_n, x), "real(x)", ""},
        {prg->get_exp(PLUS_n, x, y), "(x)+(y)", ""},       {prg->get_exp(AND_n, a, b), "(a)and(b)", ""},
        {prg->get_exp(WHEN_n, x, c), "(x)when(c)", ""},
        {prg->get_exp(POWER_n, prg->get_exp(MINUS_n, x, y), x), "((x)-(y))**(x)", ""},
        {prg->get_exp(IF_n, c, x, y), " if (c) then (x) else (y)", ""},
        {prg->get_exp(PROJ_n, prg->get_exp(CALL_n, x, id("f")), 2), "proj(2)(f(x))", ""},
        {tuple, "(a, b)", ""},  {nor, "nor(a, b)", ""},  {diese, "#(a, b)", ""},  {x, "x", ""},
        {prg->get_exp(CALL_n, tuple, id("f")), "f(a, b)", ""},
        {&bad, "", "print_def 'ERROR_n' is not implemented"},
        {&anonymous, "", "Exp::print_def : 'CONST_n' Exp must have an identifier"},
    };
    for (auto& r : rows) {
        std::string text;
        EXPECT_EQ(err_of([&] { text = def_text(r.e); }), r.err);
        EXPECT_EQ(text, r.text);
    }
    EXPECT_EQ(exp_text(x), "x");   // print writes a named node's name
}

// Signs, unit coefficients and zero constants of linear combinations.
TEST_F(PrintTest, LinearCombinations)
{
    inputs({"x", "y", "z"}, prg->int_type());
    Exp* ops[3] = {ref("x"), ref("y"), ref("z")};
    struct { int n; int coefs[3]; int k; const char* text; } rows[] = {
        {3, {2, -1, -3}, -4, "2*x -y -3*z -4"}, {1, {-1}, 5, "-x +5"}, {0, {}, 4, "4"},
        {1, {1}, 0, "x"}, {2, {-2, 1}, 0, "-2*x +y"}, {2, {1, 7}, 3, "x +7*y +3"}};
    for (auto& r : rows) {
        Exp* e = prg->get_exp(ICL_n, r.n, ops, r.coefs, r.k);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(def_text(e), r.text);
    }
    struct { int n; Fract coefs[2]; Fract k; const char* text; } real_rows[] = {
        {2, {Fract(1, 2), Fract(-3, 4)}, Fract(0), "1/2*x -3/4*y"},
        {2, {Fract(-1), Fract(-1)}, Fract(-7, 3), "-x -y -7/3"},
        {2, {Fract(5), Fract(1)}, Fract(2), "5*x +y +2"}, {0, {Fract(5), Fract(1)}, Fract(1, 3), "1/3"}};
    for (auto& r : real_rows) EXPECT_EQ(def_text(prg->get_exp(RCL_n, r.n, ops, r.coefs, r.k)), r.text);
}

TEST_F(PrintTest, RecursionGuardCutsOnlyCycles)
{
    inputs({"x"}, prg->int_type());
    Exp* shared = prg->get_exp(PRE_n, ref("x"));   // shared by two branches: written in full in both
    Exp* both = prg->get_exp(PLUS_n, shared, shared);
    EXPECT_EQ(out_of([&] { prg->print_exp(both); }), "(pre(x))+(pre(x))");
    EXPECT_EQ(printed([&](PtyStream* out) { both->Iprint(out, &symbols); }), "(pre(x))+(pre(x))");
    EXPECT_EQ(out_of([&] { prg->print_exp(ref("x")); }), "x");
    // A cycle of unnamed nodes (made by hand: the factory cannot) is cut where it closes.
    Exp* none[1] = {nullptr};
    Exp outer(NOT_n, 1, none);
    Exp inner(PRE_n, &outer);
    const_cast<Exp**>(outer.operands())[0] = &inner;
    EXPECT_EQ(out_of([&] { prg->print_exp(&outer); }), "not(pre(WARNING : RECURSION ))");
    // The marks of the path are cleared as it unwinds: the next print sees the whole path.
    EXPECT_EQ(out_of([&] { prg->print_exp(&inner); }), "pre(not(WARNING : RECURSION ))");
    // Iprint_def does not mark the node it starts from.
    EXPECT_EQ(printed([&](PtyStream* out) { inner.Iprint_def(out, &symbols); }),
              "pre(not(pre(WARNING : RECURSION )))");
}

TEST_F(PrintTest, TupleEquationPrintedOnce)
{
    inputs({"x", "y"}, prg->int_type());
    prg->add_output(id("a"), prg->int_type(), prg->base_clock(), 0);
    prg->add_output(id("b"), prg->int_type(), prg->base_clock(), 0);
    prg->def_name(id("n"));
    ExpList* l = new ExpList(ref("x"));
    l->concat(new ExpList(ref("y")));
    prg->define_tuple(ids({"a", "b"}), prg->get_exp(CALL_n, prg->get_exp(TUPLE_n, l), id("f")));
    delete l;
    std::string text = lus();
    EXPECT_NE(text.find("\n   a, b = f(x, y);\ntel"), std::string::npos) << text;
    EXPECT_EQ(text.find("\n   b = "), std::string::npos);
    EXPECT_EQ(text.find("proj"), std::string::npos);
}

// A function whose record was displaced by a variable stops the function list.
TEST_F(PrintTest, UndeclaredFunctionStopsItsList)
{
    prg->add_usr_func(id("g"), prg->int_type(), prg->int_type(), ids({"p", "int"}), ids({"q", "bool"}));
    prg->add_usr_func(id("h"), prg->int_type(), prg->int_type(), nullptr, nullptr);
    prg->add_usr_func(id("k"), prg->int_type(), prg->int_type(), nullptr, nullptr);
    inputs({"h"}, prg->int_type());
    prg->add_output(id("o"), prg->int_type(), prg->base_clock(), 0);
    prg->def_name(id("n"));
    std::string text = lus();
    EXPECT_EQ(text.find("function g (p : int)\nreturns (q : bool);\n"), 1u) << text;
    EXPECT_EQ(text.find("function k"), std::string::npos);
    EXPECT_NE(text.find("node n( "), std::string::npos);
    EXPECT_STREQ(prg->error_msg(), "undeclared function `h`");
    EXPECT_EQ(printed([&](PtyStream* out) { EXPECT_EQ(prg->print_func_list(prg->usr_func_list(), out), 1); }),
              "\nfunction g (p : int)\nreturns (q : bool);\n");
    EXPECT_EQ(out_of([&] { EXPECT_EQ(prg->print_ec(), 1); }).find("node"), std::string::npos);
}

// Long expressions wrap between pieces, never inside one, below the width.
TEST_F(PrintTest, LongLinesWrapBetweenPieces)
{
    inputs({"a_rather_long_variable_name"}, prg->int_type());
    Exp* v = ref("a_rather_long_variable_name");
    Exp* e = v;
    for (int i = 0; i < 4; i++) e = prg->get_exp(PLUS_n, e, v);
    std::string text = def_text(e) + "\n", joined;
    for (size_t start = 0, nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
        EXPECT_LT(nl - start, 80u) << text.substr(start, nl - start);
        joined += text.substr(start, nl - start);
    }
    EXPECT_LT(text.find('\n'), text.size() - 1) << text;   // it did wrap
    EXPECT_EQ(joined, "((((a_rather_long_variable_name)+(a_rather_long_variable_name))+"
                      "(a_rather_long_variable_name))+(a_rather_long_variable_name))+(a_rather_long_variable_name)");
}
