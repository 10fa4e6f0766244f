// The Lustre printer of expressions and function parameters (the whole
// program is written by ecprg-print-program.cpp). Expressions are written
// with an explicit stack of pending pieces, so nesting depth costs heap
// memory, never call depth.
#include <cstdio>
#include <vector>

#include "corvel/errors.h"
#include "corvel/fract.h"
#include "corvel/intlist.h"
#include "corvel/pty.h"
#include "corvel/symbols.h"
#include "quorl/ecprg.h"

thread_local int Iprint_current_mark = 0;

namespace {

// One pending piece of output.
enum StepKind : unsigned char {
    S_PRINT,      // print: name, or the node's own form
    S_DEF,        // print_def
    S_IPRINT,     // Iprint: name, guarded form, or the recursion warning
    S_IDEF,       // Iprint_def
    S_TEXT,       // a keyword, separator or name
    S_INT,        // a decimal integer
    S_FRACT,      // a fraction, straight on the stream's file
    S_FRACT_ABS,  // its absolute value
    S_UNMARK      // leave a node of the guarded path
};

struct Step {
    StepKind kind;
    union {
        Exp* e;
        const char* s;
        long long i;
        const Fract* f;
    };
    static Step node(StepKind k, Exp* x) {
        Step st{};
        st.kind = k;
        st.e = x;
        return st;
    }
    static Step text(const char* x) {
        Step st{};
        st.kind = S_TEXT;
        st.s = x;
        return st;
    }
    static Step num(long long x) {
        Step st{};
        st.kind = S_INT;
        st.i = x;
        return st;
    }
    static Step fract(StepKind k, const Fract* x) {
        Step st{};
        st.kind = k;
        st.f = x;
        return st;
    }
};

class ExpWriter {
public:
    // The two stacks are kept from one expression to the next (a program
    // prints one per equation): a writer takes them, and gives them back
    // emptied. A writer made while another runs simply starts with its own.
    ExpWriter(PtyStream* out, SymbolTable* names) : _out(out), _names(names) {
        _stack.swap(spare_stack);
        _seq.swap(spare_seq);
    }
    ~ExpWriter() {
        keep(_stack, spare_stack);
        keep(_seq, spare_seq);
    }
    ExpWriter(const ExpWriter&) = delete;
    ExpWriter& operator=(const ExpWriter&) = delete;

    void run(Step first) {
        _stack.push_back(first);
        while (!_stack.empty()) {
            Step st = _stack.back();
            _stack.pop_back();
            switch (st.kind) {
                case S_TEXT: _out->put("%s", st.s); break;
                case S_INT: _out->put("%lld", st.i); break;
                case S_FRACT: st.f->print(_out->file()); break;
                case S_FRACT_ABS: abs(*st.f).print(_out->file()); break;
                case S_UNMARK: st.e->put_info(Iprint_current_mark, nullptr); break;
                case S_PRINT:
                    if (st.e->ident())
                        _out->put("%s", name(st.e->ident()));
                    else
                        expand(st.e, false);
                    break;
                case S_DEF: expand(st.e, false); break;
                case S_IDEF: expand(st.e, true); break;
                case S_IPRINT:
                    if (st.e->ident()) {
                        _out->put("%s", name(st.e->ident()));
                    } else if (st.e->get_int_info(Iprint_current_mark) == 0) {
                        st.e->put_info(Iprint_current_mark, reinterpret_cast<void*>(1));
                        _stack.push_back(Step::node(S_UNMARK, st.e));
                        expand(st.e, true);
                    } else {
                        _out->put("%s", "WARNING : RECURSION ");
                    }
                    break;
            }
        }
    }

private:
    const char* name(int id) { return (*_names)[id]; }

    // Queues the node's own form; its pieces are collected in order, then
    // pushed in reverse so that the first piece is written first.
    void expand(Exp* e, bool guarded) {
        _seq.clear();
        StepKind child = guarded ? S_IPRINT : S_PRINT;
        int n = e->nature();
        int arity = e->arity();
        auto op = [&](int i) {
            if (i < arity && e->operand(i)) _seq.push_back(Step::node(child, e->operand(i)));
        };
        auto text = [&](const char* t) { _seq.push_back(Step::text(t)); };

        if (n >= CONST_n && n <= MODELREF_n) {
            if (e->ident())
                text(name(e->ident()));
            else if (guarded)
                ierror("Exp::Iprint_def : '%s' Exp must have an identifier", nodekey(n));
            else
                ierror("Exp::print_def : '%s' Exp must have an identifier", nodekey(n));
        } else if (n >= PRE_n && n <= INIT_n) {
            text(opkey(n));
            text("(");
            op(0);
            text(")");
        } else if (n >= ARROW_n && n <= POWER_n) {
            text("(");
            op(0);
            text(")");
            text(opkey(n));
            text("(");
            op(1);
            text(")");
        } else if (n == IF_n) {
            text(" if (");
            op(0);
            text(") then (");
            op(1);
            text(") else (");
            op(2);
            text(")");
        } else if (n == TUPLE_n || n == NOR_n || n == DIESE_n) {
            text(opkey(n));
            text("(");
            for (int i = 0; i < arity; i++) {
                if (i > 0) text(", ");
                op(i);
            }
            text(")");
        } else if (n == ICL_n) {
            int_combination(e, child);
        } else if (n == RCL_n) {
            fract_combination(e, child);
        } else if (n == PROJ_n) {
            text("proj(");
            _seq.push_back(Step::num(e->order()));
            text(")(");
            op(0);
            text(")");
        } else if (n == CALL_n) {
            if (e->order() > 0) text(name(e->order()));
            text("(");
            Exp* arg = arity > 0 ? e->operand(0) : nullptr;
            Exp* holder = (arg && arg->nature() == TUPLE_n) ? arg : e;
            for (int i = 0; i < holder->arity(); i++) {
                if (i > 0) text(", ");
                if (holder->operand(i)) _seq.push_back(Step::node(child, holder->operand(i)));
            }
            text(")");
        } else if (guarded) {
            ierror("Exp::Iprint_def '%s' is not implemented", nodekey(n));
        } else {
            ierror("print_def '%s' is not implemented", nodekey(n));
        }
        for (size_t k = _seq.size(); k-- > 0;) _stack.push_back(_seq[k]);
    }

