// Expression nodes, operator natures, property lists, operand lists and the
// program's expression store.
#include "quorl/exp.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#include "corvel/fract.h"
#include "corvel/symbols.h"
#include "quorl/ecprg.h"

const char* const ExpNatureKeys[NB_EXP_NATURES][2] = {
    {"", "ERROR_n"},      {"", "CONST_n"},       {"", "INPUT_n"},
    {"", "ECREF_n"},      {"", "MODELREF_n"},    {"pre", "PRE_n"},
    {"current", "CURRENT_n"}, {"not", "NOT_n"},  {"-", "UMINUS_n"},
    {"real", "INT2REAL_n"}, {"int", "REAL2INT_n"}, {"last", "LAST_n"},
    {"init", "INIT_n"},   {"->", "ARROW_n"},     {"when", "WHEN_n"},
    {"and", "AND_n"},     {"or", "OR_n"},        {"xor", "XOR_n"},
    {"=>", "IMPL_n"},     {"=", "EQUAL_n"},      {"<>", "NEQ_n"},
    {">=", "GTE_n"},      {">", "GT_n"},         {"<=", "LTE_n"},
    {"<", "LT_n"},        {"div", "DIV_n"},      {"mod", "MOD_n"},
    {"-", "MINUS_n"},     {"+", "PLUS_n"},       {"/", "SLASH_n"},
    {"*", "TIMES_n"},     {"**", "POWER_n"},     {"", "IF_n"},
    {"", "TUPLE_n"},      {"nor", "NOR_n"},      {"#", "DIESE_n"},
    {"", "RCL_n"},        {"", "ICL_n"},         {"", "PROJ_n"},
    {"", "CALL_n"},
};

const char* opkey(int nature)
{
    if (nature < 0 || nature >= NB_EXP_NATURES) return "";
    return ExpNatureKeys[nature][0];
}

const char* nodekey(int nature)
{
    if (nature < 0 || nature >= NB_EXP_NATURES) return "<bad-nature>";
    return ExpNatureKeys[nature][1];
}

static int EXP_KEY_COUNTER = 0;

int take_a_key()
{
    return ++EXP_KEY_COUNTER;
}

// ------------------------------------------------------------------ ExpInfo

ExpInfo::ExpInfo(int key, void* value, ExpInfo* next)
    : _key(key), _value(value), _next(next) {}

ExpInfo::~ExpInfo()
{
    ExpInfo* rest = _next;
    while (rest) {
        ExpInfo* n = rest->_next;
        rest->_next = nullptr;
        delete rest;
        rest = n;
    }
}

// ------------------------------------------------------------------ ExpList

ExpList::ExpList(Exp* e) : _length(1), _head(e), _next(nullptr) {}

ExpList::~ExpList()
{
    ExpList* rest = _next;
    while (rest) {
        ExpList* n = rest->_next;
        rest->_next = nullptr;
        delete rest;
        rest = n;
    }
}

void ExpList::concat(ExpList* other)
{
    if (!other) return;
    ExpList* cell = this;
    for (;;) {
        cell->_length += other->_length;
        if (!cell->_next) break;
        cell = cell->_next;
    }
    cell->_next = other;
}

// ------------------------------------------------------------------ Exp

struct Exp::Linear {
    int* icoefs = nullptr;
    int iconst = 0;
    Fract* fcoefs = nullptr;
    Fract fconst;
    ~Linear() { delete[] icoefs; delete[] fcoefs; }
};

void Exp::ExpInit()
{
    _type = nullptr;
    _infos = nullptr;
    _ops.heap = nullptr;
    _ops.inl[0] = _ops.inl[1] = nullptr;
    _lin = nullptr;
    _clock = -1;
    _ident = 0;
    _order = 0;
    _arity = 0;
    _nature = ERROR_n;
}

void Exp::set_operands(int count, Exp* const* ops)
{
    if (count <= 0) return;
    if (count <= kInline) {
        for (int i = 0; i < count; i++) _ops.inl[i] = ops[i];
    } else {
        Exp** a = new Exp*[count];
        for (int i = 0; i < count; i++) a[i] = ops[i];
        _ops.heap = a;
    }
    _arity = count;
}

Exp::Exp(ExpNature n, Exp* a)
{
    ExpInit();
    _nature = n;
    set_operands(1, &a);
}

Exp::Exp(ExpNature n, Exp* a, int k)
{
    ExpInit();
    _nature = n;
    set_operands(1, &a);
    _order = k;
}

Exp::Exp(ExpNature n, Exp* a, Exp* b)
{
    ExpInit();
    _nature = n;
    Exp* ops[2] = {a, b};
    set_operands(2, ops);
}

Exp::Exp(ExpNature n, Exp* a, Exp* b, Exp* c)
{
    ExpInit();
    _nature = n;
    Exp* ops[3] = {a, b, c};
    set_operands(3, ops);
}

Exp::Exp(ExpNature n, ExpList* l)
{
    ExpInit();
    _nature = n;
    int count = l ? l->length() : 0;
    if (count <= 0) return;
    std::vector<Exp*> ops;
    ops.reserve(count);
    for (ExpList* c = l; c && static_cast<int>(ops.size()) < count; c = c->tail())
        ops.push_back(c->head());
    set_operands(static_cast<int>(ops.size()), ops.data());
}

