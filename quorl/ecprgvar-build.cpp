// Program-object operations that extend the program or work on expressions:
// add-in, add-out, add-loc, func-decl, add-func, exp, eq, exp-type; and the
// expression handles and generated identifiers they hand out.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "corvel/errors.h"
#include "corvel/intlist.h"
#include "corvel/symbols.h"
#include "quorl/ecprg.h"
#include "quorl/ecprgvar.h"
#include "quorl/quorl.h"
#include "quorl/reader.h"

namespace {
// Longest name a symbol holds whole: a longer one would be cut when interned
// or looked up, and so be mistaken for another name.
bool too_long(const char* text) {
    return strnlen(text, SymbolTable::kMaxName + 1) > (size_t)SymbolTable::kMaxName;
}

// A handle is "_exp" and at most 16 hexadecimal digits; any longer text is
// not one and is never formatted into a lookup buffer.
const size_t kHandleMax = 4 + 2 * sizeof(unsigned long);

const char UNNAMED[] = "<unamed-type>";
}  // namespace

// --------------------------------------------------------------- identifiers and handles

int EcPrgVar::built_new_ident(const char* prefix) {
    for (;;) {
        ++ident_counter;
        if (symbols->find("%s%d", prefix, ident_counter) == 0)
            return symbols->add("%s%d", prefix, ident_counter);
    }
}

const char* EcPrgVar::exp2string(Exp* e) {
    return (*exp_table)[exp_table->add("_exp%lX",
                                       static_cast<unsigned long>(reinterpret_cast<uintptr_t>(e)))];
}

Exp* EcPrgVar::string2exp(const char* text) {
    if (strnlen(text, kHandleMax + 1) > kHandleMax) return nullptr;
    if (exp_table->find("%s", text) == 0) return nullptr;
    // Only a handle issued by exp2string got here, so the text is exactly
    // "_exp" and the address in upper-case hexadecimal.
    char* end = nullptr;
    unsigned long address = strtoul(text + 4, &end, 16);
    if (end == text + 4 || *end != '\0') return nullptr;
    // NOLINTNEXTLINE(performance-no-int-to-ptr): a handle is the expression's address, issued above
    return reinterpret_cast<Exp*>(static_cast<uintptr_t>(address));
}

// --------------------------------------------------------------- shared checks

// The named type the script calls `text', or null.
EcType* EcPrgVar::named_type(const char* text, int* type_id) {
    if (too_long(text)) return nullptr;
    if (!symbols->find_then_get(type_id, "%s", text)) return nullptr;
    return prg->get_named_type(*type_id);
}

// TCL_OK when `text' may name something new: not interned yet, and short
// enough to be interned whole.
int EcPrgVar::check_new_name(const Operation& op, const char* text) {
    if (too_long(text))
        return call_error("%s %s : identifier longer than %d characters", name(), op.name,
                          SymbolTable::kMaxName);
    if (symbols->find("%s", text) != 0)
        return call_error("%s %s : already used identifier '%s'", name(), op.name, text);
    return TCL_OK;
}

// An expression given as a handle of this object, or else as Lustre text.
Exp* EcPrgVar::expression_of(const char* text) {
    Exp* e = string2exp(text);
    return e ? e : exp_parse(prg, text);
}

// Prints an expression on standard output, between two level-2 traces.
static void print_traced(EcPrg* prg, Exp* e) {
    fflush(stderr);
    prg->print_exp(e);
    fflush(stdout);
}

// --------------------------------------------------------------- variables

int EcPrgVar::addvar(const Operation& op, int count, const char** parameters) {
    const char* operation = op.name;
    int type_id = 0;
    EcType* type = named_type(parameters[0], &type_id);
    if (type == nullptr)
        return call_error("%s %s : unknown type '%s'", name(), operation, parameters[0]);
    int id;
    if (count == 2) {
        if (check_new_name(op, parameters[1]) != TCL_OK) return TCL_ERROR;
        id = symbols->add("%s", parameters[1]);
    } else {
        id = built_new_ident("_XX");
    }
    int clock = prg->base_clock();
    if (op.target == ON_INPUTS)
        prg->add_input(id, type, clock);
    else if (op.target == ON_OUTPUTS)
        prg->add_output(id, type, clock, 0);
    else
        prg->add_local(id, type, clock);
    const char* result = (*symbols)[id];
    Verbose(2, "=> %s %s : %s\n", operation, result, parameters[0]);
    return set_result(result);
}

// --------------------------------------------------------------- functions

