// Expressions in ec syntax with the fewest parentheses.
#include "quorl/ec-exp-writer.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "corvel/pty.h"
#include "quorl/ecprg.h"

namespace {

// How tightly each kind binds, from the grammar's precedence declarations,
// loosest first: 1 if (its else branch runs as far as it can), 2 ->, 3 or
// xor, 4 and, 5 the comparisons and => (not associative), 6 prefix not,
// 7 + -, 8 * / % div mod, 9 **, 10 when, 11 the prefix pre, current, int,
// real and -. What is written whole (a name, a call, a tuple, # and nor)
// binds tightest of all.
const int kWhole = 12;
const int kNot = 6;
const int kPrefix = 11;
const int kCompare = 5;

int level(ExpNature n) {
    switch (n) {
        case IF_n: return 1;
        case ARROW_n: return 2;
        case OR_n:
        case XOR_n: return 3;
        case AND_n: return 4;
        case IMPL_n:
        case EQUAL_n:
        case NEQ_n:
        case GTE_n:
        case GT_n:
        case LTE_n:
        case LT_n: return kCompare;
        case NOT_n: return kNot;
        case PLUS_n:
        case MINUS_n: return 7;
        case TIMES_n:
        case SLASH_n:
        case MOD_n:
        case DIV_n: return 8;
        case POWER_n: return 9;
        case WHEN_n: return 10;
        case PRE_n:
        case CURRENT_n:
        case UMINUS_n:
        case INT2REAL_n:
        case REAL2INT_n: return kPrefix;
        default: return kWhole;
    }
}

bool is_prefix(ExpNature n) { return n == NOT_n || level(n) == kPrefix; }
bool is_infix(ExpNature n) { return n >= ARROW_n && n <= POWER_n; }

// Whether the grammar has a form for e: every kind the reader makes.
bool readable(const Exp* e) {
    ExpNature n = e->nature();
    int arity = e->arity();
    if (arity == 0) return e->ident() != 0;
    if (is_prefix(n)) return arity == 1;
    if (is_infix(n)) return arity == 2;
    if (n == IF_n) return arity == 3;
    if (n == TUPLE_n || n == NOR_n || n == DIESE_n) return true;
    return n == CALL_n && arity == 1;
}

const char* prefix_text(ExpNature n) {
    switch (n) {
        case NOT_n: return "not ";
        case PRE_n: return "pre ";
        case CURRENT_n: return "current ";
        case UMINUS_n: return "- ";
        case INT2REAL_n: return "real ";
        default: return "int ";
    }
}

// Blanks around every operator, so that a minus never meets another one
// ("--" starts a comment).
const char* infix_text(ExpNature n) {
    static const std::vector<std::string> texts = [] {
        std::vector<std::string> t((size_t)NB_EXP_NATURES, " ");
        for (int k = 0; k < NB_EXP_NATURES; ++k) t[(size_t)k].append(opkey(k)).append(" ");
        return t;
    }();
    return texts[(size_t)n].c_str();
}

// One pending piece: a text, or a node to write (in parentheses when its
// place needs them).
struct Piece {
    const Exp* e;  // null for a text
    const char* text;
    bool parens;
};

class EcExpWriter {
public:
    EcExpWriter(PtyStream* out, const EcPrg* prg) : _out(out), _prg(prg) {}

    void run(const Exp* root) {
        _stack.push_back(Piece{root, nullptr, false});
        while (!_stack.empty()) {
            Piece p = _stack.back();
            _stack.pop_back();
            if (!p.e)
                _out->put("%s", p.text);
            else
                expand(p.e, p.parens);
        }
    }

private:
    void text(const char* t) { _seq.push_back(Piece{nullptr, t, false}); }
    // An operand: in parentheses when it binds less tightly than `least'.
    void operand(const Exp* e, int least) {
        if (e) _seq.push_back(Piece{e, nullptr, level(e->nature()) < least});
    }
    // Operands between delimiters ("(", ",", ")"), which need none.
    void list(const Exp* holder) {
        for (int i = 0; i < holder->arity(); ++i) {
            if (i > 0) text(", ");
            operand(holder->operand(i), 0);
        }
    }

    // Queues the pieces of e, then pushes them in reverse so that the
    // first is written first.
    void expand(const Exp* e, bool parens) {
        if (!readable(e)) {
            // A kind the reader never makes (a linear combination, a
            // projection): its Lustre form.
            if (parens) _out->put("%s", "(");
            const_cast<Exp*>(e)->print_def(_out, _prg->symbols());
            if (parens) _out->put("%s", ")");
            return;
        }
        _seq.clear();
        ExpNature n = e->nature();
        if (parens) text("(");
        if (e->arity() == 0) {
            text(_prg->symbol(e->ident()));
        } else if (is_prefix(n)) {
            text(prefix_text(n));
            operand(e->operand(0), level(n));
        } else if (is_infix(n)) {
            // Left-associative but for the comparisons: the left operand
            // may bind as tightly as the operator, the right one must bind
            // tighter.
            int l = level(n);
            operand(e->operand(0), l == kCompare ? l + 1 : l);
            text(infix_text(n));
            operand(e->operand(1), l + 1);
        } else if (n == IF_n) {
            text("if ");
            operand(e->operand(0), 0);
            text(" then ");
            operand(e->operand(1), 0);
            text(" else ");
            operand(e->operand(2), 0);
        } else if (n == TUPLE_n || n == NOR_n || n == DIESE_n) {
            text(n == TUPLE_n ? "(" : n == NOR_n ? "nor(" : "#(");
            list(e);
            text(")");
        } else {  // a call: f(x), or f(x, y) for a tuple argument
            text(_prg->symbol(e->order()));
            text("(");
            const Exp* arg = e->operand(0);
            if (arg && arg->nature() == TUPLE_n)
                list(arg);
            else
                operand(arg, 0);
            text(")");
        }
        if (parens) text(")");
        for (size_t k = _seq.size(); k-- > 0;) _stack.push_back(_seq[k]);
    }

    PtyStream* _out;
    const EcPrg* _prg;
    std::vector<Piece> _stack;
    std::vector<Piece> _seq;
};

}  // namespace

void write_ec_expression(PtyStream* out, const EcPrg* prg, const Exp* e) {
    if (e) EcExpWriter(out, prg).run(e);
}

std::string ec_expression_text(const EcPrg* prg, const Exp* e) {
    char* buffer = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&buffer, &size);
    if (!f) throw std::bad_alloc();
    {
        PtyStream out(f, 1 << 30, nullptr);  // closes f
        write_ec_expression(&out, prg, e);
    }
    std::string text(buffer ? buffer : "", size);
    free(buffer);
    return text;
}