Exp::Exp(ExpNature n, int count, Exp** ops)
{
    ExpInit();
    _nature = n;
    set_operands(count, ops);
}

Exp::Exp(ExpNature n, int count, Exp** ops, Fract* coefs, Fract constant)
{
    ExpInit();
    _nature = n;
    _lin = new Linear;
    _lin->fconst = constant;
    if (count > 0) {
        _lin->fcoefs = new Fract[count];
        for (int i = 0; i < count; i++) _lin->fcoefs[i] = coefs[i];
    }
    set_operands(count, ops);
}

Exp::Exp(ExpNature n, int count, Exp** ops, int* coefs, int constant)
{
    ExpInit();
    _nature = n;
    _lin = new Linear;
    _lin->iconst = constant;
    if (count > 0) {
        _lin->icoefs = new int[count];
        for (int i = 0; i < count; i++) _lin->icoefs[i] = coefs[i];
    }
    set_operands(count, ops);
}

Exp::Exp(ExpNature n, int ident, EcType* type, int clock)
{
    ExpInit();
    _nature = n;
    _ident = ident;
    _type = type;
    _clock = clock;
}

Exp::Exp(ExpNature n, int ident, EcType* type)
{
    ExpInit();
    _nature = n;
    _ident = ident;
    _type = type;
}

Exp::~Exp()
{
    delete _infos;   // iterative over the list
    if (_arity > kInline) delete[] _ops.heap;
    delete _lin;
}

const int* Exp::int_coefs() const
{
    return _lin ? _lin->icoefs : nullptr;
}

int Exp::int_constant() const
{
    return _lin ? _lin->iconst : 0;
}

const Fract* Exp::fract_coefs() const
{
    return _lin ? _lin->fcoefs : nullptr;
}

const Fract& Exp::fract_constant() const
{
    static const Fract zero;
    return _lin ? _lin->fconst : zero;
}

int Exp::projection_order() const
{
    if (_nature != PROJ_n) {
        EcPrg::ierror("projection_order called on '%s' operator", nodekey(_nature));
        return 0;
    }
    return _order;
}

int Exp::function_ident() const
{
    if (_nature != CALL_n) {
        EcPrg::ierror("Exp::function_name called on '%s' operator", nodekey(_nature));
        return 0;
    }
    return _order;
}

void Exp::put_info(int key, void* value)
{
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

void* Exp::get_ptr_info(int key) const
{
    ExpInfo* e = _infos;
    while (e && e->key() > key) e = e->next();
    return (e && e->key() == key) ? e->value() : nullptr;
}

int Exp::get_int_info(int key) const
{
    return static_cast<int>(reinterpret_cast<intptr_t>(get_ptr_info(key)));
}

// ------------------------------------------------------------------ ExpHeap

ExpHeap::~ExpHeap()
{
    delete _exp;
    ExpHeap* rest = _next;
    while (rest) {
        ExpHeap* n = rest->_next;
        rest->_next = nullptr;
        delete rest;
        rest = n;
    }
}

// ------------------------------------------------------------------ ExpStore

// Full chunks are 2 MB and come from huge_page_alloc (corvel/symbols.h):
// a large program's nodes are then reached through few TLB entries and
// faulted in 2 MB at a time, most of the cost of building and walking them.

void ExpStore::locate(size_t index, size_t* chunk, size_t* slot) const
{
    // Chunks double from kFirstChunk up to kMaxChunk, then stay at that size.
    size_t i = index, k = 0;
    for (;;) {
        size_t cap = chunk_capacity(k);
        if (cap == kMaxChunk) {
            k += i / kMaxChunk;
            i %= kMaxChunk;
            break;
        }
        if (i < cap) break;
        i -= cap;
        k++;
    }
    *chunk = k;
    *slot = i;
}

void* ExpStore::reserve()
{
    size_t k, i;
    locate(_size, &k, &i);
    while (_chunks.size() <= k) {
        size_t cap = chunk_capacity(_chunks.size());
        _chunks.reserve(_chunks.size() + 1);   // no failure after the allocation
        _chunks.push_back(static_cast<Exp*>(huge_page_alloc(cap * sizeof(Exp))));
    }
    return _chunks[k] + i;
}

Exp* ExpStore::at(size_t index) const
{
    size_t k, i;
    locate(index, &k, &i);
    return _chunks[k] + i;
}

void ExpStore::pop_back()
{
    if (_size == 0) return;
    Exp* e = at(_size - 1);
    e->~Exp();
    --_size;
}

void ExpStore::clear()
{
    size_t left = _size;
    for (size_t k = 0; k < _chunks.size(); k++) {
        size_t cap = chunk_capacity(k);
        size_t n = left < cap ? left : cap;
        for (size_t j = 0; j < n; j++) _chunks[k][j].~Exp();
        left -= n;
        huge_page_free(_chunks[k], cap * sizeof(Exp));
    }
    _chunks.clear();
    _size = 0;
}
