// The lossless ec text of a program: what reading it back gives the same
// declarations, equations, assertions, types and clocks, and the same text
// again. Enumerations are written as enumerations, every variable and
// constant with its clock when it is not the base clock, every function
// with parameter names (made up for a function declared without them),
// tuple equations as the reader wants them, expressions with the fewest
// parentheses (quorl/ec-exp-writer.h).
//
// Declarations are written from the program's records, one per
// declaration, so that a name declared twice is written twice, each time
// as it was declared. What the reader passed over (quorl/source.h) is
// written back, so that reading the text passes over it again: a type
// declared again, the statements the program does not hold (before the
// equations it holds, which replaced them or come after them), the text
// after the node.
#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "corvel/pty.h"
#include "quorl/ec-exp-writer.h"
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
    void sort_records();
    void types();
    void constants();
    void functions(FuncMode mode);
    void params(IntList* names, const EcType* type, const char* made_up);
    void variable(const IdentInfo* v);
    void variables(const std::vector<const IdentInfo*>& list);
    void statement(const std::vector<int>& names, const Exp* rhs);
    void passed_statements();
    void equations();
    std::string type_of(const IdentInfo* v) const;
    std::string node_name() const;

    const EcPrg* _prg;
    PtyStream* _out;
    // The declarations' records, by kind, in order.
    std::vector<const IdentInfo*> _inputs, _outputs, _locals, _consts, _asserts;
};

void EcTextWriter::sort_records() {
    for (size_t i = 0; i < _prg->record_count(); ++i) {
        const IdentInfo* r = _prg->record_at(i);
        switch (r->ident_mode()) {
            case INPUT_m: _inputs.push_back(r); break;
            case OUTPUT_m: _outputs.push_back(r); break;
            case LOCAL_m: _locals.push_back(r); break;
            case USR_CONST_m: _consts.push_back(r); break;
            case ASSERT_m: _asserts.push_back(r); break;
            default: break;  // literals, and enumeration values (with their type)
        }
    }
}

// The declared type's name, or the undeclared name the text gave.
std::string EcTextWriter::type_of(const IdentInfo* v) const {
    EcType* t = v->type();
    if (t && t->is_named()) return symbol(t->name());
    int given = _prg->untyped_name(v->ident());
    return given ? symbol(given) : "<undeclared-type>";
}

// The node's name made an identifier (an object's name may be any text, of
// any length: a longer one is cut to the longest word the reader reads).
std::string EcTextWriter::node_name() const {
    std::string name = _prg->name() > 0 ? symbol(_prg->name()) : "";
    if (is_ec_identifier(name.c_str())) return name;
    for (char& c : name)
        if (!(isalnum((unsigned char)c) || c == '_') || (unsigned char)c >= 128) c = '_';
    return ("_" + name).substr(0, LEX_MAX_TEXT);
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
        if (p->tail()) put(",");
    }
    for (const ReadNote& n : _prg->source().notes()) {
        if (n.kind != NOTE_REDECLARED_TYPE) continue;
        put(",");
        _out->cr();
        put(_prg->source().text(n.other));
    }
    put(";");
    _out->untab();
    _out->cr();
}

