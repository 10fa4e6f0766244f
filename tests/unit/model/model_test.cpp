// The program model: records, lists, types, equations, clocks and the
// Lustre printer. The undo of a failed expression is checked through the
// reader (reader_test), which is how it is used.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "corvel/fract.h"
#include "corvel/pty.h"
#include "corvel/symbols.h"
#include "quorl/ecprg.h"

namespace {

using namespace testing::internal;  // CaptureStdout, CaptureStderr and their results

// What f writes on standard output, or standard error.
template <class F>
std::string captured(F f, bool err = false) {
    err ? CaptureStderr() : CaptureStdout();
    f();
    return err ? GetCapturedStderr() : GetCapturedStdout();
}
template <class F>
std::string err_of(F f) {
    return captured(f, true);
}

class Model : public testing::Test {
protected:
    int id(const char* name) { return symbols.add("%s", name); }
    IdentInfo* info(const char* name) { return prg.get_ident_info(id(name)); }
    Exp* ref(const char* name) { return prg.reference(id(name)); }
    Exp* lit(const char* text) { return prg.get_int_const(id(text)); }
    void inputs(std::initializer_list<const char*> names, EcType* t) {
        for (const char* n : names) prg.add_input(id(n), t, prg.base_clock());
    }
    IntList* list(std::initializer_list<const char*> names) {
        std::vector<int> ids;
        for (const char* n : names) ids.push_back(id(n));
        return prg.new_list(ids.data(), (int)ids.size());
    }
    static std::vector<int> lengths(IntList* l) {
        std::vector<int> v;
        for (; l; l = l->tail()) v.push_back(l->length());
        return v;
    }
    template <class F>
    static std::string printed(F f) {  // what f writes on a stream 80 wide
        char* buf = nullptr;
        size_t len = 0;
        {
            PtyStream out(open_memstream(&buf, &len), 80);
            f(&out);
        }
        std::string text(buf, len);
        free(buf);
        return text;
    }
    std::string def_text(Exp* e) {
        return printed([&](PtyStream* out) { e->print_def(out, &symbols); });
    }
    std::string lus() {
        return printed([&](PtyStream* out) { prg.print_lus(out); });
    }

