// Program-object operations that hand the program to scripts as Tcl data:
// vars, var, types, funcs, asserts, deps, uses.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "corvel/pty.h"
#include "corvel/symbols.h"
#include "quorl/depgraph.h"
#include "quorl/ecprg.h"
#include "quorl/ecprgvar.h"
#include "quorl/options.h"
#include "quorl/quorl.h"
#include "quorl/typing.h"

namespace {

Tcl_Obj* text_obj(const std::string& s) { return Tcl_NewStringObj(s.data(), (int)s.size()); }
Tcl_Obj* text_obj(const char* s) { return Tcl_NewStringObj(s, -1); }

// Appends key and value to a dict being built as a list.
void put_pair(Tcl_Obj* dict, const char* key, Tcl_Obj* value) {
    Tcl_ListObjAppendElement(nullptr, dict, text_obj(key));
    Tcl_ListObjAppendElement(nullptr, dict, value);
}

const char* kind_of(IdentMode mode) {
    switch (mode) {
        case INPUT_m: return "input";
        case OUTPUT_m: return "output";
        case LOCAL_m: return "local";
        case USR_CONST_m:
        case ENUM_CONST_m: return "const";
        default: return nullptr;
    }
}

// Whether the variable is one an equation defines (an output or a local).
bool has_equation(const IdentInfo* info) {
    return info->ident_mode() == OUTPUT_m || info->ident_mode() == LOCAL_m;
}

}  // namespace

// An expression as the dump writes it, on one line.
std::string EcPrgVar::expression_text(Exp* e) {
    char* buffer = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&buffer, &size);
    if (out == nullptr) throw std::bad_alloc();
    {
        PtyStream stream(out, 1 << 30, nullptr);  // closes out
        e->print_def(&stream, symbols);
    }
    std::string text(buffer ? buffer : "", size);
    free(buffer);
    return text;
}

// The record of the variable or constant the script names, or null after a
// call error naming it: KIND when the name stands for something else of the
// program (a type, a function, the node, a literal), else UNDECLARED.
IdentInfo* EcPrgVar::named_variable(const Operation& op, const char* text) {
    int id = 0;
    IdentInfo* info = nullptr;
    bool known = strlen(text) <= (size_t)SymbolTable::kMaxName &&
                 symbols->find_then_get(&id, "%s", text);
    if (known) info = prg->get_ident_info(id);
    if (!info || !kind_of(info->ident_mode())) {
        bool other = known && (info || prg->find_named_type(id) || prg->get_func_info(id) ||
                               id == prg->name());
        call_error({other ? "KIND" : "UNDECLARED", text}, "%s %s : no variable or constant '%s'",
                   name(), op.name, text);
        return nullptr;
    }
    return info;
}

// vars ?-kind input|output|local|const?
int EcPrgVar::vars(const Operation& op, int count, const char** parameters) {
    const IdList* lists[] = {&prg->inputs(), &prg->outputs(), &prg->locals(), &prg->usr_consts()};
    const char* kinds[] = {"input", "output", "local", "const"};
    static const std::vector<OptionRule> options = {{"-kind", true, true}};
    OptionWords given = read_options(options, count, parameters, true);
    if (given.status != OptionWords::OK) return usage_error(op);
    int first = 0, last = 3;
    if (given.given(0)) {
        first = -1;
        for (int k = 0; k < 4; ++k)
            if (strcmp(given.value[0], kinds[k]) == 0) first = last = k;
        if (first < 0) return usage_error(op);
    }
    Tcl_Obj* result = Tcl_NewListObj(0, nullptr);
    for (int k = first; k <= last; ++k)
        for (IntList* l = lists[k]->list(); l; l = l->tail())
            Tcl_ListObjAppendElement(nullptr, result, text_obj((*symbols)[l->head()]));
    Tcl_SetObjResult(owner->interp, result);
    return TCL_OK;
}

int EcPrgVar::var(const Operation& op, int, const char** parameters) {
    IdentInfo* info = named_variable(op, parameters[0]);
    if (!info) return TCL_ERROR;
    Tcl_Obj* dict = Tcl_NewListObj(0, nullptr);
    put_pair(dict, "kind", text_obj(kind_of(info->ident_mode())));
    put_pair(dict, "type", text_obj(type_text(prg, info->type())));
    int clock = info->clock();
    put_pair(dict, "clock",
             text_obj(clock > 0 && clock != prg->base_clock() ? (*symbols)[clock] : ""));
    Exp* rhs = has_equation(info) ? info->right_side() : nullptr;
    put_pair(dict, "equation", text_obj(rhs ? expression_text(rhs) : ""));
    Tcl_Obj* tuple = Tcl_NewListObj(0, nullptr);
    for (IntList* m = has_equation(info) ? info->tuple_members() : nullptr; m; m = m->tail())
        Tcl_ListObjAppendElement(nullptr, tuple, text_obj((*symbols)[m->head()]));
    put_pair(dict, "tuple", tuple);
    put_pair(dict, "line", Tcl_NewIntObj(prg->source().at(info->pos()).line));
    Tcl_SetObjResult(owner->interp, dict);
    return TCL_OK;
}

