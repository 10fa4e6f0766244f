// The lossless ec text of a program: what reading it back gives the same
// declarations, equations, assertions, types and clocks. Enumerations are
// written as enumerations, every variable and constant with its clock when
// it is not the base clock, every function with parameter names (made up
// for a function declared without them), tuple equations as the reader
// wants them.
#include <string>
#include <unordered_set>

#include "corvel/pty.h"
#include "quorl/ecprg.h"
#include "quorl/lexer.h"

namespace {

class EcTextWriter {
public:
    EcTextWriter(const EcPrg* prg, PtyStream* out) : _prg(prg), _out(out) {}
    void program();

private:
    void put(const char* text) { _out->put("%s", text); }
    void put(const std::string& text) { _out->put("%s", text.c_str()); }
    const char* symbol(int id) const { return _prg->symbol(id); }
    void types();
    void constants();
    void functions(IntList* l);
    void params(IntList* names, const EcType* type, const char* made_up);
    void variables(IntList* l, bool one);
    void equations(IntList* l);
    std::string type_of(int v) const;
    std::string node_name() const;

    const EcPrg* _prg;
    PtyStream* _out;
    std::unordered_set<const IntList*> _tuples_written;
};

// The declared type's name, or the undeclared name the text gave.
std::string EcTextWriter::type_of(int v) const {
    IdentInfo* info = _prg->get_ident_info(v);
    EcType* t = info ? info->type() : nullptr;
    if (t && t->is_named()) return symbol(t->name());
    int given = _prg->untyped_name(v);
    return given ? symbol(given) : "<undeclared-type>";
}

// The node's name made an identifier (an object's name may be any text).
std::string EcTextWriter::node_name() const {
    std::string name = _prg->name() > 0 ? symbol(_prg->name()) : "";
    if (is_ec_identifier(name.c_str())) return name;
    for (char& c : name)
        if (!(isalnum((unsigned char)c) || c == '_') || (unsigned char)c >= 128) c = '_';
    return "_" + name;
}

void EcTextWriter::types() {
    IntList* types = _prg->declared_types().list();
    if (!types) return;
    put("type");
    _out->tab();
    for (IntList* p = types; p; p = p->tail()) {
        _out->cr();
        put(symbol(p->head()));
        EcType* t = _prg->find_named_type(p->head());
        if (t && t->enum_count() > 0) {
            put(" = (");
            for (int i = t->enum_count() - 1; i >= 0; --i) {  // the array is last first
                IdentInfo* value = t->enum_const(i);
                put(value ? symbol(value->ident()) : "?");
                if (i > 0) put(", ");
            }
            put(")");
        }
        put(p->tail() ? "," : ";");
    }
    _out->untab();
    _out->cr();
}

void EcTextWriter::constants() {
    bool any = false;
    for (IntList* p = _prg->usr_consts().list(); p; p = p->tail()) {
        IdentInfo* info = _prg->get_ident_info(p->head());
        if (info && info->ident_mode() == ENUM_CONST_m) continue;  // with its type
        if (!any) {
            _out->cr();
            put("const");
            _out->tab();
        }
        any = true;
        _out->cr();
        variables(p, true);
        put(";");
    }
    if (!any) return;
    _out->untab();
    _out->cr();
}

// Parameters as "name : type; ..."; without names, made_up and a number.
void EcTextWriter::params(IntList* names, const EcType* type, const char* made_up) {
    if (names) {
        for (IntList* l = names; l && l->tail(); l = l->tail()->tail()) {
            if (l != names) put("; ");
            put(symbol(l->head()));
            put(" : ");
            put(symbol(l->tail()->head()));
        }
        return;
    }
    IntList* members = type && type->is_tuple() ? type->name_list() : nullptr;
    int count = type && type->is_named() ? 1 : (members ? members->length() : 0);
    for (int i = 1; i <= count; ++i) {
        if (i > 1) put("; ");
        put(made_up + std::to_string(i) + " : " +
            symbol(type->is_named() ? type->name() : type->member(i)));
    }
}

void EcTextWriter::functions(IntList* l) {
    for (IntList* p = l; p; p = p->tail()) {
        FuncInfo* f = _prg->get_func_info(p->head());
        if (!f) continue;
        _out->cr();
        put("function ");
        put(symbol(p->head()));
        put(" (");
        params(f->inputs(), f->inputs_type(), "x");
        put(")");
        _out->cr();
        put("returns (");
        params(f->outputs(), f->outputs_type(), "y");
        put(");");
        _out->cr();
    }
}

// One group a variable: "v : t", or "(v : t) when c"; of a list, only the
// first when `one' (a constant), all of them separated by ";" otherwise.
void EcTextWriter::variables(IntList* l, bool one) {
    for (IntList* p = l; p; p = p->tail()) {
        if (p != l) {
            put(";");
            _out->cr();
        }
        int v = p->head();
        IdentInfo* info = _prg->get_ident_info(v);
        int clock = info ? info->clock() : _prg->base_clock();
        bool clocked = clock != _prg->base_clock() && clock > 0;
        if (clocked) put("(");
        put(symbol(v));
        put(" : ");
        put(type_of(v));
        if (clocked) {
            put(") when ");
            put(symbol(clock));
        }
        if (one) return;
    }
}

// A tuple equation is written once, at the first of its names met here (a
// faulty one may also name inputs, or a name twice).
void EcTextWriter::equations(IntList* l) {
    for (IntList* p = l; p; p = p->tail()) {
        IdentInfo* info = _prg->get_ident_info(p->head());
        Exp* def = info ? info->right_side() : nullptr;
        if (!def) continue;
        IntList* members = info->tuple_members();
        if (members && !_tuples_written.insert(members).second) continue;
        _out->cr();
        if (!members) {
            put(symbol(p->head()));
            put(" = ");
        } else {
            put("(");
            for (IntList* m = members; m; m = m->tail()) {
                if (m != members) put(", ");
                put(symbol(m->head()));
            }
            put(") = ");
        }
        def->print_def(_out, _prg->symbols());
        put(";");
    }
}

void EcTextWriter::program() {
    types();
    constants();
    functions(_prg->usr_funcs().list());
    functions(_prg->tuple_funcs().list());
    _out->cr();
    put("node ");
    put(node_name());
    put("(");
    _out->tab();
    _out->cr();
    variables(_prg->inputs().list(), false);
    _out->untab();
    _out->cr();
    put(") returns (");
    _out->tab();
    _out->cr();
    variables(_prg->outputs().list(), false);
    _out->untab();
    _out->cr();
    put(");");
    if (IntList* locals = _prg->locals().list()) {
        _out->cr();
        put("var");
        _out->tab();
        _out->cr();
        variables(locals, false);
        put(";");
        _out->untab();
    }
    _out->cr();
    put("let");
    _out->tab();
    for (IntList* p = _prg->assertions().list(); p; p = p->tail()) {
        IdentInfo* info = _prg->get_ident_info(p->head());
        if (!info || !info->ec_def()) continue;
        _out->cr();
        put("assert ");
        info->ec_def()->print_def(_out, _prg->symbols());
        put(";");
    }
    equations(_prg->outputs().list());
    equations(_prg->locals().list());
    _out->untab();
    _out->cr();
    put("tel");
    _out->cr();
}

}  // namespace

void EcPrg::print_ec_text(PtyStream* out) const { EcTextWriter(this, out).program(); }