    // c0*x0 +c1*x1 ... +k with the sign rules of the printed form.
    void int_combination(Exp* e, StepKind child) {
        int n = e->arity();
        const int* c = e->int_coefs();
        long long k = e->int_constant();
        if (n == 0 || !c) {
            _seq.push_back(Step::num(k));
            return;
        }
        for (int i = 0; i < n; i++) {
            long long ci = c[i];
            if (i == 0) {
                if (ci == -1) {
                    _seq.push_back(Step::text("-"));
                } else if (ci != 1) {
                    _seq.push_back(Step::num(ci));
                    _seq.push_back(Step::text("*"));
                }
            } else {
                _seq.push_back(Step::text(ci < 0 ? " -" : " +"));
                long long a = ci < 0 ? -ci : ci;
                if (a != 1) {
                    _seq.push_back(Step::num(a));
                    _seq.push_back(Step::text("*"));
                }
            }
            if (e->operand(i)) _seq.push_back(Step::node(child, e->operand(i)));
        }
        if (k < 0) {
            _seq.push_back(Step::text(" "));
            _seq.push_back(Step::num(k));
        } else if (k > 0) {
            _seq.push_back(Step::text(" +"));
            _seq.push_back(Step::num(k));
        }
    }

    void fract_combination(Exp* e, StepKind child) {
        int n = e->arity();
        const Fract* c = e->fract_coefs();
        const Fract& k = e->fract_constant();
        if (n == 0 || !c) {
            _seq.push_back(Step::fract(S_FRACT, &k));
            return;
        }
        for (int i = 0; i < n; i++) {
            const Fract& ci = c[i];
            if (i == 0) {
                if (ci == -1LL) {
                    _seq.push_back(Step::text("-"));
                } else if (ci != 1LL) {
                    _seq.push_back(Step::fract(S_FRACT, &ci));
                    _seq.push_back(Step::text("*"));
                }
            } else {
                _seq.push_back(Step::text(ci < 0LL ? " -" : " +"));
                if (ci != 1LL && ci != -1LL) {
                    _seq.push_back(Step::fract(S_FRACT_ABS, &ci));
                    _seq.push_back(Step::text("*"));
                }
            }
            if (e->operand(i)) _seq.push_back(Step::node(child, e->operand(i)));
        }
        if (k < 0LL) {
            _seq.push_back(Step::text(" "));
            _seq.push_back(Step::fract(S_FRACT, &k));
        } else if (k > 0LL) {
            _seq.push_back(Step::text(" +"));
            _seq.push_back(Step::fract(S_FRACT, &k));
        }
    }

    // The storage of a very deep expression's stacks is not kept.
    static void keep(std::vector<Step>& mine, std::vector<Step>& spare) {
        if (mine.capacity() > 4096 || mine.capacity() <= spare.capacity()) return;
        mine.clear();
        spare.swap(mine);
    }

    PtyStream* _out;
    SymbolTable* _names;
    std::vector<Step> _stack;
    std::vector<Step> _seq;
    static thread_local std::vector<Step> spare_stack;
    static thread_local std::vector<Step> spare_seq;
};

thread_local std::vector<Step> ExpWriter::spare_stack;
thread_local std::vector<Step> ExpWriter::spare_seq;

}  // namespace

// ------------------------------------------------------------------ Exp

void Exp::print(PtyStream* out, SymbolTable* names) {
    ExpWriter(out, names).run(Step::node(S_PRINT, this));
}

void Exp::print_def(PtyStream* out, SymbolTable* names) {
    ExpWriter(out, names).run(Step::node(S_DEF, this));
}

void Exp::Iprint(PtyStream* out, SymbolTable* names) {
    ExpWriter(out, names).run(Step::node(S_IPRINT, this));
}

void Exp::Iprint_def(PtyStream* out, SymbolTable* names) {
    ExpWriter(out, names).run(Step::node(S_IDEF, this));
}

// ------------------------------------------------------------------ FuncInfo

void FuncInfo::print_params(IntList* l, SymbolTable* names, PtyStream* out) {
    bool first = true;
    while (l) {
        if (!first) out->put("%s", "; ");
        first = false;
        out->put("%s", (*names)[l->head()]);
        l = l->tail();
        if (!l) break;  // a name without its type: nothing more to write
        out->put("%s", " : ");
        out->put("%s", (*names)[l->head()]);
        l = l->tail();
    }
}

void FuncInfo::print_inputs(SymbolTable* names, PtyStream* out) const {
    print_params(_inputs, names, out);
}

void FuncInfo::print_outputs(SymbolTable* names, PtyStream* out) const {
    print_params(_outputs, names, out);
}

// ------------------------------------------------------------------ EcPrg

void EcPrg::print_exp(Exp* e) {
    if (!e) return;
    PtyStream out(80);
    Iprint_current_mark = take_a_key();
    e->Iprint(&out, _symbols);
}
