// Expression nodes, natures, property lists, operand lists and the factory.
#include "model_fixture.h"

#include "corvel/fract.h"

static EcType* const kNoType = nullptr;

TEST(ExpNatures, KeyTableAndNames)
{
    EXPECT_STREQ(nodekey(PRE_n), "PRE_n");
    EXPECT_STREQ(opkey(PRE_n), "pre");
    EXPECT_STREQ(opkey(MINUS_n), "-");
    EXPECT_STREQ(opkey(UMINUS_n), "-");
    EXPECT_STREQ(opkey(TUPLE_n), "");
    EXPECT_STREQ(nodekey(CALL_n), "CALL_n");
    EXPECT_EQ(CALL_n, 39);
    EXPECT_EQ(ICL_n, 37);
    struct { int n; const char* op; const char* kind; } rows[] = {
        {0, "", "ERROR_n"},  {4, "", "MODELREF_n"}, {9, "real", "INT2REAL_n"},
        {10, "int", "REAL2INT_n"}, {13, "->", "ARROW_n"}, {18, "=>", "IMPL_n"},
        {20, "<>", "NEQ_n"}, {26, "mod", "MOD_n"}, {31, "**", "POWER_n"},
        {34, "nor", "NOR_n"}, {35, "#", "DIESE_n"}, {36, "", "RCL_n"},
    };
    for (auto& r : rows) {
        EXPECT_STREQ(opkey(r.n), r.op) << r.n;
        EXPECT_STREQ(nodekey(r.n), r.kind) << r.n;
        EXPECT_STREQ(ExpNatureKeys[r.n][1], r.kind);
    }
    // Out of the enumeration: rejected with a recognisable text, no overrun.
    EXPECT_STREQ(opkey(40), "");
    EXPECT_STREQ(opkey(-1), "");
    EXPECT_STREQ(nodekey(40), "<bad-nature>");
}

TEST(ExpNatures, KeysGrowAndNeverRepeat)
{
    int a = take_a_key();
    int b = take_a_key();
    EXPECT_EQ(b, a + 1);
    EXPECT_GE(a, 1);
}

TEST(ExpNode, ConstructorsResetAndSet)
{
    Exp leaf(INPUT_n, 5, kNoType);
    EXPECT_EQ(leaf.clock(), -1);
    EXPECT_EQ(leaf.ident(), 5);
    EXPECT_EQ(leaf.arity(), 0);
    EXPECT_EQ(leaf.operands(), nullptr);
    EXPECT_EQ(leaf.order(), 0);
    EXPECT_EQ(leaf.int_constant(), 0);
    EXPECT_TRUE(leaf.fract_constant() == 0LL);
    EXPECT_EQ(leaf.infos(), nullptr);

    Exp c(CONST_n, 6, kNoType, 4);
    EXPECT_EQ(c.clock(), 4);
    Exp proj(PROJ_n, &leaf, 2);
    EXPECT_EQ(proj.arity(), 1);
    EXPECT_EQ(proj.operand(0), &leaf);
    EXPECT_EQ(proj.projection_order(), 2);
    Exp three(IF_n, &leaf, &c, &proj);
    EXPECT_EQ(three.arity(), 3);
    EXPECT_EQ(three.operand(2), &proj);
    EXPECT_EQ(three.type(), nullptr);
    EXPECT_EQ(three.ident(), 0);

    Exp* ops[4] = {&leaf, &c, &proj, &three};
    Exp four(NOR_n, 4, ops);
    EXPECT_EQ(four.arity(), 4);
    for (int i = 0; i < 4; i++) EXPECT_EQ(four.operand(i), ops[i]);

    Exp empty_icl(ICL_n, 0, nullptr, static_cast<int*>(nullptr), 4);
    EXPECT_EQ(empty_icl.arity(), 0);
    EXPECT_EQ(empty_icl.operands(), nullptr);
    EXPECT_EQ(empty_icl.int_constant(), 4);

    int coefs[2] = {2, -1};
    Exp icl(ICL_n, 2, ops, coefs, -7);
    coefs[0] = 99;   // copied, not kept
    EXPECT_EQ(icl.int_coefs()[0], 2);
    EXPECT_EQ(icl.int_coefs()[1], -1);
    EXPECT_EQ(icl.int_constant(), -7);

    Fract fc[1] = {Fract(1, 2)};
    Exp rcl(RCL_n, 1, ops, fc, Fract(-3, 4));
    EXPECT_TRUE(rcl.fract_coefs()[0] == Fract(1, 2));
    EXPECT_TRUE(rcl.fract_constant() == Fract(-3, 4));
}

