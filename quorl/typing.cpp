#include "quorl/typing.h"

#include <vector>

#include "quorl/ecprg.h"

namespace {

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

TypeVerdict ok(EcType* t) {
    return TypeVerdict{t ? TYPE_OK : TYPE_MISSING, t, nullptr, nullptr, nullptr, -1};
}
// Operand `operand' has the type `found' where `expected' (or the family
// `wanted') is needed.
TypeVerdict bad(TypeFault fault, int operand, EcType* found, EcType* expected,
                const char* wanted = nullptr) {
    return TypeVerdict{fault, nullptr, found, expected, wanted, operand};
}
TypeVerdict fault_only(TypeFault fault) { return bad(fault, -1, nullptr, nullptr); }

const char kNumeric[] = "int or real";
const char kNamed[] = "a type that is not a tuple";

}  // namespace

bool types_operands(const EcPrg* prg, const Exp* e) {
    int n = e->nature();
    if (is_leaf(n) || is_untypable(n)) return false;
    return n != CALL_n || prg->get_func_info(e->order()) != nullptr;
}

TypeVerdict type_rule(EcPrg* prg, const Exp* e, EcType* const* ops) {
    const int n = e->nature();
    EcType* const t_bool = prg->bool_type();
    EcType* const t_int = prg->int_type();
    EcType* const t_real = prg->real_type();
    if (is_leaf(n)) return fault_only(TYPE_LEAF);
    if (is_untypable(n)) return fault_only(TYPE_NOT_IMPLEMENTED);
    if (e->arity() < required_arity(n)) return fault_only(TYPE_MALFORMED);
    EcType* a = e->arity() > 0 ? ops[0] : nullptr;
    EcType* b = e->arity() > 1 ? ops[1] : nullptr;
    auto numeric = [&](EcType* t) { return t == t_int || t == t_real; };
    switch (n) {
        case PRE_n:
        case CURRENT_n:
        case LAST_n: return ok(a);
        case NOT_n:
        case INIT_n:
        case AND_n:
        case OR_n:
        case XOR_n:
        case IMPL_n:
        case NOR_n:
        case DIESE_n: {
            int wrong = -1;
            for (int i = 0; i < e->arity(); ++i) {
                if (!ops[i]) return ok(nullptr);
                if (ops[i] != t_bool && wrong < 0) wrong = i;
            }
            return wrong >= 0 ? bad(TYPE_BAD_OPERANDS, wrong, ops[wrong], t_bool) : ok(t_bool);
        }
        case UMINUS_n:
            if (!a || numeric(a)) return ok(a);
            return bad(TYPE_BAD_OPERAND, 0, a, nullptr, kNumeric);
        case INT2REAL_n:
            if (!a) return ok(nullptr);
            return a == t_int ? ok(t_real) : bad(TYPE_BAD_OPERAND, 0, a, t_int);
        case REAL2INT_n:
            if (!a) return ok(nullptr);
            return a == t_real ? ok(t_int) : bad(TYPE_BAD_OPERAND, 0, a, t_real);
        default: break;
    }
    if (n >= ARROW_n && n <= POWER_n) {
        if (!a || !b) return ok(nullptr);
        switch (n) {
            case ARROW_n: return a == b ? ok(a) : bad(TYPE_BAD_OPERANDS, 1, b, a);
            case WHEN_n: return b == t_bool ? ok(a) : bad(TYPE_BAD_OPERANDS, 1, b, t_bool);
            case EQUAL_n:
            case NEQ_n: return a == b ? ok(t_bool) : bad(TYPE_BAD_OPERANDS, 1, b, a);
            case DIV_n:
            case MOD_n:
                if (a != t_int) return bad(TYPE_BAD_OPERANDS, 0, a, t_int);
                return b == t_int ? ok(t_int) : bad(TYPE_BAD_OPERANDS, 1, b, t_int);
            default: break;
        }
        // Comparisons and - + / * **: two operands of one numeric type.
        if (!numeric(a)) return bad(TYPE_BAD_OPERANDS, 0, a, nullptr, kNumeric);
        if (b != a) return bad(TYPE_BAD_OPERANDS, 1, b, a);
        return ok(n >= GTE_n && n <= LT_n ? t_bool : a);
    }
    if (n == IF_n) {
        EcType* c = ops[2];
        if (!a || !b || !c) return ok(nullptr);
        if (a != t_bool) return bad(TYPE_BAD_OPERANDS, 0, a, t_bool);
        return b == c ? ok(b) : bad(TYPE_BAD_OPERANDS, 2, c, b);
    }
    if (n == TUPLE_n) {
        int few[8];
        std::vector<int> many;
        int* names = few;
        if (e->arity() > 8) {
            many.resize((size_t)e->arity());
            names = many.data();
        }
        for (int i = 0; i < e->arity(); ++i) {
            if (!ops[i]) return ok(nullptr);
            if (ops[i]->is_tuple()) return bad(TYPE_BAD_OPERANDS, i, ops[i], nullptr, kNamed);
            names[i] = ops[i]->name();
        }
        return ok(prg->define_type(names, e->arity()));
    }
    if (n == CALL_n) {
        FuncInfo* f = prg->get_func_info(e->order());
        if (!f) return fault_only(TYPE_UNDECLARED_FUNCTION);
        if (!a) return ok(nullptr);
        if (a == f->inputs_type()) return ok(f->outputs_type());
        return bad(TYPE_BAD_ARGUMENTS, 0, a, f->inputs_type());
    }
    return fault_only(TYPE_MALFORMED);
}