    SymbolTable symbols;
    EcPrg prg{&symbols};
};

// Each declaration makes a record of its mode, type and clock, with a
// reference leaf shared by uses; the base clock is "true".
TEST_F(Model, RecordsOfEachKind) {
    EXPECT_STREQ(symbols[prg.base_clock()], "true");
    inputs({"x"}, prg.int_type());
    inputs({"c"}, prg.bool_type());
    prg.add_local(id("y"), prg.int_type(), id("c"));
    prg.add_output(id("o"), prg.int_type(), id("c"), 0);
    prg.add_usr_const(id("k"), prg.int_type(), prg.base_clock());
    prg.get_real_const(id("2.5"));
    Exp* sum = prg.get_exp(PLUS_n, lit("42"), ref("x"));
    prg.add_assertion(sum);
    EcType *I = prg.int_type(), *B = prg.bool_type(), *R = prg.real_type();
    const int base = prg.base_clock(), c = id("c"), none = -1;
    struct {
        const char* name;
        IdentMode mode;
        EcType* type;
        int clock, ref;
        bool def_is_ref;
    } rows[] = {{"x", INPUT_m, I, base, INPUT_n, true},
                {"nil", BOOL_CONST_m, B, base, CONST_n, true},
                {"y", LOCAL_m, I, c, ECREF_n, false},
                {"o", OUTPUT_m, I, c, ECREF_n, false},
                {"k", USR_CONST_m, I, base, CONST_n, true},
                {"42", INT_CONST_m, I, base, CONST_n, true},
                {"2.5", REAL_CONST_m, R, base, CONST_n, true},
                {"__assert_0", ASSERT_m, B, base, none, false}};
    for (auto& r : rows) {
        IdentInfo* i = info(r.name);
        ASSERT_NE(i, nullptr) << r.name;
        EXPECT_EQ(i->ident_mode(), r.mode) << r.name;
        EXPECT_EQ(i->type(), r.type) << r.name;
        EXPECT_EQ(i->clock(), r.clock) << r.name;
        EXPECT_EQ(prg.reference(id(r.name)), i->ec_ref()) << r.name;
        if (r.ref == none) continue;
        EXPECT_EQ(i->ec_ref()->nature(), r.ref) << r.name;
        EXPECT_EQ(i->ec_def(), r.def_is_ref ? i->ec_ref() : nullptr) << r.name;
    }
    EXPECT_EQ(info("__assert_0")->ec_def(), sum);
    EXPECT_EQ(sum->type(), B);  // linking makes it bool, unchecked
    for (int bad : {id("__assert_0"), id("never declared"), 0, -3, 1 << 30})
        EXPECT_EQ(prg.reference(bad), nullptr);
    // Literals are interned by their text; a text that is no number is 0, a
    // too large one keeps its low 32 bits.
    EXPECT_EQ(lit("42"), info("42")->ec_ref());
    EXPECT_NE(lit("042"), lit("42"));
    for (auto r : {std::make_pair("zz", 0), {"-7", -7}, {"4294967297", 1}}) {
        lit(r.first);
        EXPECT_EQ(info(r.first)->int_value(), r.second) << r.first;
    }
    EXPECT_FLOAT_EQ(info("2.5")->real_value(), 2.5f);
    EXPECT_EQ(prg.get_bool_const(id("x")), ref("x"));  // an existing record gives its leaf
}

TEST_F(Model, ListsFunctionsAndRedeclarations) {
    inputs({"i1", "i2"}, prg.int_type());
    prg.add_output(id("o1"), prg.int_type(), prg.base_clock(), 0);
    prg.add_output(id("o0"), prg.int_type(), prg.base_clock(), 1);  // at the front
    EXPECT_EQ(info("o0")->index_in_list(), 1);
    int v = -5;
    EXPECT_EQ(prg.outputs().at(0, &v), 0);
    EXPECT_EQ(v, id("o0"));
    EXPECT_EQ(lengths(prg.outputs().list()), (std::vector<int>{2, 1}));
    EXPECT_EQ(prg.inputs().at(2, &v) + prg.inputs().at(-1, &v), 2);
    EXPECT_EQ(v, id("o0"));  // out of range leaves it alone
    // Appending keeps every cell's length right, at every size.
    for (int i = 2; i < 1000; i++) {
        prg.add_input(symbols.add("v%d", i), prg.int_type(), prg.base_clock());
        if (i % 97 != 0) continue;
        std::vector<int> lens = lengths(prg.inputs().list());
        ASSERT_EQ(lens.size(), size_t(i + 1));
        for (int k = 0; k <= i; k++) ASSERT_EQ(lens[k], i + 1 - k);
    }
    EXPECT_EQ(prg.nb_inputs(), 1000);
    // Only single-result functions are counted and listed as FUNC_m.
    int ib[] = {id("int"), id("bool")};
    prg.add_usr_func(id("f"), prg.int_type(), prg.define_type(ib, 2), list({"a", "int"}), nullptr);
    prg.add_usr_func(id("g"), prg.int_type(), prg.real_type(), nullptr, nullptr);
    prg.add_usr_func(id("h"), prg.int_type(), nullptr, nullptr, nullptr);
    EXPECT_EQ(prg.get_func_info(id("f"))->func_mode(), TUPLE_FUNC_m);
    EXPECT_EQ(prg.get_func_info(id("h"))->usr_def_index(), 1);
    EXPECT_EQ(prg.nb_u_funcs(), 2);
    EXPECT_EQ(prg.tuple_funcs().size(), 1);
    // A name declared again gets a new record; the old stays in the lists.
    prg.add_input(id("i1"), prg.bool_type(), prg.base_clock());
    EXPECT_EQ(info("i1")->type(), prg.bool_type());
    EXPECT_EQ(prg.nb_inputs(), 1001);
    prg.add_usr_func(id("i1"), prg.int_type(), prg.int_type(), nullptr, nullptr);
    EXPECT_EQ(info("i1"), nullptr);
    EXPECT_EQ(prg.reference(id("i1")), nullptr);
    prg.add_local(id("i1"), prg.int_type(), prg.base_clock());
    EXPECT_EQ(prg.get_func_info(id("i1")), nullptr);
    EXPECT_EQ(prg.reference(id("i1")), info("i1")->ec_ref());
}

TEST_F(Model, Types) {
    EXPECT_EQ(prg.get_named_type(id("int")), prg.int_type());
    EXPECT_EQ(prg.get_named_type(id("color")), nullptr);
    EXPECT_STREQ(prg.error_msg(), "EcPrg: type 'color' undeclared");
    prg.add_usr_type(id("int"));
    EXPECT_STREQ(prg.error_msg(), "type 'int' already declared");
    // One tuple type per sequence of names; members are not looked up.
    int ib[] = {id("int"), id("bool")}, bi[] = {id("bool"), id("int")},
        ic[] = {id("int"), id("color")};
    EcType* t = prg.define_type(ib, 2);
    EXPECT_TRUE(t->is_tuple());
    EXPECT_EQ(prg.define_type(ib, 2), t);
    EXPECT_NE(prg.define_type(bi, 2), t);
    EXPECT_NE(prg.define_type(ic, 2), nullptr);
    EXPECT_EQ(prg.define_type(ib + 1, 1), prg.bool_type());
    EXPECT_EQ(t->member(2), id("bool"));
    EXPECT_EQ(t->member(3), 0);
    // Declared types are numbered; an enumeration's constants go in its
    // array last first; user constants are numbered after them.
    prg.add_usr_type(id("t1"));
    int rgb[] = {id("red"), id("green"), id("blue")};
    prg.add_usr_type(id("color"), rgb, 3);
    EcType* color = prg.get_named_type(id("color"));
    EXPECT_EQ(color->extern_number(), 2);
    ASSERT_EQ(color->enum_count(), 3);
    const char* order[3] = {"blue", "green", "red"};
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(color->enum_const(i), info(order[i]));
        EXPECT_EQ(info(order[i])->index_in_list(), i);
        EXPECT_EQ(info(order[i])->usr_def_index(), 2 - i);
    }
    EXPECT_EQ(info("red")->ec_ref()->type(), color);
    prg.add_usr_const(id("k0"), prg.int_type(), prg.base_clock());
    prg.add_usr_const(id("k1"), prg.int_type(), prg.base_clock());
    prg.add_usr_const(id("nt"), nullptr, prg.base_clock());
    EXPECT_EQ(lengths(prg.int_type()->usr_consts()), (std::vector<int>{2, 1}));
    EXPECT_EQ(info("k1")->usr_def_index(), 4);
    EXPECT_EQ(prg.usr_consts().size(), 6);
    EXPECT_EQ(err_of([&] {
                  EXPECT_EQ(prg.int_type()->member(1), 0);
                  EXPECT_EQ(prg.int_type()->enum_const(0), nullptr);
                  EXPECT_EQ(prg.define_type(ib, 0), nullptr);
              }),
              "EcType::member() called on non tuple type\nEcType::enum_const(int) called on non "
              "enumerate type"
              "EcPrg::define_type called with an empty list\n");
}