TEST(ExpNode, WrongKindAccessorsReportAndReturnZero)
{
    Exp leaf(INPUT_n, 5, kNoType);
    Exp call(CALL_n, &leaf, 9);
    EXPECT_EQ(call.function_ident(), 9);
    testing::internal::CaptureStderr();
    EXPECT_EQ(call.projection_order(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "projection_order called on 'CALL_n' operator");
    Exp proj(PROJ_n, &leaf, 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(proj.function_ident(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Exp::function_name called on 'PROJ_n' operator");
}

TEST(ExpNode, PropertyListSortedByDecreasingKey)
{
    Exp e(INPUT_n, 1, kNoType);
    int a, b, c;
    e.put_info(3, &a);
    e.put_info(7, &b);
    e.put_info(5, &c);
    std::vector<int> keys;
    for (ExpInfo* i = e.infos(); i; i = i->next()) keys.push_back(i->key());
    EXPECT_EQ(keys, (std::vector<int>{7, 5, 3}));
    EXPECT_EQ(e.get_ptr_info(5), &c);
    EXPECT_EQ(e.get_ptr_info(4), nullptr);
    EXPECT_EQ(e.get_int_info(100), 0);
    EXPECT_EQ(e.get_int_info(1), 0);
    // Overwriting keeps one entry; storing null keeps the entry.
    e.put_info(5, &a);
    e.put_info(7, nullptr);
    keys.clear();
    for (ExpInfo* i = e.infos(); i; i = i->next()) keys.push_back(i->key());
    EXPECT_EQ(keys, (std::vector<int>{7, 5, 3}));
    EXPECT_EQ(e.get_ptr_info(5), &a);
    e.put_info(9, reinterpret_cast<void*>(42));
    EXPECT_EQ(e.get_int_info(9), 42);
}

TEST(ExpListCells, ConcatLengthsAndTupleOperands)
{
    Exp a(INPUT_n, 1, kNoType), b(INPUT_n, 2, kNoType), c(INPUT_n, 3, kNoType);
    ExpList* l = new ExpList(&a);
    l->concat(new ExpList(&b));
    l->concat(new ExpList(&c));
    EXPECT_EQ(l->length(), 3);
    EXPECT_EQ(l->tail()->length(), 2);
    EXPECT_EQ(l->tail()->tail()->length(), 1);
    Exp t(TUPLE_n, l);
    EXPECT_EQ(t.arity(), 3);
    EXPECT_EQ(t.operand(0), &a);
    EXPECT_EQ(t.operand(1), &b);
    EXPECT_EQ(t.operand(2), &c);
    delete l;   // the cells only, never the expressions
    EXPECT_EQ(a.ident(), 1);
}

TEST(ExpListCells, LongListsAreReleasedWithoutRecursion)
{
    Exp a(INPUT_n, 1, kNoType);
    ExpList* l = new ExpList(&a);
    ExpList* last = l;
    for (int i = 0; i < 300000; i++) {
        ExpList* n = new ExpList(&a);
        last->concat(n);   // cost from last only
        last = n;
    }
    EXPECT_EQ(last->length(), 1);
    delete l;
}

TEST(ExpHeapCells, DeletingTheHeadReleasesEveryNode)
{
    ExpHeap* h = nullptr;
    for (int i = 0; i < 200000; i++) h = new ExpHeap(new Exp(INPUT_n, i + 1, kNoType), h);
    EXPECT_EQ(h->exp()->ident(), 200000);
    ExpHeap* rest = h->unlink();
    delete h;      // one node
    delete rest;   // the others, iteratively
}

class FactoryTest : public ModelTest {};

TEST_F(FactoryTest, NullOperandsMakeNothing)
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
}

TEST_F(FactoryTest, EveryCallMakesADistinctNodeSharingOperands)
{
    Exp* a = prg->true_exp();
    size_t before = prg->nb_exps();
    Exp* n1 = prg->get_exp(NOT_n, a);
    Exp* n2 = prg->get_exp(NOT_n, a);
    ASSERT_NE(n1, nullptr);
    EXPECT_NE(n1, n2);
    EXPECT_EQ(n1->operand(0), a);
    EXPECT_EQ(n2->operand(0), a);
    EXPECT_EQ(prg->nb_exps(), before + 2);
    EXPECT_EQ(prg->exp_at(before), n1);
    EXPECT_EQ(prg->exp_at(before + 1), n2);
    Exp* call = prg->get_exp(CALL_n, a, id("f"));
    EXPECT_EQ(call->function_ident(), id("f"));
    EXPECT_EQ(call->clock(), -1);
    EXPECT_EQ(call->type(), nullptr);
}

TEST_F(FactoryTest, StoreSurvivesManyChunksAndPops)
{
    Exp* a = prg->true_exp();
    size_t before = prg->nb_exps();
    std::vector<Exp*> made;
    made.reserve(40000);
    for (int i = 0; i < 40000; i++) made.push_back(prg->get_exp(NOT_n, a));
    for (size_t i = 0; i < made.size(); i += 997) EXPECT_EQ(prg->exp_at(before + i), made[i]);
    EcPrgMark m{before + 100, prg->nb_created_infos()};
    prg->rollback(m);
    EXPECT_EQ(prg->nb_exps(), before + 100);
    Exp* again = prg->get_exp(NOT_n, a);
    EXPECT_EQ(prg->exp_at(before + 100), again);
}

// A node keeps either a leaf's identifier or an order field, and a linear
// combination keeps its operands apart from its coefficients: for every
// operand count the accessors give back exactly what was made.
TEST(ExpNode, FieldsThatShareStorage)
{
    Exp a(INPUT_n, 11, kNoType);
    Exp b(INPUT_n, 12, kNoType);
    Exp c(INPUT_n, 13, kNoType);
    Exp call(CALL_n, &a, 77);
    EXPECT_EQ(call.ident(), 0);
    EXPECT_EQ(call.order(), 77);
    EXPECT_EQ(call.function_ident(), 77);
    EXPECT_EQ(call.operand(0), &a);
    EXPECT_EQ(a.ident(), 11);
    EXPECT_EQ(a.order(), 0);

    Exp* ops[3] = {&a, &b, &c};
    for (int n = 0; n <= 3; n++) {
        int icoefs[3] = {5, -6, 7};
        Exp icl(ICL_n, n, ops, icoefs, 100 + n);
        Fract fcoefs[3] = {Fract(1, 3), Fract(2, 5), Fract(-7, 2)};
        Exp rcl(RCL_n, n, ops, fcoefs, Fract(n, 7));
        for (Exp* e : {&icl, &rcl}) {
            ASSERT_EQ(e->arity(), n);
            EXPECT_EQ(e->ident(), 0);
            EXPECT_EQ(e->order(), 0);
            for (int i = 0; i < n; i++) EXPECT_EQ(e->operand(i), ops[i]) << n << " " << i;
        }
        EXPECT_EQ(icl.int_constant(), 100 + n);
        EXPECT_TRUE(rcl.fract_constant() == Fract(n, 7));
        for (int i = 0; i < n; i++) {
            EXPECT_EQ(icl.int_coefs()[i], icoefs[i]);
            EXPECT_TRUE(rcl.fract_coefs()[i] == fcoefs[i]);
        }
    }
    // Two operands of a plain node stay in the node; coefficients are none.
    Exp plus(PLUS_n, &a, &b);
    EXPECT_EQ(plus.operand(1), &b);
    EXPECT_EQ(plus.int_coefs(), nullptr);
    EXPECT_EQ(plus.fract_coefs(), nullptr);
}
