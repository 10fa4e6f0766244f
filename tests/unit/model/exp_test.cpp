// Expression nodes, natures, property lists, operand lists and the factory.
#include "model_fixture.h"

#include "corvel/fract.h"

#include <tuple>

static EcType* const kNoType = nullptr;

// The nature numbers are fixed: they index the key table.
TEST(ExpNatures, KeyTableNamesAndNewKeys)
{
    EXPECT_EQ(ICL_n, 37);
    EXPECT_EQ(CALL_n, 39);
    const struct { int n; const char *op, *kind; } rows[] = {
        {0, "", "ERROR_n"}, {4, "", "MODELREF_n"}, {5, "pre", "PRE_n"}, {8, "-", "UMINUS_n"},
        {9, "real", "INT2REAL_n"}, {10, "int", "REAL2INT_n"}, {13, "->", "ARROW_n"},
        {18, "=>", "IMPL_n"}, {20, "<>", "NEQ_n"}, {26, "mod", "MOD_n"}, {27, "-", "MINUS_n"},
        {31, "**", "POWER_n"}, {33, "", "TUPLE_n"}, {34, "nor", "NOR_n"}, {35, "#", "DIESE_n"},
        {36, "", "RCL_n"}, {39, "", "CALL_n"},
        {40, "", "<bad-nature>"}, {-1, "", "<bad-nature>"},   // outside: no overrun
    };
    for (auto& r : rows) {
        EXPECT_STREQ(opkey(r.n), r.op) << r.n;
        EXPECT_STREQ(nodekey(r.n), r.kind) << r.n;
        if (r.n >= 0 && r.n < NB_EXP_NATURES) {
            EXPECT_STREQ(ExpNatureKeys[r.n][1], r.kind);
        }
    }
    int a = take_a_key();
    EXPECT_GE(a, 1);
    EXPECT_EQ(take_a_key(), a + 1);
}