TEST_F(Model, EquationsTuplesClocksAndErrors) {
    inputs({"x"}, prg.int_type());
    inputs({"b", "c"}, prg.bool_type());
    prg.add_local(id("y"), prg.int_type(), id("c"));
    prg.add_output(id("o"), prg.int_type(), id("c"), 0);
    Exp* e = prg.get_exp(UMINUS_n, prg.get_real_const(id("1.5")));
    prg.define_variable(id("o"), e);  // linked unchecked: the variable's type and clock win
    EXPECT_EQ(e->type(), prg.int_type());
    EXPECT_EQ(e->clock(), id("c"));
    prg.define_variable(id("ghost"), e);  // no record: nothing happens
    prg.define_variable(id("o"), nullptr);
    EXPECT_EQ(info("o")->ec_def(), nullptr);
    for (Exp* a : {ref("b"), static_cast<Exp*>(nullptr), ref("c")}) prg.add_assertion(a);
    EXPECT_EQ(prg.nb_asserts(), 2);
    EXPECT_NE(info("__assert_1"), nullptr);
    // Every member of a tuple equation projects the one right-hand side.
    Exp* call = prg.get_exp(CALL_n, ref("x"), id("f"));
    IntList* names = list({"o", "y"});
    prg.define_tuple(names, call);
    for (const char* n : {"o", "y"}) {
        EXPECT_EQ(info(n)->tuple_linked(), names);
        EXPECT_EQ(info(n)->ec_def()->operand(0), call);
    }
    EXPECT_EQ(info("y")->ec_def()->projection_order(), 2);
    prg.define_tuple(list({"o"}), nullptr);
    EXPECT_EQ(info("o")->ec_def(), nullptr);
    // Clocks: the leftmost leaf's, resampled by when, memoised.
    Exp* memo = prg.get_exp(NOT_n, ref("b"));
    memo->set_clock(id("c"));
    Exp leaf(ECREF_n, id("x"), static_cast<EcType*>(nullptr));
    struct {
        Exp* e;
        int clock;
        const char* err;
    } rows[] = {{prg.get_exp(WHEN_n, ref("x"), ref("c")), id("c"), ""},
                {prg.get_exp(WHEN_n, ref("x"), prg.get_exp(AND_n, ref("b"), ref("c"))), 0,
                 "The clock operand of 'when' operator must be named"},
                {prg.get_exp(PRE_n, ref("y")), id("c"), ""},
                {prg.get_exp(NOT_n, prg.get_exp(CURRENT_n, ref("y"))), -1,
                 "EcPrg::clock 'CURRENT_n' is not implemented"},
                {prg.get_exp(PLUS_n, ref("x"), ref("y")), prg.base_clock(), ""},
                {memo, id("c"), ""},
                {&leaf, -1, "EcPrg::clock 'ECREF_n' is not implemented"}};
    for (auto& r : rows) {
        int got = 0;
        EXPECT_EQ(err_of([&] { got = prg.clock(r.e); }), r.err);
        EXPECT_EQ(got, r.clock) << r.err;
        EXPECT_EQ(r.e->clock(), r.e == &leaf ? -1 : r.clock) << r.err;
    }
    prg.error("%s", std::string(5000, 'z').c_str());
    EXPECT_EQ(strlen(prg.error_msg()), 1023u);
}

