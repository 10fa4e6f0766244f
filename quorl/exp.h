// Expression nodes of an ec program, their operator kinds and property lists.
//
// Every node made through EcPrg::get_exp (and every reference leaf made by the
// program) lives in the program's ExpHeap and is released by it; such a node
// must never be deleted by anyone else. A node never owns its operands, so
// nodes may be shared by any number of parents.
#ifndef QUORL_EXP_H
#define QUORL_EXP_H

#include <cstddef>

#include "corvel/chunk_store.h"

class EcType;
class Fract;
class PtyStream;
class SymbolTable;

// The kinds of node. The values are fixed: they index ExpNatureKeys, and the
// type checker and the printer select behaviour by ranges (1..4 leaves, 5..12
// prefix operators, 13..31 infix operators).
enum ExpNature {
    ERROR_n = 0,
    CONST_n,
    INPUT_n,
    ECREF_n,
    MODELREF_n,
    PRE_n,
    CURRENT_n,
    NOT_n,
    UMINUS_n,
    INT2REAL_n,
    REAL2INT_n,
    LAST_n,
    INIT_n,
    ARROW_n,
    WHEN_n,
    AND_n,
    OR_n,
    XOR_n,
    IMPL_n,
    EQUAL_n,
    NEQ_n,
    GTE_n,
    GT_n,
    LTE_n,
    LT_n,
    DIV_n,
    MOD_n,
    MINUS_n,
    PLUS_n,
    SLASH_n,
    TIMES_n,
    POWER_n,
    IF_n,
    TUPLE_n,
    NOR_n,
    DIESE_n,
    RCL_n,
    ICL_n,
    PROJ_n,
    CALL_n
};

const int NB_EXP_NATURES = 40;

// (operator text, kind name) for each nature, in ExpNature order.
extern const char* const ExpNatureKeys[NB_EXP_NATURES][2];

// Operator text of a nature ("" for kinds without one); "" outside 0..39.
const char* opkey(int nature);
// Kind name of a nature ("PRE_n"); "<bad-nature>" outside 0..39.
const char* nodekey(int nature);
// A fresh property key: 1, 2, 3, ... never repeated during a run.
int take_a_key();

// One entry of a node's property list (sorted by decreasing key).
class ExpInfo {
public:
    ExpInfo(int key, void* value, ExpInfo* next) : _key(key), _value(value), _next(next) {}
    ExpInfo(const ExpInfo&) = delete;
    ExpInfo& operator=(const ExpInfo&) = delete;

    int key() const { return _key; }
    void* value() const { return _value; }
    ExpInfo* next() const { return _next; }
    void set_value(void* v) { _value = v; }
    void set_next(ExpInfo* n) { _next = n; }

private:
    int _key;
    void* _value;
    ExpInfo* _next;
};

// One expression node.
class Exp {
public:
    // The most operands a node holds.
    static const int kMaxArity = (1 << 22) - 1;

    Exp(ExpNature n, Exp* a);
    Exp(ExpNature n, Exp* a, int k);  // PROJ_n order / CALL_n function
    Exp(ExpNature n, Exp* a, Exp* b);
    Exp(ExpNature n, Exp* a, Exp* b, Exp* c);
    Exp(ExpNature n, int count, Exp** ops);
    Exp(ExpNature n, int count, Exp** ops, Fract* coefs, Fract constant);    // RCL_n
    Exp(ExpNature n, int count, Exp** ops, const int* coefs, int constant);  // ICL_n
    Exp(ExpNature n, int ident, EcType* type, int clock);                    // leaf
    Exp(ExpNature n, int ident, EcType* type);                               // leaf, clock -1
    // Releases the property list, the operand array and the coefficient
    // arrays; never the operands.
    ~Exp();
    Exp(const Exp&) = delete;
    Exp& operator=(const Exp&) = delete;

    // Resets every field (type null, clock -1, ident 0, ERROR_n, no operands,
    // order 0, constants 0, no properties). Only for a freshly built object.
    void ExpInit();

    EcType* type() const { return _type; }
    void set_type(EcType* t) { _type = t; }
    int clock() const { return _clock; }
    void set_clock(int c) { _clock = c; }
    int ident() const { return _shape.is_order ? 0 : _ident_or_order; }
    ExpNature nature() const { return static_cast<ExpNature>(_shape.nature); }
    int arity() const { return _shape.arity; }
    // Operand i, 0 <= i < arity().
    Exp* operand(int i) const { return operands()[i]; }
    // The operand array (arity() entries), null when arity() is 0.
    Exp* const* operands() const {
        return _shape.arity == 0 ? nullptr : (uses_heap() ? _ops.h.heap : _ops.inl);
    }
    // Raw order field: projection order of PROJ_n, function of CALL_n, else 0.
    int order() const { return _shape.is_order ? _ident_or_order : 0; }

    // Linear combinations: coefficient arrays (null unless ICL_n / RCL_n
    // with operands) and constants (0 and 0/1 for other kinds).
    const int* int_coefs() const;
    int int_constant() const;
    const Fract* fract_coefs() const;
    const Fract& fract_constant() const;

    // Where the node's operator was read: its text's byte offset + 1, or 0
    // for a node that was not read from a file.
    unsigned pos() const { return _pos; }
    void set_pos(unsigned pos) { _pos = pos; }

    // Order of a PROJ_n node; internal error and 0 on other kinds.
    int projection_order() const;
    // Function identifier of a CALL_n node; internal error and 0 otherwise.
    int function_ident() const;

    // Property list, sorted by decreasing key.
    ExpInfo* infos() const { return _infos; }
    void put_info(int key, void* value);
    void* get_ptr_info(int key) const;
    int get_int_info(int key) const;

    // Printing (ecprg-print.cpp). None of them recurses per level.
    void print(PtyStream* out, SymbolTable* names);       // name, or print_def
    void print_def(PtyStream* out, SymbolTable* names);   // the node's own form
    void Iprint(PtyStream* out, SymbolTable* names);      // print with cycle guard
    void Iprint_def(PtyStream* out, SymbolTable* names);  // print_def with guard

private:
    static const int kInline = 2;  // operands stored in the node itself
    void set_operands(int count, Exp* const* ops);
    struct Linear;
    void init_linear(ExpNature n, int count, Exp** ops, Linear* lin);
    // A linear combination keeps its operands on the heap, so that the
    // second word of _ops holds its coefficients.
    bool uses_heap() const { return _shape.arity > kInline || _shape.lin_node; }
    Linear* linear() const { return _shape.lin_node ? _ops.h.lin : nullptr; }

    // 48 bytes: the bulk of a large program's memory is its nodes.
    EcType* _type = nullptr;
    ExpInfo* _infos = nullptr;
    union {
        Exp* inl[kInline];
        struct {
            Exp** heap;
            Linear* lin;
        } h;
    } _ops = {};
    int _clock = -1;
    int _ident_or_order = 0;  // identifier of a leaf, or the order field
    struct Shape {
        unsigned arity : 22;
        unsigned nature : 8;
        unsigned is_order : 1;  // _ident_or_order holds the order field
        unsigned lin_node : 1;  // made with coefficients (ICL_n / RCL_n)
        Shape() : arity(0), nature(ERROR_n), is_order(0), lin_node(0) {}
    } _shape;
    unsigned _pos = 0;  // source offset of the operator + 1, 0 when none
};

// The program's expression heap: every node lives in chunks of raw storage
// (no allocation per node), newest last.
using ExpHeap = ChunkStore<Exp>;

#endif
