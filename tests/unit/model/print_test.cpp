// The Lustre printer: expression forms, the worked program, print_ec, and
// the corner cases of the list and function printers.
#include "model_fixture.h"

#include "corvel/fract.h"

class PrintTest : public ModelTest {
protected:
    void inputs(std::initializer_list<const char*> names, EcType* t)
    {
        for (const char* n : names) prg->add_input(id(n), t, prg->base_clock());
    }
    // The program of the worked example.
    void build_example()
    {
        prg->add_usr_type(id("t1"));
        prg->add_usr_type(id("t2"));
        prg->add_usr_const(id("k"), prg->int_type(), prg->base_clock());
        IntList* ins = ids({"a", "int", "b", "int"});
        IntList* outs = ids({"r", "int"});
        int ii[2] = {id("int"), id("int")};
        prg->add_usr_func(id("f"), prg->define_type(ii, 2), prg->int_type(), ins, outs);
        prg->add_input(id("x"), prg->int_type(), prg->base_clock());
        prg->add_input(id("c"), prg->bool_type(), prg->base_clock());
        prg->add_output(id("y"), prg->int_type(), prg->base_clock(), 0);
        prg->add_output(id("z"), prg->int_type(), id("c"), 0);
        prg->add_local(id("l"), prg->int_type(), prg->base_clock());
        prg->def_name(id("main"));
        prg->add_assertion(prg->get_exp(GTE_n, ref("x"), lit("0")));
        prg->define_variable(id("y"), prg->get_exp(PLUS_n, ref("x"), ref("l")));
        prg->define_variable(id("z"), prg->get_exp(WHEN_n, ref("x"), ref("c")));
        prg->define_variable(id("l"), prg->get_exp(ARROW_n, lit("0"), prg->get_exp(PRE_n, ref("y"))));
    }
    std::string lus()
    {
        return printed([&](PtyStream* out) { prg->print_lus(out); });
    }
};

static const char* kExample =
    "type\n"
    "   t1,\n"
    "   t2;\n"
    "\n"
    "const\n"
    "   k : int;\n"
    "   \n"
    "function f (a : int; b : int)\n"
    "returns (r : int);\n"
    "\n"
    "node main( \n"
    "   x : int;\n"
    "   c : bool\n"
    ") returns (\n"
    "   y : int;\n"
    "   ( z : int ) when c\n"
    ");\n"
    "var\n"
    "   l : int;\n"
    "   \n"
    "let\n"
    "   assert (x)>=(0);\n"
    "   y = (x)+(l);\n"
    "   z = (x)when(c);\n"
    "   l = (0)->(pre(y));\n"
    "tel";

TEST_F(PrintTest, WorkedExampleByteForByte)
{
    build_example();
    EXPECT_EQ(lus(), kExample);
}

TEST_F(PrintTest, EcSyntaxDiffers)
{
    build_example();
    testing::internal::CaptureStdout();
    EXPECT_EQ(prg->print_ec(), 0);
    std::string ec = testing::internal::GetCapturedStdout();
    EXPECT_EQ(ec,
              "type\n   t1,\n   t2.\n\nconst\n   ( k : int ) when true;\n   \n"
              "function f (a : int; b : int)\nreturns (r : int);\n\n"
              "node main( \n   ( x : int ) when true;\n   ( c : bool ) when true\n"
              ") returns (\n   ( y : int ) when true;\n   ( z : int ) when c\n);\n"
              "var\n   ( l : int ) when true;\n   \n"
              "let\n   assert (x)>=(0);\n   y = (x)+(l);\n   z = (x)when(c);\n"
              "   l = (0)->(pre(y));\ntel.");
}

TEST_F(PrintTest, BareProgramStartsWithAnEmptyLine)
{
    inputs({"x"}, prg->int_type());
    prg->add_output(id("o"), prg->bool_type(), prg->base_clock(), 0);
    prg->def_name(id("n"));
    prg->define_variable(id("o"), prg->get_exp(IF_n, prg->true_exp(), prg->false_exp(), prg->true_exp()));
    EXPECT_EQ(lus(), "\nnode n( \n   x : int\n) returns (\n   o : bool\n);\n\nlet\n"
                     "   o =  if (true) then (false) else (true);\ntel");
}

TEST_F(PrintTest, EmptyListsAndMissingEquations)
{
    // No inputs, no outputs (a program just started): the header keeps its
    // layout; an output and a local without equation print as comments.
    prg->def_name(id("e"));
    EXPECT_EQ(lus(), "\nnode e( \n   \n) returns (\n   \n);\n\nlet\ntel");
    prg->add_output(id("o"), nullptr, prg->base_clock(), 0);
    prg->add_local(id("l"), prg->int_type(), id("o"));
    EXPECT_EQ(lus(), "\nnode e( \n   \n) returns (\n   o : <undeclared-type>\n);\n"
                     "var\n   ( l : int ) when o;\n   \n"
                     "let\n   (* o has no equation *)\n   (* l has no equation *)\ntel");
}