// ---------------------------------------------------------------- printing

TEST_F(Model, WorkedExampleInBothSyntaxes) {
    prg.add_usr_type(id("t1"));
    prg.add_usr_type(id("t2"));
    prg.add_usr_const(id("k"), prg.int_type(), prg.base_clock());
    int ii[2] = {id("int"), id("int")};
    prg.add_usr_func(id("f"), prg.define_type(ii, 2), prg.int_type(),
                     list({"a", "int", "b", "int"}), list({"r", "int"}));
    inputs({"x"}, prg.int_type());
    inputs({"c"}, prg.bool_type());
    prg.add_output(id("y"), prg.int_type(), prg.base_clock(), 0);
    prg.add_output(id("z"), prg.int_type(), id("c"), 0);
    prg.add_local(id("l"), prg.int_type(), prg.base_clock());
    prg.def_name(id("main"));
    prg.add_assertion(prg.get_exp(GTE_n, ref("x"), lit("0")));
    prg.define_variable(id("y"), prg.get_exp(PLUS_n, ref("x"), ref("l")));
    prg.define_variable(id("z"), prg.get_exp(WHEN_n, ref("x"), ref("c")));
    prg.define_variable(id("l"), prg.get_exp(ARROW_n, lit("0"), prg.get_exp(PRE_n, ref("y"))));
    EXPECT_EQ(lus(),
              "type\n   t1,\n   t2;\n\nconst\n   k : int;\n   \n"
              "function f (a : int; b : int)\nreturns (r : int);\n\n"
              "node main( \n   x : int;\n   c : bool\n) returns (\n   y : int;\n   ( z : int ) "
              "when c\n);\n"
              "var\n   l : int;\n   \n"
              "let\n   assert (x)>=(0);\n   y = (x)+(l);\n   z = (x)when(c);\n   l = "
              "(0)->(pre(y));\ntel");
    EXPECT_EQ(captured([&] { EXPECT_EQ(prg.print_ec(), 0); }),
              "type\n   t1,\n   t2.\n\nconst\n   ( k : int ) when true;\n   \n"
              "function f (a : int; b : int)\nreturns (r : int);\n\n"
              "node main( \n   ( x : int ) when true;\n   ( c : bool ) when true\n"
              ") returns (\n   ( y : int ) when true;\n   ( z : int ) when c\n);\n"
              "var\n   ( l : int ) when true;\n   \n"
              "let\n   assert (x)>=(0);\n   y = (x)+(l);\n   z = (x)when(c);\n   l = "
              "(0)->(pre(y));\ntel.");
}

