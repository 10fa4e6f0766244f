// Expression nodes, operator natures and property lists.
#include "quorl/exp.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

#include "corvel/chain.h"
#include "corvel/errors.h"
#include "corvel/fract.h"

const char* const ExpNatureKeys[NB_EXP_NATURES][2] = {
    {"", "ERROR_n"},
    {"", "CONST_n"},
    {"", "INPUT_n"},
    {"", "ECREF_n"},
    {"", "MODELREF_n"},
    {"pre", "PRE_n"},
    {"current", "CURRENT_n"},
    {"not", "NOT_n"},
    {"-", "UMINUS_n"},
    {"real", "INT2REAL_n"},
    {"int", "REAL2INT_n"},
    {"last", "LAST_n"},
    {"init", "INIT_n"},
    {"->", "ARROW_n"},
    {"when", "WHEN_n"},
    {"and", "AND_n"},
    {"or", "OR_n"},
    {"xor", "XOR_n"},
    {"=>", "IMPL_n"},
    {"=", "EQUAL_n"},
    {"<>", "NEQ_n"},
    {">=", "GTE_n"},
    {">", "GT_n"},
    {"<=", "LTE_n"},
    {"<", "LT_n"},
    {"div", "DIV_n"},
    {"mod", "MOD_n"},
    {"-", "MINUS_n"},
    {"+", "PLUS_n"},
    {"/", "SLASH_n"},
    {"*", "TIMES_n"},
    {"**", "POWER_n"},
    {"", "IF_n"},
    {"", "TUPLE_n"},
    {"nor", "NOR_n"},
    {"#", "DIESE_n"},
    {"", "RCL_n"},
    {"", "ICL_n"},
    {"", "PROJ_n"},
    {"", "CALL_n"},
};

const char* opkey(int nature) {
    if (nature < 0 || nature >= NB_EXP_NATURES) return "";
    return ExpNatureKeys[nature][0];
}

const char* nodekey(int nature) {
    if (nature < 0 || nature >= NB_EXP_NATURES) return "<bad-nature>";
    return ExpNatureKeys[nature][1];
}

// Atomic: programs printed in different threads never share a key.
static std::atomic<int> EXP_KEY_COUNTER{0};

int take_a_key() { return ++EXP_KEY_COUNTER; }

// ------------------------------------------------------------------ Exp

struct Exp::Linear {
    int* icoefs = nullptr;
    int iconst = 0;
    Fract* fcoefs = nullptr;
    Fract fconst;
    Linear(int* coefs, int constant) : icoefs(coefs), iconst(constant) {}
    Linear(Fract* coefs, Fract constant) : fcoefs(coefs), fconst(constant) {}
    Linear(const Linear&) = delete;
    Linear& operator=(const Linear&) = delete;
    ~Linear() {
        delete[] icoefs;
        delete[] fcoefs;
    }
};

void Exp::ExpInit() {
    _type = nullptr;
    _infos = nullptr;
    _ops.inl[0] = _ops.inl[1] = nullptr;
    _clock = -1;
    _ident_or_order = 0;
    _shape.arity = 0;
    _shape.nature = ERROR_n;
    _shape.is_order = false;
    _shape.lin_node = false;
    _pos = 0;
}

// Callers keep count within kMaxArity (the factory refuses more); a larger
// count is cut to it rather than overflow the field.
void Exp::set_operands(int count, Exp* const* ops) {
    if (count <= 0) return;
    if (count > kMaxArity) count = kMaxArity;
    if (count <= kInline && !_shape.lin_node) {
        for (int i = 0; i < count; i++) _ops.inl[i] = ops[i];
    } else {
        Exp** a = new Exp*[count];
        for (int i = 0; i < count; i++) a[i] = ops[i];
        _ops.h.heap = a;
    }
    _shape.arity = count;
}

Exp::Exp(ExpNature n, Exp* a) {
    ExpInit();
    _shape.nature = n;
    set_operands(1, &a);
}

