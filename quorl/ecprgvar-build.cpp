// Program-object operations that extend the program or work on expressions:
// add-in, add-out, add-loc, add-type, add-const, func-decl, add-func, exp,
// eq, exp-type, define, assert; and the expression handles and generated
// identifiers they hand out.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "corvel/errors.h"
#include "corvel/intlist.h"
#include "corvel/symbols.h"
#include "quorl/ecprg.h"
#include "quorl/ecprgvar.h"
#include "quorl/options.h"
#include "quorl/lexer.h"
#include "quorl/quorl.h"
#include "quorl/reader.h"
#include "quorl/typing.h"

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
    if (!exp_table) exp_table = new SymbolTable();
    return (*exp_table)[exp_table->add("_exp%lX",
                                       static_cast<unsigned long>(reinterpret_cast<uintptr_t>(e)))];
}

Exp* EcPrgVar::string2exp(const char* text) {
    if (strnlen(text, kHandleMax + 1) > kHandleMax) return nullptr;
    if (!exp_table || exp_table->find("%s", text) == 0) return nullptr;
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
    return prg->find_named_type(*type_id);
}

int EcPrgVar::unknown_type(const Operation& op, const char* text) {
    return call_error({"UNDECLARED", text}, "%s %s : unknown type '%s'", name(), op.name, text);
}

// TCL_OK when `text' may name something new: no longer than a token of the
// reader (a longer name could not be read back from the program's text),
// not interned yet, and an identifier of the ec language.
int EcPrgVar::check_new_name(const Operation& op, const char* text) {
    if (strnlen(text, LEX_MAX_TEXT + 1) > LEX_MAX_TEXT)
        return call_error({"LIMIT"}, "%s %s : identifier longer than %d characters", name(),
                          op.name, (int)LEX_MAX_TEXT);
    if (symbols->find("%s", text) != 0)
        return call_error({"EXISTS", text}, "%s %s : already used identifier '%s'", name(), op.name,
                          text);
    if (!is_ec_identifier(text))
        return call_error({"NAME", text},
                          "%s %s : '%s' is not an identifier: a letter or '_' followed by "
                          "letters, digits and '_', and not a keyword",
                          name(), op.name, text);
    return TCL_OK;
}

// An expression given as a handle of this object, or else as Lustre text.
Exp* EcPrgVar::expression_of(const char* text) {
    Exp* e = string2exp(text);
    return e ? e : exp_parse(prg, text);
}

// The call error of an expression that did not read or type: the program's
// message, and its code.
int EcPrgVar::expression_error(const Operation& op) {
    ErrorWords code = prg->error_code();
    if (code.empty()) code = {"EXPRESSION"};
    return call_error(code, "%s %s : %s", name(), op.name, prg->error_msg());
}

// The record of an output or local the script names, or null after the
// call error of eq.
IdentInfo* EcPrgVar::definable(const Operation& op, const char* variable) {
    int id = 0;
    if (too_long(variable) || !symbols->find_then_get(&id, "%s", variable)) {
        call_error({"UNDECLARED", variable}, "%s %s : undeclared identifier '%s'", name(), op.name,
                   variable);
        return nullptr;
    }
    IdentInfo* info = prg->get_ident_info(id);
    if (info == nullptr) {
        call_error({"KIND", variable}, "%s %s : unexpected identifier '%s'", name(), op.name,
                   variable);
        return nullptr;
    }
    if (info->ident_mode() != OUTPUT_m && info->ident_mode() != LOCAL_m) {
        call_error({"KIND", variable}, "%s %s : identifier '%s' is not output or local", name(),
                   op.name, variable);
        return nullptr;
    }
    return info;
}

// Prints an expression on standard output, between two level-2 traces.
static void print_traced(EcPrg* prg, Exp* e) {
    if (stdout_closed()) return;
    fflush(stderr);
    prg->print_exp(e);
    fflush(stdout);
}

// --------------------------------------------------------------- declarations

int EcPrgVar::addvar(const Operation& op, int count, const char** parameters) {
    int type_id = 0;
    EcType* type = named_type(parameters[0], &type_id);
    if (type == nullptr) return unknown_type(op, parameters[0]);
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
    Verbose(2, "=> %s %s : %s\n", op.name, result, parameters[0]);
    return set_result(result);
}

