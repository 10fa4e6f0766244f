// Whole-program checking. Every equation's right side is evaluated once,
// bottom-up with an explicit stack, for its type (by the rules of
// quorl/typing.h, from the declared types of the names it reads: the types
// linking copied into the nodes are not trusted), its clock, and the
// variables it reads within the instant; those reads make the dependency
// graph whose strongly connected components are the causality cycles.
#include "quorl/check.h"

#include <algorithm>
#include <climits>

#include "corvel/symbols.h"
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
    Checker(EcPrg* prg, bool warnings) : _prg(prg), _warnings(warnings) {}
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
    bool first_time(int id) {
        if ((size_t)id >= _seen.size()) _seen.resize((size_t)id + 1, 0);
        return !_seen[(size_t)id]++;
    }

    void read_notes();
    void equations();
    void definition(IdentInfo* info);
    Value evaluate(Exp* rhs, std::vector<int>* reads, Fault* tf, Fault* cf);
    Value leaf(Exp* e);
    Value node(Exp* e, const Value* ops, Fault* tf, Fault* cf);
    void type_fault(Exp* e, const TypeVerdict& v, Fault* f);
    void report(const Fault& f) {
        if (f.found) add(true, f.pos, f.code, f.subject, f.message);
    }
    void depend(const std::vector<int>& members, const std::vector<int>& reads, unsigned pos);
    void causality();
    void unused();

    EcPrg* _prg;
    bool _warnings;
    std::vector<Diagnostic> _out;
    std::vector<unsigned char> _seen;  // by symbol: a variable already checked
    std::vector<unsigned char> _used;  // by symbol: read somewhere
    // The dependency graph: a node per variable with an equation.
    std::vector<int> _node_of;      // by symbol: node + 1, 0 for none
    std::vector<int> _node_symbol;  // by node
    std::vector<unsigned> _node_pos;
    std::vector<std::pair<int, int>> _edges;  // symbol reads symbol within the instant
};

void Checker::read_notes() {
    for (const ReadNote& n : _prg->source().notes()) {
        std::string who = quoted(n.subject);
        switch (n.kind) {
            case NOTE_UNDECLARED:
                add(true, n.pos, "undeclared", n.subject, who + " is not declared");
                break;
            case NOTE_UNDECLARED_TYPE:
                add(true, n.pos, "undeclared", n.subject, "type " + who + " is not declared");
                break;
            case NOTE_REDECLARED:
                add(true, n.pos, "redeclared", n.subject, who + " is declared twice");
                break;
            case NOTE_REDECLARED_TYPE:
                add(true, n.pos, "redeclared", n.subject, "type " + who + " is declared twice");
                break;
            case NOTE_REDEFINED:
                add(true, n.pos, "redefined", n.subject, who + " has a second equation");
                break;
            case NOTE_NOT_DEFINABLE: {
                IdentInfo* info = _prg->get_ident_info(n.subject);
                bool input = info && info->ident_mode() == INPUT_m;
                add(true, n.pos, "redefined", n.subject,
                    who + (input ? " is an input" : " is a constant") + ": it has no equation");
                break;
            }
            case NOTE_UNDECLARED_VARIABLE:
                add(true, n.pos, "undeclared", n.subject,
                    who + " is not declared: its equation defines nothing");
                break;
            case NOTE_CLOCKED: {
                IdentInfo* clock = variable(n.other);
                if (!clock)
                    add(true, n.pos, "clock", n.other,
                        "the clock of " + who + ", " + quoted(n.other) + ", is not a variable");
                else if (clock->type() && clock->type() != _prg->bool_type())
                    add(true, n.pos, "clock", n.other,
                        "the clock of " + who + ", " + quoted(n.other) + ", is " +
                            type_name(clock->type()) + ", not bool");
                if (n.other > 0 && (size_t)n.other < _used.size()) _used[(size_t)n.other] = 1;
                break;
            }
        }
    }
}