TEST_F(PrintTest, OperatorForms)
{
    inputs({"x", "y"}, prg->int_type());
    inputs({"a", "b", "c"}, prg->bool_type());
    Exp *x = ref("x"), *y = ref("y"), *a = ref("a"), *b = ref("b"), *c = ref("c");
    struct { Exp* e; const char* text; } rows[] = {
        {prg->get_exp(PRE_n, x), "pre(x)"},
        {prg->get_exp(NOT_n, a), "not(a)"},
        {prg->get_exp(UMINUS_n, x), "-(x)"},
        {prg->get_exp(INT2REAL_n, x), "real(x)"},
        {prg->get_exp(PLUS_n, x, y), "(x)+(y)"},
        {prg->get_exp(AND_n, a, b), "(a)and(b)"},
        {prg->get_exp(WHEN_n, x, c), "(x)when(c)"},
        {prg->get_exp(POWER_n, prg->get_exp(MINUS_n, x, y), x), "((x)-(y))**(x)"},
        {prg->get_exp(IF_n, c, x, y), " if (c) then (x) else (y)"},
        {prg->get_exp(PROJ_n, prg->get_exp(CALL_n, x, id("f")), 2), "proj(2)(f(x))"},
    };
    for (auto& r : rows) EXPECT_EQ(def_text(r.e), r.text);

    ExpList* l = new ExpList(a);
    l->concat(new ExpList(b));
    Exp* tuple = prg->get_exp(TUPLE_n, l);
    Exp* nor = prg->get_exp(NOR_n, l);
    Exp* diese = prg->get_exp(DIESE_n, l);
    delete l;
    EXPECT_EQ(def_text(tuple), "(a, b)");
    EXPECT_EQ(def_text(nor), "nor(a, b)");
    EXPECT_EQ(def_text(diese), "#(a, b)");
    EXPECT_EQ(def_text(prg->get_exp(CALL_n, tuple, id("f"))), "f(a, b)");

    // print writes a named node's name, print_def its form.
    EXPECT_EQ(exp_text(x), "x");
    EXPECT_EQ(def_text(x), "x");

    Exp bad(ERROR_n, 0, static_cast<Exp**>(nullptr));
    testing::internal::CaptureStderr();
    EXPECT_EQ(def_text(&bad), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "print_def 'ERROR_n' is not implemented");
    Exp anonymous(CONST_n, 0, static_cast<EcType*>(nullptr));
    testing::internal::CaptureStderr();
    EXPECT_EQ(def_text(&anonymous), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Exp::print_def : 'CONST_n' Exp must have an identifier");
}

TEST_F(PrintTest, LinearCombinations)
{
    inputs({"x", "y", "z"}, prg->int_type());
    Exp* ops[3] = {ref("x"), ref("y"), ref("z")};
    struct { int n; int coefs[3]; int k; const char* text; } rows[] = {
        {3, {2, -1, -3}, -4, "2*x -y -3*z -4"},
        {1, {-1}, 5, "-x +5"},
        {0, {}, 4, "4"},
        {1, {1}, 0, "x"},
        {2, {-2, 1}, 0, "-2*x +y"},
        {2, {1, 7}, 3, "x +7*y +3"},
    };
    for (auto& r : rows) {
        Exp* e = prg->get_exp(ICL_n, r.n, ops, r.coefs, r.k);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(def_text(e), r.text);
    }
    Fract fc[2] = {Fract(1, 2), Fract(-3, 4)};
    EXPECT_EQ(def_text(prg->get_exp(RCL_n, 2, ops, fc, Fract(0))), "1/2*x -3/4*y");
    Fract gc[2] = {Fract(-1), Fract(-1)};
    EXPECT_EQ(def_text(prg->get_exp(RCL_n, 2, ops, gc, Fract(-7, 3))), "-x -y -7/3");
    Fract hc[2] = {Fract(5), Fract(1)};
    EXPECT_EQ(def_text(prg->get_exp(RCL_n, 2, ops, hc, Fract(2))), "5*x +y +2");
    EXPECT_EQ(def_text(prg->get_exp(RCL_n, 0, ops, hc, Fract(1, 3))), "1/3");
}

TEST_F(PrintTest, RecursionGuardCutsOnlyCycles)
{
    inputs({"x"}, prg->int_type());
    // A node shared by two branches is written in full in both.
    Exp* shared = prg->get_exp(PRE_n, ref("x"));
    Exp* both = prg->get_exp(PLUS_n, shared, shared);
    testing::internal::CaptureStdout();
    prg->print_exp(both);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "(pre(x))+(pre(x))");

    // A cycle of unnamed nodes (made by hand: the factory cannot) is cut
    // where it closes.
    Exp* none[1] = {nullptr};
    Exp outer(NOT_n, 1, none);
    Exp inner(PRE_n, &outer);
    const_cast<Exp**>(outer.operands())[0] = &inner;
    testing::internal::CaptureStdout();
    prg->print_exp(&outer);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "not(pre(WARNING : RECURSION ))");
    // The marks of the path are cleared as it unwinds: the next trace, and a
    // guarded print under the same key, see the same whole path.
    testing::internal::CaptureStdout();
    prg->print_exp(&inner);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "pre(not(WARNING : RECURSION ))");
    // Iprint_def does not mark the node it starts from.
    EXPECT_EQ(printed([&](PtyStream* out) { inner.Iprint_def(out, &symbols); }),
              "pre(not(pre(WARNING : RECURSION )))");
    EXPECT_EQ(printed([&](PtyStream* out) { both->Iprint(out, &symbols); }), "(pre(x))+(pre(x))");

    testing::internal::CaptureStdout();
    prg->print_exp(ref("x"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "x");
}

