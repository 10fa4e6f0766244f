// What a symbol identifier stands for in a program: an IdentInfo (variable,
// constant, assertion) or a FuncInfo (external function), found through a
// SymbolInfoArray indexed by identifier.
#ifndef QUORL_SYMINFO_H
#define QUORL_SYMINFO_H

#include <vector>

#include "corvel/chunk_store.h"
#include "corvel/huge_pages.h"

class EcType;
class Exp;
class IntList;
class PtyStream;
class SymbolTable;

enum IdentMode {
    INPUT_m = 0,
    OUTPUT_m,
    LOCAL_m,
    USR_CONST_m,
    ASSERT_m,
    BOOL_CONST_m,
    INT_CONST_m,
    REAL_CONST_m,
    ENUM_CONST_m
};

enum FuncMode { FUNC_m = 0, TUPLE_FUNC_m };

class FuncInfo;
class IdentInfo;

class SymbolInfo {
public:
    explicit SymbolInfo(int symbol, bool ident = false) : _symbol(symbol), _ident_kind(ident) {}
    virtual ~SymbolInfo();
    virtual FuncInfo* is_function() { return nullptr; }
    virtual IdentInfo* is_ident() { return nullptr; }
    int symbol() const { return _symbol; }
    // is_ident() without the virtual call, for the lookups of large programs.
    IdentInfo* as_ident();

protected:
    int _symbol;
    bool _ident_kind;  // an IdentInfo (fills the room the base leaves)
};

class IdentInfo : public SymbolInfo {
public:
    IdentInfo(IdentMode mode, int ident, EcType* type, int clock);
    ~IdentInfo() override;
    IdentInfo* is_ident() override { return this; }

    int ident() const { return _symbol; }
    EcType* type() const { return _type; }
    int clock() const { return _clock; }
    IdentMode ident_mode() const { return static_cast<IdentMode>(_mode); }
    Exp* ec_def() const { return _def; }
    Exp* ec_ref() const { return _ref; }
    // The variables of the tuple equation that defined this one (shared by
    // them, owned by the program), or null. The link stays when a later
    // equation replaces the tuple's: tuple_members() says whether it holds.
    IntList* tuple_linked() const { return _tuple; }
    // The variables of the tuple equation that defines this one now, or
    // null when its equation is not a tuple's.
    IntList* tuple_members() const { return tuple_order() > 0 ? _tuple : nullptr; }
    // The right side of the variable's equation: the expression it was
    // given or, for a member of a tuple equation, the tuple's right side,
    // which the members share; null when none.
    Exp* right_side() const;
    // The variable's place in its tuple equation, from 1 (the first member
    // is the one that writes and evaluates the equation; a name written
    // twice has the place of its first occurrence); 0 when its equation is
    // not a tuple's.
    int tuple_order() const;
    int index_in_list() const { return _index; }
    int int_value() const { return _value.i; }
    // Where the declaration was read (see quorl/source.h); 0 when built.
    unsigned pos() const { return _pos; }
    void set_pos(unsigned pos) { _pos = pos; }
    // Outputs, locals and assertions: where the (first) equation or the
    // assertion was read; 0 when none was read.
    unsigned eq_pos() const { return (unsigned)_value.i; }
    void set_eq_pos(unsigned pos) { _value.i = (int)pos; }
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
    // of them stay one cache line each (the mode, one byte, takes the room
    // the base leaves after its flag).
    unsigned char _mode;
    unsigned _pos = 0;
    int _clock;
    union {
        int i;
        float f;
    } _value{};
    int _index = -1;
    EcType* _type;
    IntList* _tuple = nullptr;
    Exp* _def = nullptr;
    Exp* _ref = nullptr;
};

class FuncInfo : public SymbolInfo {
public:
    // The parameter lists (cells owned by the program) may be null.
    FuncInfo(int ident, FuncMode mode, EcType* inputs_type, EcType* outputs_type, IntList* inputs,
             IntList* outputs);
    FuncInfo* is_function() override { return this; }

    FuncMode func_mode() const { return _mode; }
    unsigned pos() const { return _pos; }
    void set_pos(unsigned pos) { _pos = pos; }
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
    unsigned _pos = 0;
    EcType* _inputs_type;
    EcType* _outputs_type;
    IntList* _inputs;
    IntList* _outputs;
};

// The records of a program by symbol identifier, each with its reference
// leaf as it was when the record was placed: the reader resolves a name with
// one read. The array refers to records; the program's stores own them.
inline IdentInfo* SymbolInfo::as_ident() {
    return _ident_kind ? static_cast<IdentInfo*>(this) : nullptr;
}

class SymbolInfoArray {
public:
    // The record of ident, or null.
    SymbolInfo* operator[](int ident) const {
        return ident > 0 && (size_t)ident < _slots.size() ? _slots[(size_t)ident].info : nullptr;
    }
    // The reference leaf of ident's record, or null.
    Exp* reference(int ident) const {
        return ident > 0 && (size_t)ident < _slots.size() ? _slots[(size_t)ident].ref : nullptr;
    }
    // Places s (or null) at ident > 0. Throws std::bad_alloc with the array
    // unchanged when it cannot grow.
    void set(int ident, SymbolInfo* s);

private:
    struct Slot {
        SymbolInfo* info;
        Exp* ref;
    };
    std::vector<Slot, HugePageAllocator<Slot>> _slots;
};

// Every IdentInfo a program makes, newest last: a failed expression parse
// releases the newest ones. Function records have a store of their own.
using SymbolInfoHeap = ChunkStore<IdentInfo>;
using FuncInfoStore = ChunkStore<FuncInfo>;

#endif