Value Checker::leaf(Exp* e) {
    IdentInfo* info = e->ident() ? _prg->get_ident_info(e->ident()) : nullptr;
    if (!info) return Value{nullptr, NO_CLOCK};
    if ((size_t)e->ident() < _used.size()) _used[(size_t)e->ident()] = 1;
    IdentMode m = info->ident_mode();
    bool flowing = m == INPUT_m || m == OUTPUT_m || m == LOCAL_m;
    return Value{info->type(), flowing ? info->clock() : ANY_CLOCK};
}

// The operator of a node as the text shows it.
std::string operator_name(const EcPrg* prg, const Exp* e) {
    switch (e->nature()) {
        case IF_n: return "'if'";
        case TUPLE_n: return "the tuple";
        case CALL_n: return "'" + std::string(prg->symbol(e->function_ident())) + "'";
        default: return "'" + std::string(opkey(e->nature())) + "'";
    }
}

void Checker::type_fault(Exp* e, const TypeVerdict& v, Fault* f) {
    if (f->found) return;
    std::string op = operator_name(_prg, e);
    std::string found = type_name(v.found), wanted = wanted_text(_prg, v);
    std::string message;
    int n = e->nature();
    switch (v.fault) {
        case TYPE_UNDECLARED_FUNCTION:
            *f = Fault{true, e->pos(), "undeclared", e->function_ident(),
                       "function " + op + " is not declared"};
            return;
        case TYPE_BAD_ARGUMENTS:
            message = "function " + op + " takes " + wanted + ", not " + found;
            break;
        case TYPE_BAD_OPERAND: message = op + " needs " + wanted + ", not " + found; break;
        case TYPE_BAD_OPERANDS:
            if (n == IF_n)
                message = v.expected == _prg->bool_type()
                              ? "the condition of 'if' is " + found + ", not bool"
                              : "the branches of 'if' are " + wanted + " and " + found;
            else if (n == WHEN_n)
                message = "the clock of 'when' is " + found + ", not bool";
            else if (n == TUPLE_n)
                message = "a tuple cannot hold the tuple " + found;
            else if (v.expected && (n == ARROW_n || n == EQUAL_n || n == NEQ_n ||
                                    (n >= GTE_n && n <= POWER_n && n != DIV_n && n != MOD_n)))
                message = "the operands of " + op + " are " + wanted + " and " + found;
            else
                message = op + " needs " + wanted + " operands, not " + found;
            break;
        default: return;  // a fault below, or a kind that is never read
    }
    *f = Fault{true, e->pos(), "type", 0, message};
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
                *cf = Fault{true, e->pos(), "clock", var->ident(),
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

// The right side's type and clock; the variables it reads within the
// instant (not under `pre') go to reads.
Value Checker::evaluate(Exp* rhs, std::vector<int>* reads, Fault* tf, Fault* cf) {
    struct Frame {
        Exp* e;
        int next;
        bool delayed;
    };
    std::vector<Frame> stack{Frame{rhs, 0, false}};
    std::vector<Value> values;
    while (!stack.empty()) {
        Frame& f = stack.back();
        Exp* e = f.e;
        if (e->arity() == 0) {
            Value v = leaf(e);
            if (!f.delayed && _node_of.size() > (size_t)e->ident() && variable(e->ident()))
                reads->push_back(e->ident());
            stack.pop_back();
            values.push_back(v);
            continue;
        }
        if (f.next < e->arity()) {
            Exp* o = e->operand(f.next++);
            bool delayed = f.delayed || e->nature() == PRE_n;
            if (o)
                stack.push_back(Frame{o, 0, delayed});  // f is stale now
            else
                values.push_back(Value{nullptr, NO_CLOCK});
            continue;
        }
        size_t base = values.size() - (size_t)e->arity();
        Value v = node(e, values.data() + base, tf, cf);
        values.resize(base);
        values.push_back(v);
        stack.pop_back();
    }
    return values.back();
}

void Checker::depend(const std::vector<int>& members, const std::vector<int>& reads, unsigned pos) {
    for (int m : members) {
        if (_node_of[(size_t)m]) continue;
        _node_of[(size_t)m] = (int)_node_symbol.size() + 1;
        _node_symbol.push_back(m);
        _node_pos.push_back(pos);
    }
    for (int m : members)
        for (int r : reads) _edges.emplace_back(m, r);
}

// One equation (a tuple's at its first member): its faults, the agreement
// of its type and clock with its variables', its dependencies.
void Checker::definition(IdentInfo* info) {
    Exp* def = info->ec_def();
    IntList* tuple = info->tuple_linked();
    std::vector<int> members{info->ident()};
    Exp* rhs = def;
    if (tuple) {
        if (!def || def->nature() != PROJ_n || def->order() != 1) return;
        members.clear();
        for (IntList* m = tuple; m; m = m->tail()) members.push_back(m->head());
        rhs = def->arity() > 0 ? def->operand(0) : nullptr;
    }
    if (!rhs) return;
    unsigned pos = info->eq_pos();
    std::vector<int> reads;
    Fault tf, cf;
    Value v = evaluate(rhs, &reads, &tf, &cf);
    report(tf);
    report(cf);
    depend(members, reads, pos);
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
    for (const IdList* list : {&_prg->outputs(), &_prg->locals()}) {
        for (IntList* l = list->list(); l; l = l->tail()) {
            IdentInfo* info = variable(l->head());
            if (!info || info->ident_mode() == INPUT_m || !first_time(l->head())) continue;
            if (!info->ec_def() && !info->eq_pos()) {
                add(true, info->pos(), "undefined", info->ident(),
                    quoted(info->ident()) + " has no equation");
                continue;
            }
            definition(info);
        }
    }
    for (IntList* l = _prg->assertions().list(); l; l = l->tail()) {
        IdentInfo* info = _prg->get_ident_info(l->head());
        if (!info || !info->ec_def()) continue;
        std::vector<int> reads;
        Fault tf, cf;
        Value v = evaluate(info->ec_def(), &reads, &tf, &cf);
        report(tf);
        report(cf);
        if (!tf.found && v.type && v.type != _prg->bool_type())
            add(true, info->eq_pos(), "type", 0,
                "the assertion is " + type_name(v.type) + ", not bool");
    }
}

// Tarjan's algorithm with its own stacks, over the graph in CSR form; a
// component of several variables, or one that reads itself, is a cycle,
// reported at the first equation of its members with a chain through them.
void Checker::causality() {
    size_t nodes = _node_symbol.size();
    std::vector<int> start(nodes + 1, 0), adj;
    std::vector<std::pair<int, int>> edges;
    for (const auto& e : _edges) {
        int a = _node_of[(size_t)e.first] - 1, b = _node_of[(size_t)e.second] - 1;
        if (a >= 0 && b >= 0) edges.emplace_back(a, b);
    }
    for (const auto& e : edges) ++start[(size_t)e.first + 1];
    for (size_t i = 0; i < nodes; ++i) start[i + 1] += start[i];
    adj.resize(edges.size());
    std::vector<int> fill(start.begin(), start.end() - 1);
    for (const auto& e : edges) adj[(size_t)fill[(size_t)e.first]++] = e.second;

    std::vector<int> index(nodes, -1), low(nodes, 0), comp(nodes, -1), tarjan, call, edge;
    std::vector<unsigned char> on_stack(nodes, 0);
    int counter = 0, comps = 0;
    for (size_t root = 0; root < nodes; ++root) {
        if (index[root] >= 0) continue;
        call.push_back((int)root);
        edge.push_back(start[root]);
        index[root] = low[root] = counter++;
        tarjan.push_back((int)root);
        on_stack[root] = 1;
        while (!call.empty()) {
            int v = call.back();
            int& k = edge.back();
            if (k < start[(size_t)v + 1]) {
                int w = adj[(size_t)k++];
                if (index[(size_t)w] < 0) {
                    index[(size_t)w] = low[(size_t)w] = counter++;
                    tarjan.push_back(w);
                    on_stack[(size_t)w] = 1;
                    call.push_back(w);
                    edge.push_back(start[(size_t)w]);
                } else if (on_stack[(size_t)w]) {
                    low[(size_t)v] = std::min(low[(size_t)v], index[(size_t)w]);
                }
                continue;
            }
            call.pop_back();
            edge.pop_back();
            if (!call.empty())
                low[(size_t)call.back()] = std::min(low[(size_t)call.back()], low[(size_t)v]);
            if (low[(size_t)v] != index[(size_t)v]) continue;
            int w;
            do {
                w = tarjan.back();
                tarjan.pop_back();
                on_stack[(size_t)w] = 0;
                comp[(size_t)w] = comps;
            } while (w != v);
            ++comps;
        }
    }
    // The members of each component, and whether one reads itself.
    std::vector<int> first_of(comps, -1), size_of(comps, 0);
    std::vector<unsigned char> self(comps, 0);
    for (size_t v = 0; v < nodes; ++v) {
        int c = comp[v];
        ++size_of[(size_t)c];
        unsigned p = _node_pos[v];
        int f = first_of[(size_t)c];
        if (f < 0 || (p && (!_node_pos[(size_t)f] || p < _node_pos[(size_t)f])))
            first_of[(size_t)c] = (int)v;
        for (int k = start[v]; k < start[v + 1]; ++k)
            if (adj[(size_t)k] == (int)v) self[(size_t)c] = 1;
    }
    // A chain from the first member back to it: the shortest, by a search
    // within the component.
    std::vector<int> parent(nodes, -1);
    for (int c = 0; c < comps; ++c) {
        if (size_of[(size_t)c] < 2 && !self[(size_t)c]) continue;
        int s = first_of[(size_t)c];
        std::vector<int> queue{s}, chain;
        int back = -1;
        for (size_t q = 0; q < queue.size() && back < 0; ++q) {
            int v = queue[q];
            for (int k = start[(size_t)v]; k < start[(size_t)v + 1]; ++k) {
                int w = adj[(size_t)k];
                if (comp[(size_t)w] != c) continue;
                if (w == s) {
                    back = v;
                    break;
                }
                if (parent[(size_t)w] < 0) {
                    parent[(size_t)w] = v;
                    queue.push_back(w);
                }
            }
        }
        for (int v = back; v != s && v >= 0; v = parent[(size_t)v]) chain.push_back(v);
        chain.push_back(s);
        std::reverse(chain.begin(), chain.end());
        chain.push_back(s);
        for (int v : queue) parent[(size_t)v] = -1;
        std::string text;
        const size_t shown = 12;
        for (size_t i = 0; i < chain.size(); ++i) {
            if (chain.size() > 2 * shown && i == shown) {
                text += " -> ... (" + std::to_string(chain.size() - 2 * shown) + " more)";
                i = chain.size() - shown;
            }
            if (i) text += " -> ";
            text += _prg->symbol(_node_symbol[(size_t)chain[i]]);
        }
        int subject = _node_symbol[(size_t)s];
        add(true, _node_pos[(size_t)s], "cycle", subject,
            quoted(subject) + " depends on itself within one instant: " + text);
    }
}

void Checker::unused() {
    for (const IdList* list : {&_prg->inputs(), &_prg->locals()}) {
        bool input = list == &_prg->inputs();
        for (IntList* l = list->list(); l; l = l->tail()) {
            IdentInfo* info = variable(l->head());
            if (!info || _used[(size_t)l->head()] == 1) continue;
            _used[(size_t)l->head()] = 2;  // reported
            add(false, info->pos(), "unused", l->head(),
                std::string(input ? "input " : "local ") + quoted(l->head()) + " is never used");
        }
    }
}

std::vector<Diagnostic> Checker::run(long max_errors) {
    size_t symbols = (size_t)_prg->symbols()->count() + 1;
    _used.assign(symbols, 0);
    _node_of.assign(symbols, 0);
    read_notes();
    equations();
    causality();
    if (_warnings) unused();
    std::stable_sort(_out.begin(), _out.end(), [](const Diagnostic& a, const Diagnostic& b) {
        return (a.pos ? a.pos : UINT_MAX) < (b.pos ? b.pos : UINT_MAX);
    });
    if (max_errors >= 0) {
        long errors = 0;
        size_t keep = 0;
        while (keep < _out.size() && errors < max_errors) errors += _out[keep++].error;
        _out.resize(keep);
    }
    return std::move(_out);
}

}  // namespace

std::vector<Diagnostic> check_program(EcPrg* prg, bool warnings, long max_errors) {
    return Checker(prg, warnings).run(max_errors);
}