TEST_F(PrintTest, TupleEquationPrintedOnce)
{
    inputs({"x", "y"}, prg->int_type());
    prg->add_output(id("a"), prg->int_type(), prg->base_clock(), 0);
    prg->add_output(id("b"), prg->int_type(), prg->base_clock(), 0);
    prg->def_name(id("n"));
    ExpList* l = new ExpList(ref("x"));
    l->concat(new ExpList(ref("y")));
    Exp* call = prg->get_exp(CALL_n, prg->get_exp(TUPLE_n, l), id("f"));
    delete l;
    prg->define_tuple(ids({"a", "b"}), call);
    std::string text = lus();
    EXPECT_NE(text.find("\n   a, b = f(x, y);\ntel"), std::string::npos) << text;
    EXPECT_EQ(text.find("\n   b = "), std::string::npos);
    EXPECT_EQ(text.find("proj"), std::string::npos);
}

TEST_F(PrintTest, UndeclaredFunctionStopsItsList)
{
    prg->add_usr_func(id("g"), prg->int_type(), prg->int_type(), ids({"p", "int"}), ids({"q", "bool"}));
    prg->add_usr_func(id("h"), prg->int_type(), prg->int_type(), nullptr, nullptr);
    prg->add_usr_func(id("k"), prg->int_type(), prg->int_type(), nullptr, nullptr);
    // h's record is displaced by a variable: h is now undeclared as a function.
    prg->add_input(id("h"), prg->int_type(), prg->base_clock());
    prg->add_output(id("o"), prg->int_type(), prg->base_clock(), 0);
    prg->def_name(id("n"));
    std::string text = lus();
    EXPECT_EQ(text.find("function g (p : int)\nreturns (q : bool);\n"), 1u) << text;
    EXPECT_EQ(text.find("function k"), std::string::npos);
    EXPECT_NE(text.find("node n( "), std::string::npos);
    EXPECT_STREQ(prg->error_msg(), "undeclared function `h`");

    std::string list = printed([&](PtyStream* out) {
        EXPECT_EQ(prg->print_func_list(prg->usr_func_list(), out), 1);
    });
    EXPECT_EQ(list, "\nfunction g (p : int)\nreturns (q : bool);\n");

    testing::internal::CaptureStdout();
    EXPECT_EQ(prg->print_ec(), 1);
    std::string ec = testing::internal::GetCapturedStdout();
    EXPECT_EQ(ec.find("node"), std::string::npos);
}

TEST_F(PrintTest, LongLinesWrapBetweenPieces)
{
    prg->add_input(id("a_rather_long_variable_name"), prg->int_type(), prg->base_clock());
    Exp* v = ref("a_rather_long_variable_name");
    Exp* e = v;
    for (int i = 0; i < 4; i++) e = prg->get_exp(PLUS_n, e, v);
    std::string text = def_text(e);
    size_t start = 0;
    std::string joined;
    while (start <= text.size()) {
        size_t nl = text.find('\n', start);
        std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        EXPECT_LT(line.size(), 80u) << line;
        joined += line;
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
    EXPECT_NE(text.find('\n'), std::string::npos);
    EXPECT_EQ(joined,
              "((((a_rather_long_variable_name)+(a_rather_long_variable_name))+"
              "(a_rather_long_variable_name))+(a_rather_long_variable_name))+"
              "(a_rather_long_variable_name)");
}
