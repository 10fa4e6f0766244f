// EcPrg::type(Exp*): the type of an expression by the rules of the ec
// language, computed bottom-up with the message of the innermost ill-typed
// operator.
//
// The walk keeps its own stack of pending nodes instead of recursing, so
// expressions nested hundreds of thousands of levels deep are typed in
// constant native stack. Operands are typed in operand order, exactly as a
// recursive walk would, so the messages and their order are the same.
#include <vector>

#include "corvel/errors.h"
#include "quorl/ecprg.h"

namespace {

struct Frame {
    Exp* e;
    int next;  // next operand to look at
};

// Type of operand i, or null when it is missing or has no type.
EcType* operand_type(Exp* e, int i) {
    if (i >= e->arity()) return nullptr;
    Exp* o = e->operand(i);
    return o ? o->type() : nullptr;
}

bool is_leaf(int n) { return n >= ERROR_n && n <= MODELREF_n; }
bool is_untypable(int n) { return n == RCL_n || n == ICL_n || n == PROJ_n; }

// Operands a rule needs; fewer on a node is a caller error.
int required_arity(int n) {
    if (n >= PRE_n && n <= INIT_n) return 1;
    if (n >= ARROW_n && n <= POWER_n) return 2;
    if (n == IF_n) return 3;
    if (n == CALL_n) return 1;
    return 0;
}

}  // namespace

// The rule of e's nature, all the operands it needs being typed already.
static EcType* type_node(EcPrg* prg, Exp* e) {
    const int n = e->nature();
    const char* kind = nodekey(n);
    EcType* const t_bool = prg->bool_type();
    EcType* const t_int = prg->int_type();
    EcType* const t_real = prg->real_type();

    if (is_leaf(n)) {
        prg->error("type error: unexpected '%s'", kind);
        return nullptr;
    }
    if (is_untypable(n)) {
        prg->error("sorry, type of '%s' not yet implemented", kind);
        return nullptr;
    }
    if (e->arity() < required_arity(n)) {
        ierror("EcPrg::type: '%s' node with %d operands\n", kind, e->arity());
        return nullptr;
    }
    EcType* a = operand_type(e, 0);
    EcType* b = operand_type(e, 1);
    switch (n) {
        case PRE_n:
        case CURRENT_n:
        case LAST_n: return a;
        case NOT_n:
        case INIT_n:
        case AND_n:
        case OR_n:
        case XOR_n:
        case IMPL_n:
        case NOR_n:
        case DIESE_n: {
            bool all_bool = true;
            for (int i = 0; i < e->arity(); ++i) {
                EcType* t = operand_type(e, i);
                if (!t) return nullptr;
                if (t != t_bool) all_bool = false;
            }
            if (all_bool) return t_bool;
            prg->error("type error: bad '%s' operands", kind);
            return nullptr;
        }
        case UMINUS_n:
            if (!a) return nullptr;
            if (a == t_int || a == t_real) return a;
            prg->error("type error: bad '%s' operand", kind);
            return nullptr;
        case INT2REAL_n:
            if (!a) return nullptr;
            if (a == t_int) return t_real;
            prg->error("type error: bad '%s' operand", kind);
            return nullptr;
        case REAL2INT_n:
            if (!a) return nullptr;
            if (a == t_real) return t_int;
            prg->error("type error: bad '%s' operand", kind);
            return nullptr;
        default: break;
    }
    if (n >= ARROW_n && n <= POWER_n) {
        if (!a || !b) return nullptr;
        bool numeric = a == b && (a == t_int || a == t_real);
        EcType* result = nullptr;
        switch (n) {
            case ARROW_n: result = a == b ? a : nullptr; break;
            case WHEN_n: result = b == t_bool ? a : nullptr; break;
            case EQUAL_n:
            case NEQ_n: result = a == b ? t_bool : nullptr; break;
            case GTE_n:
            case GT_n:
            case LTE_n:
            case LT_n: result = numeric ? t_bool : nullptr; break;
            case DIV_n:
            case MOD_n: result = a == t_int && b == t_int ? t_int : nullptr; break;
            default: result = numeric ? a : nullptr; break;  // - + / * **
        }
        if (!result) prg->error("type error: bad '%s' operands", kind);
        return result;
    }
    if (n == IF_n) {
        EcType* c = operand_type(e, 2);
        if (!a || !b || !c) return nullptr;
        if (a == t_bool && b == c) return b;
        prg->error("type error: bad '%s' operands", kind);
        return nullptr;
    }
    if (n == TUPLE_n) {
        // The walk stopped at the first operand without a type or with a
        // tuple type; all operands are named types when it got to the end.
        std::vector<int> names;
        names.reserve((size_t)e->arity());
        for (int i = 0; i < e->arity(); ++i) {
            EcType* t = operand_type(e, i);
            if (!t) return nullptr;
            if (t->is_tuple()) {
                prg->error("type error: bad '%s' operands", kind);
                return nullptr;
            }
            names.push_back(t->name());
        }
        return prg->define_type(names.data(), e->arity());
    }
    if (n == CALL_n) {
        FuncInfo* f = prg->get_func_info(e->order());
        if (!f) {
            prg->error("error: undeclared function '%s'", prg->symbol(e->order()));
            return nullptr;
        }
        if (!a) return nullptr;
        if (a == f->inputs_type()) return f->outputs_type();
        prg->error("type error: bad '%s' operands", prg->symbol(e->order()));
        return nullptr;
    }
    ierror("EcPrg::type: unknown nature %d\n", n);
    return nullptr;
}

// Whether the walk goes on to operand `next` of e: a call of an undeclared
// function types no operand, a tuple stops at its first bad member.
static bool wants_operand(EcPrg* prg, Exp* e, int next) {
    const int n = e->nature();
    if (is_leaf(n) || is_untypable(n) || next >= e->arity()) return false;
    if (n == CALL_n) return next == 0 && prg->get_func_info(e->order()) != nullptr;
    if (n == TUPLE_n && next > 0) {
        EcType* prev = operand_type(e, next - 1);
        return prev && !prev->is_tuple();
    }
    return true;
}

EcType* EcPrg::type(Exp* root) {
    if (!root) return nullptr;
    if (root->type()) return root->type();
    std::vector<Frame> stack;
    stack.push_back(Frame{root, 0});
    while (!stack.empty()) {
        Frame& f = stack.back();
        Exp* e = f.e;
        if (wants_operand(this, e, f.next)) {
            Exp* o = e->operand(f.next++);
            if (o && !o->type()) stack.push_back(Frame{o, 0});  // f is stale now
            continue;
        }
        // Only a non-null type is remembered in effect: an ill-typed node is
        // examined (and reported) again each time it is typed.
        e->set_type(type_node(this, e));
        stack.pop_back();
    }
    return root->type();
}
