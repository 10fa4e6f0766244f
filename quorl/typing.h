// The typing rules of the ec language, one node at a time: what a node's
// type is given its operands' types, or what is wrong with them. Used by
// EcPrg::type (which memoises into the nodes) and by check (which does not).
#ifndef QUORL_TYPING_H
#define QUORL_TYPING_H

#include <string>

class EcPrg;
class EcType;
class Exp;

enum TypeFault {
    TYPE_OK,
    TYPE_MISSING,              // an operand has no type: nothing more to say
    TYPE_BAD_OPERANDS,         // "bad 'PLUS_n' operands"
    TYPE_BAD_OPERAND,          // "bad 'UMINUS_n' operand"
    TYPE_LEAF,                 // a leaf without a type of its own
    TYPE_NOT_IMPLEMENTED,      // PROJ_n, ICL_n, RCL_n
    TYPE_UNDECLARED_FUNCTION,  // a call of a name that is no function
    TYPE_BAD_ARGUMENTS,        // a call whose argument type is not the function's
    TYPE_MALFORMED,            // a node with fewer operands than its kind needs
};

struct TypeVerdict {
    TypeFault fault;
    EcType* type;        // TYPE_OK: the node's type
    EcType* found;       // the operand type that does not fit
    EcType* expected;    // the type wanted instead, or null when `wanted' says it
    const char* wanted;  // a family of types ("int or real"), or null
    int operand;         // the operand at fault (0 for a call's argument), -1 when none
};

// The verdict for e given the types of its operands (ops[i] for operand i,
// null when that operand has no type). For a tuple, a new tuple type may be
// made in the program.
TypeVerdict type_rule(EcPrg* prg, const Exp* e, EcType* const* ops);

// The operands whose types a rule reads, in order: all of them, but for a
// call of an undeclared function (none) and a leaf or an untypable kind.
bool types_operands(const EcPrg* prg, const Exp* e);

// A type as a Lustre programmer writes it: its name, "(int, bool)" for a
// tuple, "" for none.
std::string type_text(const EcPrg* prg, const EcType* t);
// The operator of a node as check's messages name it: "'+'", "'if'", "the
// tuple", "'f'" for a call of f.
std::string operator_name(const EcPrg* prg, const Exp* e);
// What the verdict wanted: the expected type's text or the family.
std::string wanted_text(const EcPrg* prg, const TypeVerdict& v);

// The two wordings of a type fault.
enum FaultStyle {
    // The type checker's, which the expression operations report: "type
    // error: bad 'PLUS_n' operands", with the kind name of the node (the
    // function's name for a call).
    CHECKER_STYLE,
    // check's, in a Lustre programmer's words: "the operands of '+' are int
    // and bool", "the condition of 'if' is int, not bool".
    LUSTRE_STYLE,
};

// The message of the fault of node e that the verdict v found; empty for a
// verdict without fault, and for the faults that have no wording in that
// style (a malformed node, an internal error; in check's style, the kinds
// that are never read: leaves without a type, linear combinations).
std::string describe_type_fault(const EcPrg* prg, const Exp* e, const TypeVerdict& v,
                                FaultStyle style);

#endif