std::string type_text(const EcPrg* prg, const EcType* t) {
    if (!t) return "";
    if (t->is_named()) return prg->symbol(t->name());
    std::string text = "(";
    for (IntList* l = t->name_list(); l; l = l->tail()) {
        text += prg->symbol(l->head());
        if (l->tail()) text += ", ";
    }
    return text + ")";
}

// The text of a symbol; empty for none.
static std::string symbol_text(const EcPrg* prg, int id) {
    const char* text = prg->symbol(id);
    return text ? text : "";
}

std::string wanted_text(const EcPrg* prg, const TypeVerdict& v) {
    return v.expected ? type_text(prg, v.expected) : v.wanted ? v.wanted : "";
}

std::string operator_name(const EcPrg* prg, const Exp* e) {
    switch (e->nature()) {
        case IF_n: return "'if'";
        case TUPLE_n: return "the tuple";
        case CALL_n: return "'" + symbol_text(prg, e->order()) + "'";
        default: return "'" + std::string(opkey(e->nature())) + "'";
    }
}

namespace {

// Whether both operands of a kind must have one type ("the operands of '+'
// are int and bool" when the second is not the first's).
bool same_type_operands(int n) {
    return n == ARROW_n || n == EQUAL_n || n == NEQ_n ||
           (n >= GTE_n && n <= POWER_n && n != DIV_n && n != MOD_n);
}

std::string checker_words(const EcPrg* prg, const Exp* e, const TypeVerdict& v) {
    std::string kind = nodekey(e->nature());
    switch (v.fault) {
        case TYPE_BAD_OPERANDS: return "type error: bad '" + kind + "' operands";
        case TYPE_BAD_OPERAND: return "type error: bad '" + kind + "' operand";
        case TYPE_LEAF: return "type error: unexpected '" + kind + "'";
        case TYPE_NOT_IMPLEMENTED: return "sorry, type of '" + kind + "' not yet implemented";
        case TYPE_UNDECLARED_FUNCTION:
            return "error: undeclared function '" + symbol_text(prg, e->order()) + "'";
        case TYPE_BAD_ARGUMENTS: return "type error: bad '" + symbol_text(prg, e->order()) + "' operands";
        default: return "";
    }
}

std::string lustre_words(const EcPrg* prg, const Exp* e, const TypeVerdict& v) {
    std::string op = operator_name(prg, e);
    std::string found = type_text(prg, v.found), wanted = wanted_text(prg, v);
    int n = e->nature();
    switch (v.fault) {
        case TYPE_UNDECLARED_FUNCTION: return "function " + op + " is not declared";
        case TYPE_BAD_ARGUMENTS: return "function " + op + " takes " + wanted + ", not " + found;
        case TYPE_BAD_OPERAND: return op + " needs " + wanted + ", not " + found;
        case TYPE_BAD_OPERANDS:
            if (n == IF_n)
                return v.operand == 0 ? "the condition of 'if' is " + found + ", not bool"
                                      : "the branches of 'if' are " + wanted + " and " + found;
            if (n == WHEN_n) return "the clock of 'when' is " + found + ", not bool";
            if (n == TUPLE_n) return "a tuple cannot hold the tuple " + found;
            if (v.expected && same_type_operands(n))
                return "the operands of " + op + " are " + wanted + " and " + found;
            return op + " needs " + wanted + " operands, not " + found;
        default: return "";
    }
}

}  // namespace

std::string describe_type_fault(const EcPrg* prg, const Exp* e, const TypeVerdict& v,
                                FaultStyle style) {
    return style == CHECKER_STYLE ? checker_words(prg, e, v) : lustre_words(prg, e, v);
}