// "name in-types : out-types", each step of the text interned.
int EcPrgVar::funcdecl(const Operation& op, int, const char** parameters) {
    int index = 0, id = 0;
    if (monatoi(parameters[0], &index) != 0) return usage_error(op);
    if (prg->usr_funcs().at(index, &id) != 0)
        return call_error("%s %s : index out of bounds", name(), op.name);
    FuncInfo* info = prg->get_func_info(id);
    if (info == nullptr)
        return call_error("%s %s : unknown function '%s'", name(), op.name, (*symbols)[id]);

    std::string text = (*symbols)[id];
    auto append = [&](const char* piece) {
        text += piece;
        if (text.size() <= (size_t)SymbolTable::kMaxName) symbols->add("%s", text.c_str());
    };
    auto append_types = [&](EcType* type) {
        if (type != nullptr && type->is_tuple()) {
            for (IntList* l = type->name_list(); l != nullptr; l = l->tail()) {
                text += ' ';
                append((*symbols)[l->head()]);
            }
        } else {
            text += ' ';
            append(type_name(type, "?"));
        }
    };
    append_types(info->inputs_type());
    append(" :");
    append_types(info->outputs_type());
    Verbose(2, "=> %s %s: %s\n", op.name, parameters[0], text.c_str());
    return set_composed_result(text);
}

int EcPrgVar::addfunc(const Operation& op, int count, const char** parameters) {
    const char* operation = op.name;
    const char* function = parameters[0];
    if (check_new_name(op, function) != TCL_OK) return TCL_ERROR;
    int id = symbols->add("%s", function);  // stays interned whatever follows

    std::vector<int> inputs, outputs;
    int i = 1;
    for (; i < count && strcmp(parameters[i], ":") != 0; ++i) {
        int type_id = 0;
        if (named_type(parameters[i], &type_id) == nullptr)
            return call_error("%s %s : unknown type '%s'", name(), operation, parameters[i]);
        inputs.push_back(type_id);
    }
    bool colon = i < count;
    for (++i; i < count; ++i) {
        int type_id = 0;
        if (named_type(parameters[i], &type_id) == nullptr)
            return call_error("%s %s : unknown type '%s'", name(), operation, parameters[i]);
        outputs.push_back(type_id);
    }
    if (!colon || inputs.empty() || outputs.empty()) return usage_error(op);
    if (outputs.size() > 1)
        return call_error("%s", "Sorry, functions outputing tuples are not implemented");

    EcType* in_type = prg->define_type(inputs.data(), static_cast<int>(inputs.size()));
    EcType* out_type = prg->define_type(outputs.data(), static_cast<int>(outputs.size()));
    prg->add_usr_func(id, in_type, out_type, nullptr, nullptr);
    const char* result = (*symbols)[id];
    Verbose(2, "=> %s %s \n", operation, result);
    return set_result(result);
}

// --------------------------------------------------------------- expressions

int EcPrgVar::build_exp(const Operation& op, int, const char** parameters) {
    const char* operation = op.name;
    Exp* e = exp_parse(prg, parameters[0]);  // always parsed: a handle is not accepted here
    if (e == nullptr) return call_error("%s %s : %s", name(), operation, prg->error_msg());
    EcType* type = prg->type(e);
    const char* handle = exp2string(e);
    if (Verbose() >= 2) {
        Verbose(2, "=> %s %s: %s {", operation, parameters[0], handle);
        print_traced(prg, e);
        Verbose(2, "} : %s\n", type_name(type, UNNAMED));
    }
    return set_result(handle);
}

int EcPrgVar::equation(const Operation& op, int, const char** parameters) {
    const char* operation = op.name;
    const char* variable = parameters[0];
    int id = 0;
    if (too_long(variable) || !symbols->find_then_get(&id, "%s", variable))
        return call_error("%s %s : undeclared identifier '%s'", name(), operation, variable);
    IdentInfo* info = prg->get_ident_info(id);
    if (info == nullptr)
        return call_error("%s %s : unexpected identifier '%s'", name(), operation, variable);
    if (info->ident_mode() != OUTPUT_m && info->ident_mode() != LOCAL_m)
        return call_error("%s %s : identifier '%s' is not output or local", name(), operation,
                          variable);
    Exp* e = expression_of(parameters[1]);
    if (e == nullptr) return call_error("%s %s : %s", name(), operation, prg->error_msg());
    // A variable declared with an undeclared type name has no type: it never
    // matches, and its side of the message reads "<unamed-type>".
    EcType* var_type = info->type();
    EcType* exp_type = prg->type(e);
    if (var_type == nullptr || var_type != exp_type)
        return call_error("%s %s : bad type combination '%s = %s'", name(), operation,
                          type_name(var_type, UNNAMED), type_name(exp_type, UNNAMED));
    const char* handle = exp2string(e);
    if (Verbose() >= 2) {
        Verbose(2, "=> %s %s %s = (", operation, variable, handle);
        print_traced(prg, e);
        Verbose(2, ") : %s\n", type_name(var_type, UNNAMED));
    }
    return set_result(handle);
}

int EcPrgVar::exp_type(const Operation& op, int, const char** parameters) {
    const char* operation = op.name;
    Exp* e = expression_of(parameters[0]);
    if (e == nullptr) return call_error("%s %s : %s", name(), operation, prg->error_msg());
    const char* result = type_name(prg->type(e), UNNAMED);
    if (Verbose() >= 2) {
        Verbose(2, "=> %s %s : %s = (", operation, parameters[0], result);
        print_traced(prg, e);
    }
    return set_result(result);
}
