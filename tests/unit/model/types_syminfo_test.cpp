// Types of a program and the symbol-information records.
#include "model_fixture.h"

class TypesTest : public ModelTest {};

TEST_F(TypesTest, PredefinedTypesAndMisuse)
{
    EXPECT_EQ(prg->get_named_type(id("int")), prg->int_type());
    EXPECT_EQ(prg->define_named_type(id("int")), nullptr);
    EXPECT_STREQ(prg->error_msg(), "type 'int' already declared");
    EXPECT_EQ(prg->get_named_type(id("color")), nullptr);
    EXPECT_STREQ(prg->error_msg(), "EcPrg: type 'color' undeclared");
    EXPECT_EQ(prg->bool_type()->extern_number(), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(prg->int_type()->member(1), 0);
    EXPECT_EQ(prg->int_type()->enum_const(0), nullptr);
    EXPECT_EQ(prg->define_type(static_cast<IntList*>(nullptr)), nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("EcType::member() called on non tuple type\n"), std::string::npos);
    EXPECT_NE(err.find("EcType::enum_const(int) called on non enumerate type"), std::string::npos);
}

// One tuple type per sequence of names, however the sequence is given; a
// single name is that type, and must be declared.
TEST_F(TypesTest, TupleTypesExistOncePerSequence)
{
    IntList* real1 = ids({"real"});
    EXPECT_EQ(prg->define_type(real1), prg->real_type());
    free_list(real1);
    IntList* ib = ids({"int", "bool"});
    EcType* t = prg->define_type(ib);
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->is_tuple());
    EXPECT_EQ(t->name_list(), ib);   // a new tuple keeps the list
    IntList* ib2 = ids({"int", "bool"});
    EXPECT_EQ(prg->define_type(ib2), t);
    free_list(ib2);
    int arr[2] = {id("int"), id("bool")};
    EXPECT_EQ(prg->define_type(arr, 2), t);
    EXPECT_NE(prg->define_type(ids({"bool", "int"})), t);
    EXPECT_EQ(t->member(2), id("bool"));
    EXPECT_EQ(t->member(3), 0);

    EXPECT_NE(prg->define_type(ids({"int", "color"})), nullptr);   // members are not looked up
    IntList* c1 = ids({"color"});
    EXPECT_EQ(prg->define_type(c1), nullptr);
    EXPECT_STREQ(prg->error_msg(), "EcPrg: type 'color' undeclared");
    free_list(c1);

    int three[3] = {id("int"), id("int"), id("real")};
    EcType* v = prg->define_type(three, 3);
    EXPECT_EQ(values(v->name_list()), (std::vector<int>{id("int"), id("int"), id("real")}));
    EXPECT_EQ(lengths(v->name_list()), (std::vector<int>{3, 2, 1}));
}

// Numbering of external types, enumeration constants (listed last first) and
// user constants, and a repeated declaration that adds nothing.
TEST_F(TypesTest, ExternalEnumeratedAndUserConstants)
{
    prg->add_usr_type(id("t1"));
    IntList* rgb = ids({"red", "green", "blue"});
    prg->add_usr_type(id("color"), rgb);
    free_list(rgb);   // only read
    EcType* color = prg->get_named_type(id("color"));
    EXPECT_EQ(prg->get_named_type(id("t1"))->extern_number(), 1);
    EXPECT_EQ(color->extern_number(), 2);
    ASSERT_EQ(color->enum_count(), 3);
    const char* order[3] = {"blue", "green", "red"};
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(color->enum_const(i)->ident(), id(order[i]));
        EXPECT_EQ(prg->get_ident_info(id(order[i]))->usr_def_index(), 2 - i);
    }
    IdentInfo* red = prg->get_ident_info(id("red"));
    EXPECT_EQ(red->ident_mode(), ENUM_CONST_m);
    EXPECT_EQ(red->index_in_list(), 2);
    EXPECT_EQ(red->ec_ref()->nature(), CONST_n);
    EXPECT_EQ(red->ec_def(), red->ec_ref());
    EXPECT_EQ(red->ec_ref()->type(), color);
    EXPECT_EQ(values(prg->type_list()), (std::vector<int>{id("t1"), id("color")}));
    prg->add_usr_type(id("t1"));
    EXPECT_EQ(prg->nb_types(), 2);
    EXPECT_STREQ(prg->error_msg(), "type 't1' already declared");

    const char* ks[5] = {"k0", "k1", "k2", "k3", "k4"};
    for (const char* k : ks) prg->add_usr_const(id(k), prg->int_type(), prg->base_clock());
    prg->add_usr_const(id("nt"), nullptr, prg->base_clock());   // unknown type: skipped there
    IntList* l = prg->int_type()->usr_consts();
    EXPECT_EQ(values(l), (std::vector<int>{id("k0"), id("k1"), id("k2"), id("k3"), id("k4")}));
    EXPECT_EQ(lengths(l), (std::vector<int>{5, 4, 3, 2, 1}));
    EXPECT_EQ(prg->get_ident_info(id("k3"))->usr_def_index(), 6);   // numbered after the enum constants
    EXPECT_EQ(prg->get_ident_info(id("nt"))->type(), nullptr);
    EXPECT_EQ(prg->nb_usr_consts(), 9);
}