// A leaf keeps an identifier, PROJ_n / CALL_n an order in the same field;
// up to two operands live in the node, more on the heap; a linear combination
// keeps its operands apart from copied coefficients, for every count.
TEST(ExpNode, FieldsThatShareStorage)
{
    Exp a(INPUT_n, 11, kNoType), b(INPUT_n, 12, kNoType), c(CONST_n, 13, kNoType, 4);
    EXPECT_EQ(std::make_tuple(a.clock(), c.clock(), a.ident(), a.arity(), a.order(), a.int_constant()),
              std::make_tuple(-1, 4, 11, 0, 0, 0));
    EXPECT_TRUE(a.operands() == nullptr && a.infos() == nullptr && a.fract_constant() == 0LL);
    Exp* ops[4] = {&a, &b, &c, &a};
    auto check = [&](Exp* e, int arity, int order) {
        ASSERT_EQ(e->arity(), arity);
        EXPECT_EQ(e->ident(), 0);
        EXPECT_EQ(e->order(), order);
        EXPECT_EQ(e->operands() == nullptr, arity == 0);
        for (int i = 0; i < arity; i++) EXPECT_EQ(e->operand(i), ops[i]) << arity << " " << i;
    };
    Exp proj(PROJ_n, &a, 2), call(CALL_n, &a, 77), plus(PLUS_n, &a, &b), ite(IF_n, &a, &b, &c);
    Exp nor(NOR_n, 4, ops);
    EXPECT_EQ(proj.projection_order(), 2);
    EXPECT_EQ(call.function_ident(), 77);
    const struct { Exp* e; int arity, order; } shapes[] = {
        {&proj, 1, 2}, {&call, 1, 77}, {&plus, 2, 0}, {&ite, 3, 0}, {&nor, 4, 0}};
    for (auto& s : shapes) {
        check(s.e, s.arity, s.order);
        EXPECT_TRUE(s.e->type() == nullptr && s.e->int_coefs() == nullptr && s.e->fract_coefs() == nullptr);
    }
    const int want_i[3] = {5, -6, 7};
    const Fract want_f[3] = {Fract(1, 3), Fract(2, 5), Fract(-7, 2)};
    for (int n = 0; n <= 3; n++) {
        int icoefs[3] = {5, -6, 7};
        Fract fcoefs[3] = {want_f[0], want_f[1], want_f[2]};
        Exp icl(ICL_n, n, n ? ops : nullptr, n ? icoefs : nullptr, 100 + n);
        Exp rcl(RCL_n, n, ops, fcoefs, Fract(n, 7));
        icoefs[0] = 99;   // copied, not kept
        fcoefs[0] = Fract(99, 1);
        check(&icl, n, 0);
        check(&rcl, n, 0);
        EXPECT_EQ(icl.int_constant(), 100 + n);
        EXPECT_TRUE(rcl.fract_constant() == Fract(n, 7));
        for (int i = 0; i < n; i++) {
            EXPECT_EQ(icl.int_coefs()[i], want_i[i]);
            EXPECT_TRUE(rcl.fract_coefs()[i] == want_f[i]);
        }
    }
    // The other kind's accessor reports and returns 0.
    testing::internal::CaptureStderr();
    EXPECT_EQ(call.projection_order(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "projection_order called on 'CALL_n' operator");
    testing::internal::CaptureStderr();
    EXPECT_EQ(proj.function_ident(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exp::function_name called on 'PROJ_n' operator");
}

TEST(ExpNode, PropertyListSortedByDecreasingKey)
{
    Exp e(INPUT_n, 1, kNoType);
    int a, b, c;
    auto keys = [&] {
        std::vector<int> k;
        for (ExpInfo* i = e.infos(); i; i = i->next()) k.push_back(i->key());
        return k;
    };
    e.put_info(3, &a);
    e.put_info(7, &b);
    e.put_info(5, &c);
    EXPECT_EQ(keys(), (std::vector<int>{7, 5, 3}));
    EXPECT_EQ(e.get_ptr_info(5), &c);
    EXPECT_EQ(e.get_ptr_info(4), nullptr);
    EXPECT_EQ(e.get_int_info(100), 0);
    EXPECT_EQ(e.get_int_info(1), 0);
    // Overwriting keeps one entry; storing null keeps the entry.
    e.put_info(5, &a);
    e.put_info(7, nullptr);
    EXPECT_EQ(keys(), (std::vector<int>{7, 5, 3}));
    EXPECT_EQ(e.get_ptr_info(5), &a);
    e.put_info(9, reinterpret_cast<void*>(42));
    EXPECT_EQ(e.get_int_info(9), 42);
}

// Cells count what is behind them and are released without recursion, never
// releasing the expressions; owning heap cells release their nodes.
TEST(ExpListCells, ConcatTupleAndLongLists)
{
    Exp a(INPUT_n, 1, kNoType), b(INPUT_n, 2, kNoType), c(INPUT_n, 3, kNoType);
    ExpList* l = new ExpList(&a);
    l->concat(new ExpList(&b));
    l->concat(new ExpList(&c));
    EXPECT_EQ(l->length(), 3);
    EXPECT_EQ(l->tail()->length(), 2);
    EXPECT_EQ(l->tail()->tail()->length(), 1);
    Exp t(TUPLE_n, l);
    ASSERT_EQ(t.arity(), 3);
    EXPECT_TRUE(t.operand(0) == &a && t.operand(1) == &b && t.operand(2) == &c);
    ExpList* last = l->tail()->tail();
    for (int i = 0; i < 300000; i++) {
        ExpList* n = new ExpList(&a);
        last->concat(n);   // cost from last only
        last = n;
    }
    delete l;
    EXPECT_EQ(a.ident(), 1);

    ExpHeap* h = nullptr;
    for (int i = 0; i < 200000; i++) h = new ExpHeap(new Exp(INPUT_n, i + 1, kNoType), h);
    EXPECT_EQ(h->exp()->ident(), 200000);
    ExpHeap* rest = h->unlink();
    delete h;      // one node
    delete rest;   // the others, iteratively
}

class FactoryTest : public ModelTest {};

// Null operands make nothing; otherwise every call appends a distinct node to
// the store, across many chunks, and a rollback pops back to the mark.
TEST_F(FactoryTest, NullOperandsThenDistinctNodesAndRollback)
{
    Exp* a = lit("1");
    size_t before = prg->nb_exps();
    EXPECT_EQ(prg->get_exp(PLUS_n, a, nullptr), nullptr);
    EXPECT_EQ(prg->get_exp(NOT_n, static_cast<Exp*>(nullptr)), nullptr);
    EXPECT_EQ(prg->get_exp(IF_n, a, a, nullptr), nullptr);
    EXPECT_EQ(prg->get_exp(PROJ_n, nullptr, 1), nullptr);
    ExpList* l = new ExpList(a);
    l->concat(new ExpList(nullptr));
    EXPECT_EQ(prg->get_exp(TUPLE_n, l), nullptr);
    delete l;
    EXPECT_EQ(prg->nb_exps(), before);

    std::vector<Exp*> made;
    made.reserve(40000);
    for (int i = 0; i < 40000; i++) made.push_back(prg->get_exp(NOT_n, a));
    ASSERT_NE(made[0], nullptr);
    EXPECT_NE(made[0], made[1]);
    EXPECT_EQ(made[1]->operand(0), a);
    EXPECT_EQ(prg->nb_exps(), before + 40000);
    for (size_t i = 0; i < made.size(); i += 997) EXPECT_EQ(prg->exp_at(before + i), made[i]);
    prg->rollback(EcPrgMark{before + 100, prg->nb_created_infos()});
    EXPECT_EQ(prg->nb_exps(), before + 100);
    Exp* call = prg->get_exp(CALL_n, a, id("f"));
    EXPECT_EQ(prg->exp_at(before + 100), call);
    EXPECT_EQ(call->function_ident(), id("f"));
    EXPECT_EQ(call->clock(), -1);
}