// add-type name ?value ...?: an external type, or an enumeration.
int EcPrgVar::addtype(const Operation& op, int count, const char** parameters) {
    for (int i = 0; i < count; ++i) {
        if (check_new_name(op, parameters[i]) != TCL_OK) return TCL_ERROR;
        for (int j = 0; j < i; ++j)
            if (strcmp(parameters[i], parameters[j]) == 0)
                return call_error({"EXISTS", parameters[i]}, "%s %s : already used identifier '%s'",
                                  name(), op.name, parameters[i]);
    }
    std::vector<int> ids((size_t)count);
    for (int i = 0; i < count; ++i) ids[(size_t)i] = symbols->add("%s", parameters[i]);
    if (count == 1)
        prg->add_usr_type(ids[0]);
    else
        prg->add_usr_type(ids[0], ids.data() + 1, count - 1);
    return set_result((*symbols)[ids[0]]);
}

int EcPrgVar::addconst(const Operation& op, int, const char** parameters) {
    int type_id = 0;
    EcType* type = named_type(parameters[0], &type_id);
    if (type == nullptr) return unknown_type(op, parameters[0]);
    if (check_new_name(op, parameters[1]) != TCL_OK) return TCL_ERROR;
    int id = symbols->add("%s", parameters[1]);
    prg->add_usr_const(id, type, prg->base_clock());
    return set_result((*symbols)[id]);
}

// --------------------------------------------------------------- functions

// "name in-types : out-types", each step of the text interned.
int EcPrgVar::funcdecl(const Operation& op, int, const char** parameters) {
    int index = 0, id = 0;
    bool fits = true;
    if (monatoi(parameters[0], &index, &fits) != 0) return usage_error(op);
    if (!fits) index = -1;  // out of range, not wrapped onto another index
    if (prg->usr_funcs().at(index, &id) != 0)
        return call_error({"RANGE"}, "%s %s : index out of bounds", name(), op.name);
    FuncInfo* info = prg->get_func_info(id);
    if (info == nullptr)
        return call_error({"UNDECLARED", (*symbols)[id]}, "%s %s : unknown function '%s'", name(),
                          op.name, (*symbols)[id]);

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
    const char* function = parameters[0];
    if (check_new_name(op, function) != TCL_OK) return TCL_ERROR;
    int id = symbols->add("%s", function);  // stays interned whatever follows

    std::vector<int> inputs, outputs;
    int i = 1;
    for (; i < count && strcmp(parameters[i], ":") != 0; ++i) {
        int type_id = 0;
        if (named_type(parameters[i], &type_id) == nullptr) return unknown_type(op, parameters[i]);
        inputs.push_back(type_id);
    }
    bool colon = i < count;
    for (++i; i < count; ++i) {
        int type_id = 0;
        if (named_type(parameters[i], &type_id) == nullptr) return unknown_type(op, parameters[i]);
        outputs.push_back(type_id);
    }
    if (!colon || inputs.empty() || outputs.empty()) return usage_error(op);
    if (outputs.size() > 1)
        return call_error({"UNSUPPORTED"}, "%s",
                          "Sorry, functions outputing tuples are not implemented");

    EcType* in_type = prg->define_type(inputs.data(), static_cast<int>(inputs.size()));
    EcType* out_type = prg->define_type(outputs.data(), static_cast<int>(outputs.size()));
    prg->add_usr_func(id, in_type, out_type, nullptr, nullptr);
    const char* result = (*symbols)[id];
    Verbose(2, "=> %s %s \n", op.name, result);
    return set_result(result);
}

// --------------------------------------------------------------- expressions

int EcPrgVar::build_exp(const Operation& op, int, const char** parameters) {
    Exp* e = exp_parse(prg, parameters[0]);  // always parsed: a handle is not accepted here
    if (e == nullptr) return expression_error(op);
    EcType* type = prg->type(e);
    const char* handle = exp2string(e);
    if (Verbose() >= 2) {
        Verbose(2, "=> %s %s: %s {", op.name, parameters[0], handle);
        print_traced(prg, e);
        Verbose(2, "} : %s\n", type_name(type, UNNAMED));
    }
    return set_result(handle);
}

// The expression of eq, define and assert typed against the type `want';
// null after the call error. A variable declared with an undeclared type
// name has no type: it never matches, and its side reads "<unamed-type>",
// as a tuple type does for eq (define and assert write tuples out).
Exp* EcPrgVar::typed_expression(const Operation& op, const char* text, EcType* want) {
    Exp* e = expression_of(text);
    if (e == nullptr) {
        expression_error(op);
        return nullptr;
    }
    EcType* got = prg->type(e);
    if (want != nullptr && want == got) return e;
    bool tuples = op.name != EQ;
    auto shown = [&](EcType* t) {
        return tuples && t ? type_text(prg, t) : std::string(type_name(t, UNNAMED));
    };
    call_error({"TYPE", type_text(prg, want), type_text(prg, got)},
               "%s %s : bad type combination '%s = %s'", name(), op.name, shown(want).c_str(),
               shown(got).c_str());
    return nullptr;
}

