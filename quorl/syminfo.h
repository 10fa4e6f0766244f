// What a symbol identifier stands for in a program: an IdentInfo (variable,
// constant, assertion) or a FuncInfo (external function), kept in a
// SymbolInfoArray indexed by identifier.
#ifndef QUORL_SYMINFO_H
#define QUORL_SYMINFO_H

#include <vector>

class EcType;
class Exp;
class IntList;
class PtyStream;
class SymbolTable;

enum IdentMode {
    INPUT_m = 0, OUTPUT_m, LOCAL_m, USR_CONST_m, ASSERT_m,
    BOOL_CONST_m, INT_CONST_m, REAL_CONST_m, ENUM_CONST_m
};

enum FuncMode { FUNC_m = 0, TUPLE_FUNC_m };

class FuncInfo;
class IdentInfo;

class SymbolInfo {
public:
    explicit SymbolInfo(int symbol) : _symbol(symbol) {}
    virtual ~SymbolInfo();
    virtual FuncInfo* is_function() { return nullptr; }
    virtual IdentInfo* is_ident() { return nullptr; }
    int symbol() const { return _symbol; }

protected:
    int _symbol;
};

class IdentInfo : public SymbolInfo {
public:
    IdentInfo(IdentMode mode, int ident, EcType* type, int clock);
    ~IdentInfo() override;
    IdentInfo* is_ident() override { return this; }

    // Tuple members null, definition and reference null, index -1, value 0.
    void Init();

    int ident() const { return _ident; }
    EcType* type() const { return _type; }
    int clock() const { return _clock; }
    IdentMode ident_mode() const { return _mode; }
    Exp* ec_def() const { return _def; }
    Exp* ec_ref() const { return _ref; }
    // The variables of the tuple equation that defines this one (shared by
    // them, owned by the program), or null.
    IntList* tuple_linked() const { return _tuple; }
    int index_in_list() const { return _index; }
    int int_value() const { return _value.i; }
    float real_value() const { return _value.f; }
    int usr_def_index() const { return _value.i; }

    void set_clock(int c) { _clock = c; }
    void set_index_in_list(int i) { _index = i; }
    void set_usr_def_index(int i) { _value.i = i; }
    void set_int_value(int v) { _value.i = v; }
    void set_real_value(float v) { _value.f = v; }
    void tuple_link(IntList* members) { _tuple = members; }

    // Definition := e; when e is not null, e's type and clock := this
    // record's (no check).
    void ec_link(Exp* e);
    // Reference := e; the same two copies into e.
    void ecref_link(Exp* e);

private:
    // Ordered so that the record, with its base, fills 64 bytes: a million
    // of them stay one cache line each.
    int _ident;
    int _clock;
    IdentMode _mode;
    EcType* _type;
    IntList* _tuple;
    Exp* _def;
    Exp* _ref;
    union {
        int i;
        float f;
    } _value;
    int _index;
};

class FuncInfo : public SymbolInfo {
public:
    // Keeps (and releases) the two parameter lists; either may be null.
    FuncInfo(int ident, FuncMode mode, EcType* inputs_type, EcType* outputs_type,
             IntList* inputs, IntList* outputs);
    ~FuncInfo() override;
    FuncInfo* is_function() override { return this; }

    FuncMode func_mode() const { return _mode; }
    int usr_def_index() const { return _usr_def_index; }
    void set_usr_def_index(int i) { _usr_def_index = i; }
    EcType* inputs_type() const { return _inputs_type; }
    EcType* outputs_type() const { return _outputs_type; }
    // Parameters as pairs name, type name, name, type name, ...
    IntList* inputs() const { return _inputs; }
    IntList* outputs() const { return _outputs; }

    // Printing (ecprg-print.cpp): "name : type" pairs joined by "; ".
    void print_inputs(SymbolTable* names, PtyStream* out) const;
    void print_outputs(SymbolTable* names, PtyStream* out) const;
    static void print_params(IntList* l, SymbolTable* names, PtyStream* out);

private:
    FuncMode _mode;
    int _usr_def_index;
    EcType* _inputs_type;
    EcType* _outputs_type;
    IntList* _inputs;
    IntList* _outputs;
};

// Growable array of SymbolInfo* in chunks that never move. Every chunk has
// the capacity of the first; chunk k has base k * capacity. The first chunk
// keeps a directory of all chunks, so operator[] is O(1) for any index.
// Every access, a read included, counts as use for size().
class SymbolInfoArray {
public:
    SymbolInfoArray(int capacity, int base);
    // Deletes every non-null info of every chunk from this one on, then the
    // chunks (iteratively).
    ~SymbolInfoArray();
    SymbolInfoArray(const SymbolInfoArray&) = delete;
    SymbolInfoArray& operator=(const SymbolInfoArray&) = delete;

    // Slot of index i (relative to this chunk's base), i >= 0.
    SymbolInfo*& operator[](int i);
    // One more than the highest index ever accessed (0 when none).
    int size() const;

    int capacity() const { return _capacity; }
    int base() const { return _base; }
    SymbolInfoArray* next() const { return _next; }
    int highest_used() const { return _highest; }

private:
    SymbolInfoArray* chunk_for(int k);   // k-th chunk from this one, made as needed

    SymbolInfo** _slots;
    int _capacity;
    SymbolInfoArray* _next;
    int _highest;
    int _base;
    // Chunks from this one on, this one first; kept by the chunk that was
    // constructed directly (the head), empty in the chunks it made.
    std::vector<SymbolInfoArray*> _dir;
};

// One cell of a list of records that owns them: destroying a cell deletes its
// info and then the rest of the list (iteratively).
class SymbolInfoHeap {
public:
    SymbolInfoHeap(SymbolInfo* info, SymbolInfoHeap* next) : _info(info), _next(next) {}
    ~SymbolInfoHeap();
    SymbolInfoHeap(const SymbolInfoHeap&) = delete;
    SymbolInfoHeap& operator=(const SymbolInfoHeap&) = delete;

    SymbolInfo* info() const { return _info; }
    SymbolInfoHeap* next() const { return _next; }
    // Detaches the rest; returns it.
    SymbolInfoHeap* unlink() { SymbolInfoHeap* n = _next; _next = nullptr; return n; }

private:
    SymbolInfo* _info;
    SymbolInfoHeap* _next;
};

#endif