int EcPrgVar::types(const Operation&, int, const char**) {
    Tcl_Obj* result = Tcl_NewListObj(0, nullptr);
    for (IntList* l = prg->declared_types().list(); l; l = l->tail()) {
        EcType* t = prg->find_named_type(l->head());
        Tcl_Obj* dict = Tcl_NewListObj(0, nullptr);
        put_pair(dict, "name", text_obj((*symbols)[l->head()]));
        put_pair(dict, "kind", text_obj(t && t->enum_count() > 0 ? "enum" : "extern"));
        Tcl_Obj* values = Tcl_NewListObj(0, nullptr);
        for (int i = t ? t->enum_count() - 1 : -1; i >= 0; --i)  // the array is last first
            if (IdentInfo* value = t->enum_const(i))
                Tcl_ListObjAppendElement(nullptr, values, text_obj((*symbols)[value->ident()]));
        put_pair(dict, "values", values);
        Tcl_ListObjAppendElement(nullptr, result, dict);
    }
    Tcl_SetObjResult(owner->interp, result);
    return TCL_OK;
}

// Parameters as {name type} pairs; made-up names (x1, ... y1, ...) for a
// function declared with types alone, as the ec text writes them.
Tcl_Obj* EcPrgVar::params(IntList* names, EcType* type, const char* made_up) {
    Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
    auto add = [&](const std::string& n, const char* t) {
        Tcl_Obj* pair[2] = {text_obj(n), text_obj(t)};
        Tcl_ListObjAppendElement(nullptr, list, Tcl_NewListObj(2, pair));
    };
    if (names) {
        for (IntList* l = names; l && l->tail(); l = l->tail()->tail())
            add((*symbols)[l->head()], (*symbols)[l->tail()->head()]);
    } else if (type && type->is_named()) {
        add(std::string(made_up) + "1", (*symbols)[type->name()]);
    } else if (type) {
        int i = 0;
        for (IntList* l = type->name_list(); l; l = l->tail())
            add(made_up + std::to_string(++i), (*symbols)[l->head()]);
    }
    return list;
}

int EcPrgVar::funcs(const Operation&, int, const char**) {
    Tcl_Obj* result = Tcl_NewListObj(0, nullptr);
    for (const IdList* list : {&prg->usr_funcs(), &prg->tuple_funcs()}) {
        for (IntList* l = list->list(); l; l = l->tail()) {
            FuncInfo* f = prg->get_func_info(l->head());
            if (!f) continue;
            Tcl_Obj* dict = Tcl_NewListObj(0, nullptr);
            put_pair(dict, "name", text_obj((*symbols)[l->head()]));
            put_pair(dict, "inputs", params(f->inputs(), f->inputs_type(), "x"));
            put_pair(dict, "outputs", params(f->outputs(), f->outputs_type(), "y"));
            Tcl_ListObjAppendElement(nullptr, result, dict);
        }
    }
    Tcl_SetObjResult(owner->interp, result);
    return TCL_OK;
}

int EcPrgVar::asserts(const Operation&, int, const char**) {
    Tcl_Obj* result = Tcl_NewListObj(0, nullptr);
    for (IntList* l = prg->assertions().list(); l; l = l->tail()) {
        IdentInfo* info = prg->get_ident_info(l->head());
        if (info && info->ec_def())
            Tcl_ListObjAppendElement(nullptr, result, text_obj(expression_text(info->ec_def())));
    }
    Tcl_SetObjResult(owner->interp, result);
    return TCL_OK;
}

// deps var: the variables and constants its equation reads, in order of
// first use, each once.
int EcPrgVar::deps(const Operation& op, int, const char** parameters) {
    IdentInfo* info = named_variable(op, parameters[0]);
    if (!info) return TCL_ERROR;
    std::unordered_set<int> seen;
    Tcl_Obj* result = Tcl_NewListObj(0, nullptr);
    for_each_read(has_equation(info) ? info->right_side() : nullptr, [&](int id, bool) {
        IdentInfo* read = prg->get_ident_info(id);
        if (read && kind_of(read->ident_mode()) && seen.insert(id).second)
            Tcl_ListObjAppendElement(nullptr, result, text_obj((*symbols)[id]));
    });
    Tcl_SetObjResult(owner->interp, result);
    return TCL_OK;
}

// uses var: the outputs and locals whose equations read it, in declaration
// order; a variable declared twice is listed once.
int EcPrgVar::uses(const Operation& op, int, const char** parameters) {
    IdentInfo* target = named_variable(op, parameters[0]);
    if (!target) return TCL_ERROR;
    Tcl_Obj* result = Tcl_NewListObj(0, nullptr);
    std::unordered_set<int> listed;
    for (const IdList* list : {&prg->outputs(), &prg->locals()}) {
        for (IntList* l = list->list(); l; l = l->tail()) {
            IdentInfo* info = prg->get_ident_info(l->head());
            bool reads = false;
            for_each_read(info ? info->right_side() : nullptr,
                          [&](int id, bool) { reads = reads || id == target->ident(); });
            if (reads && listed.insert(l->head()).second)
                Tcl_ListObjAppendElement(nullptr, result, text_obj((*symbols)[l->head()]));
        }
    }
    Tcl_SetObjResult(owner->interp, result);
    return TCL_OK;
}
