// The whole program as text: a Lustre node (what dump writes) or the ec
// syntax of print_ec. The writer can also note, as it writes, the line of
// each name's declaration and equation (TextPlaces).
#include "corvel/intlist.h"
#include "corvel/pty.h"
#include "quorl/ecprg.h"
#include "quorl/text_places.h"

namespace {

// Which variables of a list are written with their clock.
enum Clocks { NO_CLOCKS, SAMPLED_CLOCKS, ALL_CLOCKS };

// Writes a whole program, as a Lustre node or in ec syntax.
class ProgramWriter {
public:
    // places, when given, receives the lines of declarations and equations.
    ProgramWriter(EcPrg* prg, PtyStream* out, bool ec, TextPlaces* places = nullptr)
        : _prg(prg), _out(out), _ec(ec), _places(places) {}

    // 1 when, in ec syntax, a function list names an undeclared function
    // (the text stops there), else 0.
    int program();

private:
    void put(const char* text) { _out->put("%s", text); }
    // Notes are taken once the name is written: a name that does not fit
    // the line moves to the next one before it is written.
    void note_declared(int v) {
        if (_places) _places->declared(v, _out->line());
    }
    void note_defined(int v, int line) {
        if (_places) _places->defined(v, line);
    }
    const char* symbol(int id) { return _prg->symbol(id); }
    void type_name(EcType* t);
    void variable(int v, Clocks clocks);
    void variables(IntList* l, Clocks clocks);
    int func_decl(int f);
    int func_list(IntList* l);
    void assertions();
    void equations(IntList* l);

    EcPrg* _prg;
    PtyStream* _out;
    bool _ec;
    TextPlaces* _places;
};

// A variable whose declaration named an undeclared type has no type; the
// placeholder says so (and a re-read reports the name as undeclared).
// Tuple types have no name of their own.
void ProgramWriter::type_name(EcType* t) {
    if (!t)
        put("<undeclared-type>");
    else if (t->is_tuple())
        put("<unamed-type>");
    else
        put(symbol(t->name()));
}

void ProgramWriter::variable(int v, Clocks clocks) {
    IdentInfo* info = _prg->get_ident_info(v);
    EcType* t = info ? info->type() : nullptr;
    int c = info ? info->clock() : _prg->base_clock();
    bool clocked = clocks == ALL_CLOCKS || (clocks == SAMPLED_CLOCKS && c != _prg->base_clock());
    if (clocked) put("( ");
    put(symbol(v));
    note_declared(v);
    put(" : ");
    type_name(t);
    if (!clocked) return;
    if (clocks == ALL_CLOCKS) {
        put(" ) when ");
    } else {
        put(" )");
        put(" when ");
    }
    put(c > 0 ? symbol(c) : "<unknown-clock>");
}

// A leading cr, then the variables separated by ";" and a cr; an empty list
// writes the cr alone, which keeps the layout of the header.
void ProgramWriter::variables(IntList* l, Clocks clocks) {
    _out->cr();
    for (IntList* p = l; p; p = p->tail()) {
        if (p != l) {
            put(";");
            _out->cr();
        }
        variable(p->head(), clocks);
    }
}

int ProgramWriter::func_decl(int f) {
    FuncInfo* info = _prg->get_func_info(f);
    if (!info) {
        _prg->error("undeclared function `%s`", symbol(f));
        return 1;
    }
    _out->cr();
    put("function ");
    put(symbol(f));
    put(" (");
    info->print_inputs(_prg->symbols(), _out);
    put(")");
    _out->cr();
    put("returns (");
    info->print_outputs(_prg->symbols(), _out);
    put(");");
    return 0;
}

int ProgramWriter::func_list(IntList* l) {
    for (IntList* p = l; p; p = p->tail()) {
        if (func_decl(p->head())) return 1;
        _out->cr();
    }
    return 0;
}

void ProgramWriter::assertions() {
    for (IntList* p = _prg->assertions().list(); p; p = p->tail()) {
        IdentInfo* info = _prg->get_ident_info(p->head());
        if (!info || !info->ec_def()) continue;  // nothing asserted
        _out->cr();
        put("assert ");
        info->ec_def()->print_def(_out, _prg->symbols());
        put(";");
    }
}

// A tuple equation is written once, at its member of projection order 1.
void ProgramWriter::equations(IntList* l) {
    for (IntList* p = l; p; p = p->tail()) {
        int v = p->head();
        IdentInfo* info = _prg->get_ident_info(v);
        if (!info) continue;
        Exp* def = info->ec_def();
        if (!def) {
            // No equation (never given one, or its expression failed): a
            // comment keeps the text readable again as ec or Lustre.
            _out->cr();
            put("(* ");
            put(symbol(v));
            put(" has no equation *)");
            continue;
        }
        IntList* members = info->tuple_linked();
        if (!members) {
            _out->cr();
            put(symbol(v));
            note_defined(v, _out->line());
            put(" = ");
            def->print_def(_out, _prg->symbols());
            put(";");
            continue;
        }
        if (info->tuple_order() != 1) continue;
        _out->cr();
        int first_line = 0;  // every member's equation starts where the first name is
        for (IntList* m = members; m; m = m->tail()) {
            if (m != members) put(", ");
            put(symbol(m->head()));
            if (m == members) first_line = _out->line();
            note_defined(m->head(), first_line);
        }
        put(" = ");
        if (Exp* rhs = info->right_side()) rhs->print_def(_out, _prg->symbols());
        put(";");
    }
}

int ProgramWriter::program() {
    IntList* types = _prg->declared_types().list();
    if (types) {
        put("type");
        _out->tab();
        _out->cr();
        put(symbol(types->head()));
        for (IntList* p = types->tail(); p; p = p->tail()) {
            put(",");
            _out->cr();
            put(symbol(p->head()));
        }
        put(_ec ? "." : ";");
        _out->untab();
        _out->cr();
    }
    IntList* consts = _prg->usr_consts().list();
    if (consts) {
        _out->cr();
        put("const");
        _out->tab();
        variables(consts, _ec ? ALL_CLOCKS : NO_CLOCKS);
        put(";");
        _out->cr();
        _out->untab();
    }
    for (IntList* f : {_prg->usr_funcs().list(), _prg->tuple_funcs().list()}) {
        if (f && func_list(f) && _ec) return 1;
    }
    Clocks clocks = _ec ? ALL_CLOCKS : SAMPLED_CLOCKS;
    _out->cr();
    put("node ");
    if (_prg->name() > 0) put(symbol(_prg->name()));
    put("( ");
    _out->tab();
    variables(_prg->inputs().list(), clocks);
    _out->untab();
    _out->cr();
    put(") returns (");
    _out->tab();
    variables(_prg->outputs().list(), clocks);
    _out->untab();
    _out->cr();
    put(");");
    _out->cr();
    IntList* locals = _prg->locals().list();
    if (locals) {
        put("var");
        _out->tab();
        variables(locals, clocks);
        put(";");
        _out->cr();
        _out->untab();
    }
    _out->cr();
    put("let");
    _out->tab();
    assertions();
    equations(_prg->outputs().list());
    equations(locals);
    _out->untab();
    _out->cr();
    put(_ec ? "tel." : "tel");
    return 0;
}

}  // namespace

void EcPrg::print_lus(PtyStream* out, TextPlaces* places) {
    ProgramWriter(this, out, false, places).program();
}

int EcPrg::print_ec() {
    PtyStream out(80);
    return ProgramWriter(this, &out, true).program();
}
