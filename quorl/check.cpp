// Whole-program checking. Every equation's right side is evaluated once,
// bottom-up with an explicit stack, for its type (by the rules of
// quorl/typing.h, from the declared types of the names it reads: the types
// linking copied into the nodes are not trusted), its clock, and the
// variables it reads within the instant; those reads make the dependency
// graph (quorl/depgraph.h) whose cycles are causality errors.
#include "quorl/check.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "corvel/symbols.h"
#include "quorl/depgraph.h"
#include "quorl/ecprg.h"
#include "quorl/typing.h"

namespace {

const int ANY_CLOCK = -2;  // a constant runs on whatever clock it is used on
const int NO_CLOCK = 0;    // unknown: a fault below, already reported

struct Value {
    EcType* type;
    int clock;
};

// The first fault of an equation's right side, innermost first.
struct Fault {
    bool found = false;
    unsigned pos = 0;
    const char* code = nullptr;
    int subject = 0;
    std::string message;
};

class Checker {
public:
    Checker(EcPrg* prg, bool warnings) : _prg(prg), _warnings(warnings), _graph(prg) {}
    std::vector<Diagnostic> run(long max_errors);

private:
    void add(bool error, unsigned pos, const char* code, int subject, std::string message) {
        _out.push_back(Diagnostic{error, pos, code, subject, std::move(message)});
    }
    std::string quoted(int id) const { return "'" + std::string(_prg->symbol(id)) + "'"; }
    std::string type_name(const EcType* t) const { return type_text(_prg, t); }
    std::string clock_name(int clock) const {
        return clock == _prg->base_clock() ? "the base clock" : "clock " + quoted(clock);
    }
    IdentInfo* variable(int id) const {
        IdentInfo* info = _prg->get_ident_info(id);
        if (!info) return nullptr;
        IdentMode m = info->ident_mode();
        return m == INPUT_m || m == OUTPUT_m || m == LOCAL_m ? info : nullptr;
    }

    void read_notes();
    void equations();
    void definition(IdentInfo* info);
    Value evaluate(Exp* rhs, bool edges, Fault* tf, Fault* cf);
    Value leaf(Exp* e);
    void find_distrusted();
    Value node(Exp* e, const Value* ops, Fault* tf, Fault* cf);
    void type_fault(Exp* e, const TypeVerdict& v, Fault* f);
    void report(const Fault& f) {
        if (f.found && f.code) add(true, f.pos, f.code, f.subject, f.message);
    }
    void causality();
    bool comes_first(int a, int b) const;
    std::string chain_text(const std::vector<int>& chain) const;
    void unused();

