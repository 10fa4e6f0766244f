// EcPrg::type(Exp*): the type of an expression by the rules of the ec
// language (quorl/typing.h), computed bottom-up and memoised into the
// nodes, with the message of the innermost ill-typed operator.
//
// The walk keeps its own stack of pending nodes instead of recursing, so
// expressions nested hundreds of thousands of levels deep are typed in
// constant native stack. Operands are typed in operand order, exactly as a
// recursive walk would, so the messages and their order are the same.
#include <vector>

#include "corvel/errors.h"
#include "quorl/ecprg.h"
#include "quorl/typing.h"

namespace {

struct Frame {
    Exp* e;
    int next;  // next operand to look at
};

// Type of operand i, or null when it is missing or has no type.
EcType* operand_type(const Exp* e, int i) {
    Exp* o = i < e->arity() ? e->operand(i) : nullptr;
    return o ? o->type() : nullptr;
}

// Whether the walk goes on to operand `next' of e: a tuple stops at its
// first member without a type or with a tuple type.
bool wants_operand(const EcPrg* prg, const Exp* e, int next) {
    if (next >= e->arity() || !types_operands(prg, e)) return false;
    if (e->nature() == TUPLE_n && next > 0) {
        EcType* prev = operand_type(e, next - 1);
        return prev && !prev->is_tuple();
    }
    return true;
}

}  // namespace

// The rule of e's nature, all the operands it needs being typed already;
// a fault becomes the program's error message and code.
static EcType* type_node(EcPrg* prg, Exp* e) {
    EcType* few[4] = {};
    std::vector<EcType*> many;
    EcType** ops = few;
    if (e->arity() > 4) {
        many.resize((size_t)e->arity());
        ops = many.data();
    }
    for (int i = 0; i < e->arity(); ++i) ops[i] = operand_type(e, i);
    TypeVerdict v = type_rule(prg, e, ops);
    const char* kind = nodekey(e->nature());
    switch (v.fault) {
        case TYPE_OK:
        case TYPE_MISSING: return v.type;
        case TYPE_MALFORMED:
            if (e->nature() > MODELREF_n && e->nature() < NB_EXP_NATURES)
                ierror("EcPrg::type: '%s' node with %d operands\n", kind, e->arity());
            else
                ierror("EcPrg::type: unknown nature %d\n", e->nature());
            return nullptr;
        default: break;
    }
    prg->error("%s", describe_type_fault(prg, e, v, CHECKER_STYLE).c_str());
    if (v.fault == TYPE_NOT_IMPLEMENTED) {
        prg->set_error_code({"UNSUPPORTED", kind});
    } else if (v.fault == TYPE_UNDECLARED_FUNCTION) {
        const char* function = prg->symbol(e->order());
        prg->set_error_code({"UNDECLARED", function ? function : ""});
    } else {
        prg->set_error_code({"TYPE", wanted_text(prg, v), type_text(prg, v.found)});
    }
    return nullptr;
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