Exp::Exp(ExpNature n, Exp* a, int k) {
    ExpInit();
    _shape.nature = n;
    set_operands(1, &a);
    _ident_or_order = k;
    _shape.is_order = true;
}

Exp::Exp(ExpNature n, Exp* a, Exp* b) {
    ExpInit();
    _shape.nature = n;
    Exp* ops[2] = {a, b};
    set_operands(2, ops);
}

Exp::Exp(ExpNature n, Exp* a, Exp* b, Exp* c) {
    ExpInit();
    _shape.nature = n;
    Exp* ops[3] = {a, b, c};
    set_operands(3, ops);
}

Exp::Exp(ExpNature n, int count, Exp** ops) {
    ExpInit();
    _shape.nature = n;
    set_operands(count, ops);
}

// A copy of the count coefficients, null when there are none.
template <class T>
static T* copy_coefficients(int count, const T* coefs) {
    if (count <= 0) return nullptr;
    T* copy = new T[count];
    for (int i = 0; i < count; i++) copy[i] = coefs[i];
    return copy;
}

Exp::Exp(ExpNature n, int count, Exp** ops, Fract* coefs, Fract constant) {
    init_linear(n, count, ops, new Linear(copy_coefficients(count, coefs), constant));
}

Exp::Exp(ExpNature n, int count, Exp** ops, const int* coefs, int constant) {
    init_linear(n, count, ops, new Linear(copy_coefficients(count, coefs), constant));
}

// Takes lin; the operands go to the heap, so that lin has its word of _ops.
void Exp::init_linear(ExpNature n, int count, Exp** ops, Linear* lin) {
    std::unique_ptr<Linear> owner(lin);
    ExpInit();
    _shape.nature = n;
    _shape.lin_node = true;
    set_operands(count, ops);
    _ops.h.lin = owner.release();
}

Exp::Exp(ExpNature n, int ident, EcType* type, int clock) {
    ExpInit();
    _shape.nature = n;
    _ident_or_order = ident;
    _type = type;
    _clock = clock;
}

Exp::Exp(ExpNature n, int ident, EcType* type) {
    ExpInit();
    _shape.nature = n;
    _ident_or_order = ident;
    _type = type;
}

Exp::~Exp() {
    delete_chain(_infos, &ExpInfo::next);
    if (_shape.arity > 0 && uses_heap()) delete[] _ops.h.heap;
    delete linear();
}

const int* Exp::int_coefs() const { return linear() ? linear()->icoefs : nullptr; }

int Exp::int_constant() const { return linear() ? linear()->iconst : 0; }

const Fract* Exp::fract_coefs() const { return linear() ? linear()->fcoefs : nullptr; }

const Fract& Exp::fract_constant() const {
    static const Fract zero;
    return linear() ? linear()->fconst : zero;
}

int Exp::projection_order() const {
    if (_shape.nature != PROJ_n) {
        ierror("projection_order called on '%s' operator", nodekey(nature()));
        return 0;
    }
    return order();
}

int Exp::function_ident() const {
    if (_shape.nature != CALL_n) {
        ierror("Exp::function_name called on '%s' operator", nodekey(nature()));
        return 0;
    }
    return order();
}

void Exp::put_info(int key, void* value) {
    ExpInfo* prev = nullptr;
    ExpInfo* cur = _infos;
    while (cur && cur->key() > key) {
        prev = cur;
        cur = cur->next();
    }
    if (cur && cur->key() == key) {
        cur->set_value(value);
        return;
    }
    ExpInfo* entry = new ExpInfo(key, value, cur);
    if (prev)
        prev->set_next(entry);
    else
        _infos = entry;
}

void* Exp::get_ptr_info(int key) const {
    ExpInfo* e = _infos;
    while (e && e->key() > key) e = e->next();
    return (e && e->key() == key) ? e->value() : nullptr;
}

int Exp::get_int_info(int key) const {
    return static_cast<int>(reinterpret_cast<intptr_t>(get_ptr_info(key)));
}

static_assert(sizeof(Exp) <= 48, "a node stays within 48 bytes");