int EcPrgVar::equation(const Operation& op, int, const char** parameters) {
    const char* variable = parameters[0];
    IdentInfo* info = definable(op, variable);
    if (info == nullptr) return TCL_ERROR;
    Exp* e = typed_expression(op, parameters[1], info->type());
    if (e == nullptr) return TCL_ERROR;
    const char* handle = exp2string(e);
    if (Verbose() >= 2) {
        Verbose(2, "=> %s %s %s = (", op.name, variable, handle);
        print_traced(prg, e);
        Verbose(2, ") : %s\n", type_name(info->type(), UNNAMED));
    }
    return set_result(handle);
}

int EcPrgVar::exp_type(const Operation& op, int, const char** parameters) {
    Exp* e = expression_of(parameters[0]);
    if (e == nullptr) return expression_error(op);
    const char* result = type_name(prg->type(e), UNNAMED);
    if (Verbose() >= 2) {
        Verbose(2, "=> %s %s : %s = (", op.name, parameters[0], result);
        print_traced(prg, e);
    }
    return set_result(result);
}

// An equation's variables lose it; a tuple equation's every member does.
static void drop_equation(EcPrg* prg, IdentInfo* info) {
    IntList* members = info->tuple_linked();
    if (!members) {
        prg->define_variable(info->ident(), nullptr);
        return;
    }
    for (IntList* m = members; m; m = m->tail()) {
        IdentInfo* member = prg->get_ident_info(m->head());
        if (member && member->tuple_linked() == members) {
            prg->define_variable(member->ident(), nullptr);
            member->tuple_link(nullptr);
        }
    }
}

// define ?-replace? var|{var ...} expression: the equation of an output or
// local, or of the members of a tuple, as eq checks it.
int EcPrgVar::define(const Operation& op, int count, const char** parameters) {
    // The options stand before the last two words.
    static const std::vector<OptionRule> options = {{"-replace", false, true}};
    OptionWords given = read_options(options, count - 2, parameters, true);
    if (given.status != OptionWords::OK) return usage_error(op);
    bool replace = given.given(0);
    const char* names = parameters[count - 2];
    const char* text = parameters[count - 1];
    int n = 0;
    const char** words = nullptr;
    if (Tcl_SplitList(owner->interp, names, &n, &words) != TCL_OK) return usage_error(op);
    std::unique_ptr<const char*, void (*)(const char**)> words_owner(
        words, [](const char** w) { Tcl_Free(reinterpret_cast<char*>(w)); });
    if (n < 1) return usage_error(op);
    std::vector<IdentInfo*> vars;
    std::vector<int> type_names;
    for (int i = 0; i < n; ++i) {
        IdentInfo* info = definable(op, words[i]);
        if (info == nullptr) return TCL_ERROR;
        for (IdentInfo* other : vars)
            if (other == info)
                return call_error({"EXISTS", words[i]}, "%s %s : variable '%s' named twice", name(),
                                  op.name, words[i]);
        if (info->ec_def() && !replace)
            return call_error({"DEFINED", words[i]},
                              "%s %s : variable '%s' already has an equation", name(), op.name,
                              words[i]);
        vars.push_back(info);
        type_names.push_back(info->type() && info->type()->is_named() ? info->type()->name() : 0);
    }
    EcType* want = vars[0]->type();
    if (n > 1) {
        bool named = std::find(type_names.begin(), type_names.end(), 0) == type_names.end();
        want = named ? prg->define_type(type_names.data(), n) : nullptr;
    }
    Exp* e = typed_expression(op, text, want);
    if (e == nullptr) return TCL_ERROR;
    for (IdentInfo* info : vars) {
        if (info->ec_def()) drop_equation(prg, info);
        prg->source().forget_equation(info->ident());
    }
    if (n == 1) {
        prg->define_variable(vars[0]->ident(), e);
    } else {
        std::vector<int> ids;
        ids.reserve(vars.size());
        for (IdentInfo* info : vars) ids.push_back(info->ident());
        prg->define_tuple(prg->new_list(ids.data(), n), e);
    }
    return set_result(exp2string(e));
}

int EcPrgVar::assertion(const Operation& op, int, const char** parameters) {
    Exp* e = typed_expression(op, parameters[0], prg->bool_type());
    if (e == nullptr) return TCL_ERROR;
    prg->add_assertion(e);
    return set_result(exp2string(e));
}