    EcPrg* _prg;
    bool _warnings;
    std::vector<Diagnostic> _out;
    // By symbol, in separate tables so that the read of a leaf touches
    // little memory: whether the name is read somewhere (one bit: a
    // million names fit in the cache), whether its leaf may not hold its
    // declared type and clock (linking an equation whose right side is
    // that very leaf copies the variable's into it, or the name has several
    // records; rare, so looked at only when some name is), its node + 1.
    size_t _symbols = 0;
    std::vector<uint64_t> _used;
    std::vector<unsigned char> _distrust;
    bool _any_distrust = false;
    void mark_used(size_t id) { _used[id >> 6] |= uint64_t{1} << (id & 63); }
    bool is_used(size_t id) const { return (_used[id >> 6] >> (id & 63)) & 1; }
    void distrust(size_t id) {
        _distrust[id] = 1;
        _any_distrust = true;
    }
    // The dependency graph: its nodes are checked in order, and the
    // evaluation of each one's equation gives its edges.
    DepGraph _graph;
    std::vector<unsigned> _node_pos;  // where each node's equation was read
    // Buffers of the evaluation, kept from one equation to the next.
    struct Frame {
        Exp* e;
        int next;
        bool delayed;
    };
    std::vector<Frame> _stack;
    std::vector<Value> _values;
    std::vector<int> _members;
};

void Checker::read_notes() {
    for (const ReadNote& n : _prg->source().notes()) {
        if (n.kind == NOTE_READ) {
            if ((size_t)n.subject < _symbols) mark_used((size_t)n.subject);
            continue;
        }
        if (n.kind == NOTE_PASSED) continue;  // what it passes over has notes of its own
        if (n.kind == NOTE_TRAILING) {
            if (_warnings) add(false, n.pos, "trailing", 0, "the text after the node is not read");
            continue;
        }
        std::string who = quoted(n.subject);
        // The notes that are errors of their own: their code, and the words
        // around the name.
        static const struct {
            ReadNoteKind kind;
            const char *code, *before, *after;
        } errors[] = {{NOTE_UNDECLARED, "undeclared", "", " is not declared"},
                      {NOTE_UNDECLARED_TYPE, "undeclared", "type ", " is not declared"},
                      {NOTE_UNDECLARED_FUNCTION, "undeclared", "function ", " is not declared"},
                      {NOTE_UNDECLARED_VARIABLE, "undeclared", "",
                       " is not declared: its equation defines nothing"},
                      {NOTE_REDECLARED, "redeclared", "", " is declared twice"},
                      {NOTE_REDECLARED_TYPE, "redeclared", "type ", " is declared twice"},
                      {NOTE_REDEFINED, "redefined", "", " has a second equation"}};
        bool said = false;
        for (const auto& error : errors) {
            if (error.kind != n.kind) continue;
            add(true, n.pos, error.code, n.subject, error.before + who + error.after);
            said = true;
        }
        if (said) continue;
        switch (n.kind) {
            case NOTE_NOT_DEFINABLE: {
                IdentInfo* info = _prg->get_ident_info(n.subject);
                bool input = info && info->ident_mode() == INPUT_m;
                add(true, n.pos, "redefined", n.subject,
                    who + (input ? " is an input" : " is a constant") + ": it has no equation");
                break;
            }
            case NOTE_CLOCKED:  // a clock counts as read (check-clocks.cpp checks it)
                if (n.other > 0 && (size_t)n.other < _symbols) mark_used((size_t)n.other);
                break;
            default: break;
        }
    }
}

// A reference leaf holds its name's declared type and clock: the record is
// read only for a leaf that may not (see _distrust).
Value Checker::leaf(Exp* e) {
    size_t id = (size_t)e->ident();
    if (id == 0 || id >= _symbols) return Value{nullptr, NO_CLOCK};
    mark_used(id);
    if (!_any_distrust || !_distrust[id]) {
        bool flowing = e->nature() == INPUT_n || e->nature() == ECREF_n;
        return Value{e->type(), flowing ? e->clock() : ANY_CLOCK};
    }
    IdentInfo* info = _prg->get_ident_info((int)id);
    if (!info) return Value{nullptr, NO_CLOCK};
    IdentMode m = info->ident_mode();
    bool flowing = m == INPUT_m || m == OUTPUT_m || m == LOCAL_m;
    return Value{info->type(), flowing ? info->clock() : ANY_CLOCK};
}

// Marks the leaves that linking may have changed, and the names declared
// more than once.
void Checker::find_distrusted() {
    auto check_root = [this](Exp* root) {
        if (!root || root->arity() != 0 || (size_t)root->ident() >= _symbols) return;
        IdentInfo* info = _prg->get_ident_info(root->ident());
        if (!info || info->ec_ref() != root || info->type() != root->type() ||
            info->clock() != root->clock())
            distrust((size_t)root->ident());
    };
    for (const IdList* list : {&_prg->outputs(), &_prg->locals(), &_prg->assertions()}) {
        for (IntList* l = list->list(); l; l = l->tail()) {
            IdentInfo* info = _prg->get_ident_info(l->head());
            check_root(info ? info->right_side() : nullptr);
        }
    }
    for (const ReadNote& n : _prg->source().notes())
        if (n.kind == NOTE_REDECLARED && (size_t)n.subject < _symbols)
            distrust((size_t)n.subject);
}

// The first fault of an equation stands: one message per equation, the
// innermost, leftmost one. A call of an undeclared function read from a
// file was noted by the reader (no code here); one built from Tcl has no
// position. A `when' whose clock is not bool is a fault of clocks.
void Checker::type_fault(Exp* e, const TypeVerdict& v, Fault* f) {
    if (f->found) return;
    std::string message = describe_type_fault(_prg, e, v, LUSTRE_STYLE);
    if (message.empty()) return;  // a kind that is never read
    if (v.fault == TYPE_UNDECLARED_FUNCTION)
        *f = Fault{true, e->pos(), e->pos() ? nullptr : "undeclared", e->order(), message};
    else
        *f = Fault{true, e->pos(), e->nature() == WHEN_n ? "clock" : "type", 0, message};
}

Value Checker::node(Exp* e, const Value* ops, Fault* tf, Fault* cf) {
    int n = e->nature();
    int arity = e->arity();
    // The type, from the operands' types, by the rules of the language.
    EcType* few[4] = {};
    std::vector<EcType*> many;
    EcType** types = few;
    if (arity > 4) {
        many.resize((size_t)arity);
        types = many.data();
    }
    for (int i = 0; i < arity; ++i) types[i] = ops[i].type;
    TypeVerdict v = type_rule(_prg, e, types);
    if (v.fault != TYPE_OK && v.fault != TYPE_MISSING) type_fault(e, v, tf);
    // The clock: operands on one clock (a constant on any), `when' samples
    // on its clock variable, `current' comes back to that variable's clock.
    int clock = ANY_CLOCK;
    for (int i = 0; i < arity && n != WHEN_n; ++i) {
        int c = ops[i].clock;
        if (c == NO_CLOCK) return Value{v.type, NO_CLOCK};
        if (c == ANY_CLOCK) continue;
        if (clock == ANY_CLOCK) {
            clock = c;
        } else if (c != clock) {
            if (!cf->found)
                *cf = Fault{true, e->pos(), "clock", 0,
                            "the operands of " + operator_name(_prg, e) + " run on " +
                                clock_name(clock) + " and on " + clock_name(c)};
            return Value{v.type, NO_CLOCK};
        }
    }
    if (n == WHEN_n) {
        Exp* sampler = e->operand(1);
        IdentInfo* var = sampler && sampler->arity() == 0 ? variable(sampler->ident()) : nullptr;
        if (!var) {
            if (!cf->found)
                *cf = Fault{true, e->pos(), "clock", 0, "the clock of 'when' must be a variable"};
            return Value{v.type, NO_CLOCK};
        }
        int c = ops[0].clock, own = ops[1].clock;
        if (c == NO_CLOCK || own == NO_CLOCK) return Value{v.type, NO_CLOCK};
        if (c != ANY_CLOCK && c != own) {
            if (!cf->found)
                *cf = Fault{true, e->pos(), "clock", 0,
                            "'when' samples on " + quoted(var->ident()) + ", which runs on " +
                                clock_name(own) + ", a flow on " + clock_name(c)};
            return Value{v.type, NO_CLOCK};
        }
        return Value{v.type, var->ident()};
    }
    if (n == CURRENT_n && clock != ANY_CLOCK && clock != _prg->base_clock()) {
        IdentInfo* var = variable(clock);
        return Value{v.type, var ? var->clock() : NO_CLOCK};
    }
    return Value{v.type, clock};
}

// The right side's type and clock; with edges, the outputs and locals it
// reads within the instant (not under `pre') become edges of the node
// being checked.
Value Checker::evaluate(Exp* rhs, bool edges, Fault* tf, Fault* cf) {
    _stack.assign(1, Frame{rhs, 0, false});
    _values.clear();
    while (!_stack.empty()) {
        Frame& f = _stack.back();
        Exp* e = f.e;
        if (e->arity() == 0) {
            Value v = leaf(e);
            size_t id = (size_t)e->ident();
            if (edges && !f.delayed) _graph.add_read((int)id);
            _stack.pop_back();
            _values.push_back(v);
            continue;
        }
        if (f.next < e->arity()) {
            // The operands are read soon, and a variable's leaf can be
            // anywhere in memory: ask for all of them at the first visit.
            if (f.next == 0)
                for (int k = 1; k < e->arity(); ++k) __builtin_prefetch(e->operand(k));
            Exp* o = e->operand(f.next++);
            bool delayed = f.delayed || delays_reads(e->nature());
            if (o)
                _stack.push_back(Frame{o, 0, delayed});  // f is stale now
            else
                _values.push_back(Value{nullptr, NO_CLOCK});
            continue;
        }
        size_t base = _values.size() - (size_t)e->arity();
        Value v = node(e, _values.data() + base, tf, cf);
        _values.resize(base);
        _values.push_back(v);
        _stack.pop_back();
    }
    return _values.back();
}

// One equation (a tuple's at its first member): its faults, the agreement
// of its type and clock with its variables', its dependencies.
void Checker::definition(IdentInfo* info) {
    if (_graph.read_tuple_head(info)) return;
    std::vector<int>& members = _members;
    members.assign(1, info->ident());
    if (IntList* tuple = info->tuple_members()) {
        members.clear();
        for (IntList* m = tuple; m; m = m->tail()) members.push_back(m->head());
    }
    Exp* rhs = info->right_side();
    if (!rhs) return;
    unsigned pos = info->eq_pos();
    Fault tf, cf;
    Value v = evaluate(rhs, true, &tf, &cf);
    // A fault inside the right side concerns the variable it defines.
    if (!tf.subject) tf.subject = members[0];
    if (!cf.subject) cf.subject = members[0];
    report(tf);
    report(cf);
    if (tf.found || !v.type) return;
    size_t n = members.size();
    if (n > 1 && (v.type->is_named() || v.type->name_list()->length() != (int)n)) {
        int got = v.type->is_named() ? 1 : v.type->name_list()->length();
        add(true, pos, "arity", members[0],
            "the tuple equation of " + quoted(members[0]) + " has " + std::to_string(n) +
                " names but its right side gives " + std::to_string(got) +
                (got == 1 ? " value" : " values"));
        return;
    }
    for (size_t i = 0; i < n; ++i) {
        IdentInfo* var = _prg->get_ident_info(members[i]);
        if (!var || !var->type()) continue;
        EcType* got = n == 1 ? v.type : _prg->find_named_type(v.type->member((int)i + 1));
        if (got && got != var->type())
            add(true, pos, "type", members[i],
                quoted(members[i]) + " is " + type_name(var->type()) + " but its equation " +
                    (n == 1 ? "is " : "gives it ") + type_name(got));
        if (!cf.found && v.clock != ANY_CLOCK && v.clock != NO_CLOCK && v.clock != var->clock() &&
            var->clock() > 0)
            add(true, pos, "clock", members[i],
                quoted(members[i]) + " runs on " + clock_name(var->clock()) +
                    " but its equation on " + clock_name(v.clock));
    }
}

void Checker::equations() {
    _node_pos.reserve((size_t)_graph.size());
    for (int v = 0; v < _graph.size(); ++v) {
        int symbol = _graph.symbol(v);
        IdentInfo* info = variable(symbol);
        _node_pos.push_back(info->eq_pos());
        if (!info->ec_def() && !info->eq_pos())
            add(true, info->pos(), "undefined", symbol, quoted(symbol) + " has no equation");
        else
            definition(info);
        _graph.end_node();
    }
    _graph.finish();
    for (IntList* l = _prg->assertions().list(); l; l = l->tail()) {
        IdentInfo* info = _prg->get_ident_info(l->head());
        if (!info || !info->ec_def()) continue;
        Fault tf, cf;
        Value v = evaluate(info->ec_def(), false, &tf, &cf);
        report(tf);
        report(cf);
        if (!tf.found && v.type && v.type != _prg->bool_type())
            add(true, info->eq_pos(), "type", 0,
                "the assertion is " + type_name(v.type) + ", not bool");
    }
}

// Of two nodes, whether a's equation comes before b's: the one with a
// position first, then the lower position, then the node checked first.
bool Checker::comes_first(int a, int b) const {
    unsigned pa = _node_pos[(size_t)a], pb = _node_pos[(size_t)b];
    if ((pa != 0) != (pb != 0)) return pa != 0;
    return pa != pb ? pa < pb : a < b;
}

// A component of several variables, or of one that reads itself, is a
// cycle, reported at the first equation of its members with the shortest
// chain through them.
void Checker::causality() {
    DepGraph::Components comps = _graph.components();
    for (int c : comps.cycles) {
        int s = comps.members[(size_t)comps.start[(size_t)c]];
        for (int k = comps.start[(size_t)c]; k < comps.start[(size_t)c + 1]; ++k)
            if (comes_first(comps.members[(size_t)k], s)) s = comps.members[(size_t)k];
        int subject = _graph.symbol(s);
        add(true, _node_pos[(size_t)s], "cycle", subject,
            quoted(subject) + " depends on itself within one instant: " +
                chain_text(_graph.cycle_chain(comps, s)));
    }
}

// The names of a chain of nodes.
std::string Checker::chain_text(const std::vector<int>& chain) const {
    std::vector<std::string> names;
    names.reserve(chain.size());
    for (int v : chain) names.emplace_back(_prg->symbol(_graph.symbol(v)));
    return elided_chain(names, " -> ");
}

void Checker::unused() {
    for (const IdList* list : {&_prg->inputs(), &_prg->locals()}) {
        bool input = list == &_prg->inputs();
        for (IntList* l = list->list(); l; l = l->tail()) {
            IdentInfo* info = variable(l->head());
            if (!info || is_used((size_t)l->head())) continue;
            mark_used((size_t)l->head());  // reported once
            const char* name = _prg->symbol(l->head());
            std::string message;
            message.reserve(strlen(name) + 24);
            message.append(input ? "input '" : "local '").append(name).append("' is never used");
            add(false, info->pos(), "unused", l->head(), std::move(message));
        }
    }
}

std::vector<Diagnostic> Checker::run(long max_errors) {
    _symbols = (size_t)_prg->symbols()->count() + 1;
    _used.assign((_symbols + 63) / 64, 0);
    _distrust.assign(_symbols, 0);
    find_distrusted();
    read_notes();
    check_declared_clocks(_prg, &_out);
    equations();
    causality();
    if (_warnings) unused();
    if (std::none_of(_out.begin(), _out.end(), [](const Diagnostic& d) { return d.error; }))
        _prg->note_well_formed();
    // Source order, those without position last, each kind in the order
    // found: sorted as keys (position, index), the diagnostics moved once.
    std::vector<uint64_t> order(_out.size());
    for (size_t i = 0; i < _out.size(); ++i)
        order[i] = (uint64_t)(_out[i].pos ? _out[i].pos : UINT_MAX) << 32 | i;
    std::sort(order.begin(), order.end());
    std::vector<Diagnostic> sorted;
    sorted.reserve(_out.size());
    long errors = 0;
    for (size_t k = 0; k < order.size() && (max_errors < 0 || errors < max_errors); ++k) {
        sorted.push_back(std::move(_out[order[k] & 0xffffffffu]));
        errors += sorted.back().error;
    }
    return sorted;
}

}  // namespace

std::string elided_chain(const std::vector<std::string>& items, const char* separator) {
    std::string text;
    const size_t shown = 12;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items.size() > 2 * shown && i == shown) {
            text += separator;
            text += "... (" + std::to_string(items.size() - 2 * shown) + " more)";
            i = items.size() - shown;
        }
        if (i) text += separator;
        text += items[i];
    }
    return text;
}

std::vector<Diagnostic> check_program(EcPrg* prg, bool warnings, long max_errors) {
    // Errors only, of a program found without any and unchanged since.
    if (!warnings && prg->known_well_formed()) return {};
    return Checker(prg, warnings).run(max_errors);
}