// Chunks of 200 slots made on demand, each with its base; far indexes; the
// array deletes what its slots hold (checked by leak tools).
TEST(SymbolInfoArrayChunks, SizeAndChunkBases)
{
    SymbolInfoArray a(200, 0);
    const struct { int index, size; } touches[] = {{-1, 0}, {5, 6}, {199, 200}, {450, 451}, {3, 451}};
    for (auto& t : touches) {
        if (t.index >= 0) (void)a[t.index];
        EXPECT_EQ(a.size(), t.size) << t.index;
    }
    ASSERT_NE(a.next(), nullptr);
    EXPECT_EQ(a.next()->base(), 200);
    ASSERT_NE(a.next()->next(), nullptr);
    EXPECT_EQ(a.next()->next()->base(), 400);
    EXPECT_EQ(a.next()->next()->highest_used(), 50);
    IdentInfo* r = new IdentInfo(LOCAL_m, 250, nullptr, 4);
    a[250] = r;
    EXPECT_EQ((*a.next())[50], r);   // slot 250 is position 50 of the second chunk
    a[3] = new FuncInfo(3, FUNC_m, nullptr, nullptr, nullptr, nullptr);
    a[1000000] = new IdentInfo(INPUT_m, 1000000, nullptr, 4);
    EXPECT_EQ(a.size(), 1000001);
    EXPECT_EQ(a[1000000]->symbol(), 1000000);
}

TEST(SymbolInfoRecords, KindsAndLinks)
{
    IdentInfo* i = new IdentInfo(INPUT_m, 7, nullptr, 3);
    FuncInfo* f = new FuncInfo(8, TUPLE_FUNC_m, nullptr, nullptr, nullptr, nullptr);
    SymbolInfo *si = i, *sf = f;
    EXPECT_EQ(si->is_ident(), i);
    EXPECT_EQ(si->is_function(), nullptr);
    EXPECT_EQ(sf->is_function(), f);
    EXPECT_EQ(sf->is_ident(), nullptr);
    EXPECT_EQ(i->index_in_list(), -1);

    // Linking a definition or a reference gives the node the identifier's type and clock.
    EcType t(1, nullptr);
    IdentInfo typed(OUTPUT_m, 9, &t, 9);
    Exp e(PLUS_n, static_cast<Exp*>(nullptr), static_cast<Exp*>(nullptr));
    e.set_clock(2);
    typed.ec_link(&e);
    EXPECT_EQ(e.type(), &t);
    EXPECT_EQ(e.clock(), 9);
    EXPECT_EQ(typed.ec_def(), &e);
    typed.ec_link(nullptr);
    EXPECT_EQ(typed.ec_def(), nullptr);
    Exp leaf(ECREF_n, 9, static_cast<EcType*>(nullptr));
    typed.ecref_link(&leaf);
    EXPECT_EQ(leaf.type(), &t);
    EXPECT_EQ(leaf.clock(), 9);

    FuncInfo* g = new FuncInfo(8, FUNC_m, nullptr, nullptr, new IntList(1, new IntList(2)), nullptr);
    // The heap cells own and release their records (checked by leak tools).
    SymbolInfoHeap* h = new SymbolInfoHeap(i, new SymbolInfoHeap(f, new SymbolInfoHeap(g, nullptr)));
    EXPECT_EQ(h->next()->info(), f);
    delete h;
}