void EcTextWriter::constants() {
    if (_consts.empty()) return;
    _out->cr();
    put("const");
    _out->tab();
    for (const IdentInfo* c : _consts) {
        _out->cr();
        variable(c);
        put(";");
    }
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

void EcTextWriter::functions(FuncMode mode) {
    for (size_t i = 0; i < _prg->function_count(); ++i) {
        const FuncInfo* f = _prg->function_at(i);
        if (f->func_mode() != mode) continue;
        _out->cr();
        put("function ");
        put(symbol(f->symbol()));
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

// "v : t", or "(v : t) when c".
void EcTextWriter::variable(const IdentInfo* v) {
    int clock = v->clock();
    bool clocked = clock != _prg->base_clock() && clock > 0;
    if (clocked) put("(");
    put(symbol(v->ident()));
    put(" : ");
    put(type_of(v));
    if (clocked) {
        put(") when ");
        put(symbol(clock));
    }
}

void EcTextWriter::variables(const std::vector<const IdentInfo*>& list) {
    for (size_t k = 0; k < list.size(); ++k) {
        if (k > 0) {
            put(";");
            _out->cr();
        }
        variable(list[k]);
    }
}

// "v = e;", "(a, b) = e;", or "assert e;" when there is no name.
void EcTextWriter::statement(const std::vector<int>& names, const Exp* rhs) {
    _out->cr();
    if (names.empty()) {
        put("assert ");
    } else if (names.size() == 1) {
        put(symbol(names[0]));
        put(" = ");
    } else {
        for (size_t k = 0; k < names.size(); ++k) {
            put(k ? ", " : "(");
            put(symbol(names[k]));
        }
        put(") = ");
    }
    write_ec_expression(_out, _prg, rhs);
    put(";");
}

// In the order they were read: an equation a later one replaced is noted
// when that one is read.
void EcTextWriter::passed_statements() {
    std::vector<const ReadNote*> passed;
    for (const ReadNote& n : _prg->source().notes())
        if (n.kind == NOTE_PASSED) passed.push_back(&n);
    std::stable_sort(passed.begin(), passed.end(),
                     [](const ReadNote* a, const ReadNote* b) { return a->pos < b->pos; });
    for (const ReadNote* n : passed) {
        const PassedStatement& s = _prg->source().statement(n->other);
        statement(s.names, s.rhs);
    }
}

// Each equation once, at the record it defines (of a name declared twice,
// the last declaration's). Tuple equations come first, in the order they
// were read: an equation of one of their names that replaced it comes after.
void EcTextWriter::equations() {
    std::vector<const IdentInfo*> tuples, singles;
    std::unordered_set<const IntList*> seen;
    for (const auto* list : {&_outputs, &_locals}) {
        for (const IdentInfo* v : *list) {
            if (!v->right_side()) continue;
            IntList* members = v->tuple_members();
            if (!members)
                singles.push_back(v);
            else if (seen.insert(members).second)
                tuples.push_back(v);
        }
    }
    std::stable_sort(tuples.begin(), tuples.end(), [](const IdentInfo* a, const IdentInfo* b) {
        return a->right_side()->pos() < b->right_side()->pos();
    });
    for (const IdentInfo* v : tuples) {
        std::vector<int> names;
        for (IntList* m = v->tuple_members(); m; m = m->tail()) names.push_back(m->head());
        statement(names, v->right_side());
    }
    for (const IdentInfo* v : singles) statement({v->ident()}, v->right_side());
}

void EcTextWriter::program() {
    sort_records();
    types();
    constants();
    functions(FUNC_m);
    functions(TUPLE_FUNC_m);
    _out->cr();
    put("node ");
    put(node_name());
    put("(");
    _out->tab();
    _out->cr();
    variables(_inputs);
    _out->untab();
    _out->cr();
    put(") returns (");
    _out->tab();
    _out->cr();
    variables(_outputs);
    _out->untab();
    _out->cr();
    put(");");
    if (!_locals.empty()) {
        _out->cr();
        put("var");
        _out->tab();
        _out->cr();
        variables(_locals);
        put(";");
        _out->untab();
    }
    _out->cr();
    put("let");
    _out->tab();
    passed_statements();
    for (const IdentInfo* a : _asserts)
        if (a->ec_def()) statement({}, a->ec_def());
    equations();
    _out->untab();
    _out->cr();
    put("tel");
    _out->cr();
    for (const ReadNote& n : _prg->source().notes()) {
        if (n.kind != NOTE_TRAILING) continue;
        put(_prg->source().text(n.other));
        _out->cr();
    }
}

}  // namespace

void EcPrg::print_ec_text(PtyStream* out) const { EcTextWriter(this, out).program(); }