// Empty lists keep the header layout; variables without equation print as
// comments; a function displaced by a variable stops its list.
TEST_F(Model, ProgramCornerCases) {
    prg.def_name(id("e"));
    EXPECT_EQ(lus(), "\nnode e( \n   \n) returns (\n   \n);\n\nlet\ntel");
    prg.add_usr_func(id("g"), prg.int_type(), prg.int_type(), list({"p", "int"}),
                     list({"q", "bool"}));
    prg.add_usr_func(id("h"), prg.int_type(), prg.int_type(), nullptr, nullptr);
    prg.add_usr_func(id("k"), prg.int_type(), prg.int_type(), nullptr, nullptr);
    inputs({"h"}, prg.int_type());
    prg.add_output(id("o"), nullptr, prg.base_clock(), 0);
    prg.add_local(id("l"), prg.int_type(), id("o"));
    EXPECT_EQ(lus(),
              "\nfunction g (p : int)\nreturns (q : bool);\n"
              "\nnode e( \n   h : int\n) returns (\n   o : <undeclared-type>\n);\n"
              "var\n   ( l : int ) when o;\n   \n"
              "let\n   (* o has no equation *)\n   (* l has no equation *)\ntel");
    EXPECT_STREQ(prg.error_msg(), "undeclared function `h`");
    EXPECT_EQ(captured([&] { EXPECT_EQ(prg.print_ec(), 1); }).find("node"), std::string::npos);
    prg.add_output(id("a"), prg.int_type(), prg.base_clock(), 0);
    Exp* pair[] = {ref("h"), ref("h")};
    prg.define_tuple(list({"a", "o"}), prg.get_exp(CALL_n, prg.get_exp(TUPLE_n, 2, pair), id("g")));
    std::string text = lus();
    EXPECT_NE(text.find("\n   a, o = g(h, h);\n   (* l has no equation *)\ntel"), std::string::npos)
        << text;
}

// The forms the reader builds are in the reader's tests; here those it
// does not build, and the recursion guard.
TEST_F(Model, ExpressionForms) {
    inputs({"x", "y", "z"}, prg.int_type());
    Exp *x = ref("x"), *y = ref("y"), *none[1] = {nullptr};
    Exp bad(ERROR_n, 0, none), anonymous(CONST_n, 0, static_cast<EcType*>(nullptr));
    Exp* xyz[3] = {x, y, ref("z")};
    int icoefs[][3] = {{2, -1, -3}, {-1}, {1, 7}};
    Fract fcoefs[][2] = {{Fract(1, 2), Fract(-3, 4)}, {Fract(-1), Fract(-1)}};
    Exp icl0(ICL_n, 3, xyz, icoefs[0], -4), icl1(ICL_n, 1, xyz, icoefs[1], 5),
        icl2(ICL_n, 2, xyz, icoefs[2], 3);
    Exp icl3(ICL_n, 0, xyz, icoefs[0], 4), rcl0(RCL_n, 2, xyz, fcoefs[0], Fract(0));
    Exp rcl1(RCL_n, 2, xyz, fcoefs[1], Fract(-7, 3)), rcl2(RCL_n, 0, xyz, fcoefs[0], Fract(1, 3));
    struct {
        Exp* e;
        const char* text;
        const char* err;
    } rows[] = {
        {prg.get_exp(PROJ_n, prg.get_exp(CALL_n, x, id("f")), 2), "proj(2)(f(x))", ""},
        {x, "x", ""},
        {&icl0, "2*x -y -3*z -4", ""},
        {&icl1, "-x +5", ""},
        {&icl2, "x +7*y +3", ""},
        {&icl3, "4", ""},
        {&rcl0, "1/2*x -3/4*y", ""},
        {&rcl1, "-x -y -7/3", ""},
        {&rcl2, "1/3", ""},
        {&bad, "", "print_def 'ERROR_n' is not implemented"},
        {&anonymous, "", "Exp::print_def : 'CONST_n' Exp must have an identifier"},
    };
    for (auto& r : rows) {
        std::string text;
        EXPECT_EQ(err_of([&] { text = def_text(r.e); }), r.err);
        EXPECT_EQ(text, r.text);
    }
    // The guard writes a shared node in full where it recurs, and cuts a
    // cycle (made by hand: the factory cannot) where it closes.
    Exp* shared = prg.get_exp(PRE_n, x);
    EXPECT_EQ(captured([&] { prg.print_exp(prg.get_exp(PLUS_n, shared, shared)); }),
              "(pre(x))+(pre(x))");
    Exp outer(NOT_n, 1, none);
    Exp inner(PRE_n, &outer);
    const_cast<Exp**>(outer.operands())[0] = &inner;
    EXPECT_EQ(captured([&] { prg.print_exp(&outer); }), "not(pre(WARNING : RECURSION ))");
    EXPECT_EQ(captured([&] { prg.print_exp(&inner); }), "pre(not(WARNING : RECURSION ))");
    // Long lines wrap between pieces, below the width.
    prg.add_input(id("a_rather_long_variable_name"), prg.int_type(), prg.base_clock());
    Exp* e = ref("a_rather_long_variable_name");
    for (int i = 0; i < 4; i++) e = prg.get_exp(PLUS_n, e, ref("a_rather_long_variable_name"));
    std::string text = def_text(e);
    EXPECT_GE(std::count(text.begin(), text.end(), '\n'), 2);
    for (size_t start = 0, nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        EXPECT_LT(nl - start, 80u);
}

// A million levels of every shape are printed, clocked, typed and freed
// without deep recursion.
TEST_F(Model, MillionLevelsDeep) {
    inputs({"b"}, prg.bool_type());
    Exp* b = ref("b");
    Exp* e = b;
    for (int i = 0; i < 1000000; i++) {
        Exp* pair[2] = {e, b};
        switch (i % 5) {
            case 0: e = prg.get_exp(NOT_n, e); break;
            case 1: e = prg.get_exp(IF_n, b, e, b); break;
            case 2: e = prg.get_exp(PROJ_n, prg.get_exp(TUPLE_n, 2, pair), 1); break;
            case 3: e = prg.get_exp(AND_n, e, b); break;
            default: e = prg.get_exp(PRE_n, e);
        }
    }
    EXPECT_GT(def_text(e).size(), 1000000u);
    EXPECT_EQ(prg.clock(e), prg.base_clock());
    CaptureStderr();
    EXPECT_EQ(prg.type(e), nullptr);  // PROJ_n cannot be typed
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_STREQ(prg.error_msg(), "sorry, type of 'PROJ_n' not yet implemented");
}

}  // namespace
