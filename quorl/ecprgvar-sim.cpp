// The `sim' operation: its subcommands, and those that build the engine,
// bind functions and constants, step, and read the current instant.
#include "quorl/ecprgvar-sim.h"

#include <cstring>

#include "corvel/symbols.h"
#include "quorl/check.h"
#include "quorl/ecprg.h"
#include "quorl/quorl.h"
#include "quorl/reader.h"

namespace {

struct SubCommand {
    const char* name;
    int (*handler)(SimCall&);
};

const SubCommand SUBCOMMANDS[] = {
    {"reset", sim_reset},     {"bind", sim_bind},   {"step", sim_step},
    {"run", sim_run},         {"instant", sim_instant}, {"violations", sim_violations},
    {"value", sim_value},     {"eval", sim_eval},   {"trace", sim_trace},
    {"history", sim_history},
};

const char RESET_USAGE[] =
    "?-overflow wrap|error? ?-assertions error|warn|ignore? ?-history N? ?-record all|NAMES?";

}  // namespace

Bindings::~Bindings() {
    for (auto& f : functions) Tcl_DecrRefCount(f.second);
}

int EcPrgVar::sim(const Operation& op, int count, const char** parameters) {
    for (const SubCommand& s : SUBCOMMANDS)
        if (strcmp(parameters[0], s.name) == 0) {
            SimCall call(this, s.name, count - 1, parameters + 1);
            return s.handler(call);
        }
    return call_error({"USAGE"}, "%s %s : unknown subcommand '%s': must be reset, bind, step, run, "
                                 "instant, violations, value, eval, trace or history",
                      name(), op.name, parameters[0]);
}

// ------------------------------------------------------------------ shared

int SimCall::error(const ErrorWords& code, const std::string& message) {
    return obj->call_error(code, "%s sim %s : %s", obj->name(), sub, message.c_str());
}

int SimCall::usage(const char* text) {
    return obj->call_error({"USAGE"}, "usage: %s sim %s %s", obj->name(), sub, text);
}

bool SimCall::options(const std::vector<OptionRule>& table, const char* text, OptionWords* out,
                      bool strict) {
    *out = read_options(table, count, args, strict);
    if (out->status == OptionWords::OK) return true;
    obj->call_error({"USAGE"}, "%s sim %s : %s\nusage: %s sim %s %s", obj->name(), sub,
                    option_error(table, *out).c_str(), obj->name(), sub, text);
    return false;
}

bool SimCall::count_of(const char* option, const char* text, long long* out) {
    char* end = nullptr;
    *out = strtoll(text, &end, 10);
    if (end != text && *end == '\0' && *out >= 0) return true;
    error({"USAGE"}, std::string(option) + " wants a count, not '" + text + "'");
    return false;
}

Simulation& SimCall::simulation() {
    if (!obj->simulation) obj->simulation.reset(new Simulation);
    return *obj->simulation;
}

int SimCall::symbol(const char* name) const {
    int id = 0;
    if (strlen(name) > (size_t)SymbolTable::kMaxName) return 0;
    return obj->symbols->find_then_get(&id, "%s", name) ? id : 0;
}

int SimCall::variable(const Engine& engine, const char* name, bool recorded) {
    int id = symbol(name);
    int index = id ? engine.var_index(id) : -1;
    if (index < 0) {
        error({"UNDECLARED", name}, std::string("no variable '") + name + "'");
        return -1;
    }
    if (recorded && engine.history().column_of((uint32_t)index) < 0) {
        error({"UNRECORDED", name},
              std::string("'") + name + "' is not recorded (sim reset -record)");
        return -1;
    }
    return index;
}

Tcl_Obj* SimCall::value_obj(Engine& engine, const SimType& type, Val v) const {
    std::string text = engine.codec().write(type, v);
    return Tcl_NewStringObj(text.data(), (int)text.size());
}

std::shared_ptr<Engine> SimCall::engine(bool build) {
    Simulation& s = simulation();
    if (!s.engine && build && reset(EngineOptions()) != TCL_OK) return nullptr;
    if (!s.engine) {
        error({"NORUN"}, "no run: sim reset first");
        return nullptr;
    }
    if (s.revision != obj->prg->revision()) {
        error({"CHANGED"}, "the program changed since sim reset: reset again");
        return nullptr;
    }
    return s.engine;
}

// Only a program that check finds well formed runs.
int SimCall::reset(const EngineOptions& options) {
    EcPrg* prg = obj->prg;
    std::vector<Diagnostic> found = check_program(prg, false, 1);
    if (!found.empty()) {
        const Diagnostic& d = found[0];
        SourcePos at = prg->source().at(d.pos);
        return error({"CHECK", std::to_string(at.line), std::to_string(at.column), d.code,
                      d.message},
                     "the program is not well formed: line " + std::to_string(at.line) +
                         ", column " + std::to_string(at.column) + ": " + d.message);
    }
    Simulation& s = simulation();
    std::unordered_set<int> functions;
    for (const auto& f : s.bindings->functions) functions.insert(f.first);
    CompileError fault;
    std::unique_ptr<Engine> built =
        Engine::build(prg, options, s.bindings->constants, functions, &fault);
    if (!built) return error(fault.code, fault.message);
    if (s.engine) s.engine->abandon();
    s.engine = std::move(built);
    s.revision = prg->revision();
    return TCL_OK;
}

int SimCall::step_error(const Engine& engine, const StepFailure& f) {
    const EcPrg* prg = engine.program();
    std::string step = std::to_string(f.step);
    std::string variable = f.variable ? prg->symbol(f.variable) : "";
    switch (f.fault) {
        case RUN_BUSY: return error({"BUSY"}, f.reason);
        case RUN_ASSERT:
            return error({"ASSERT", step, std::to_string(f.detail)},
                         "step " + step + ": " + f.reason);
        case RUN_NO_INPUT:
            return error({"INPUT", variable, "no value"}, "step " + step + ": " + f.reason);
        default:
            return error({"RUNTIME", step, variable, f.reason},
                         "step " + step + (variable.empty() ? "" : ": '" + variable + "'") + ": " +
                             f.reason);
    }
}

// ------------------------------------------------------------------ reset, bind

int sim_reset(SimCall& c) {
    static const std::vector<OptionRule> table = {{"-overflow", true, true},
                                                  {"-assertions", true, true},
                                                  {"-history", true, true},
                                                  {"-record", true, true}};
    OptionWords w;
    if (!c.options(table, RESET_USAGE, &w)) return TCL_ERROR;
    EngineOptions options;
    if (w.given(0)) {
        std::string o = w.value[0];
        if (o != "wrap" && o != "error") return c.usage(RESET_USAGE);
        options.compile.overflow_error = o == "error";
    }
    if (w.given(1)) {
        std::string a = w.value[1];
        if (a == "error")
            options.compile.assertions = AssertMode::ERROR;
        else if (a == "warn")
            options.compile.assertions = AssertMode::WARN;
        else if (a == "ignore")
            options.compile.assertions = AssertMode::IGNORE;
        else
            return c.usage(RESET_USAGE);
    }
    if (w.given(2)) {
        long long n = 0;
        if (!c.count_of("-history", w.value[2], &n)) return TCL_ERROR;
        options.history = (size_t)n;
    }
    if (w.given(3)) {
        if (strcmp(w.value[3], "all") == 0) {
            options.record_all = true;
        } else {
            SplitList list;
            if (!list.split(c.obj->owner->interp, w.value[3])) return c.usage(RESET_USAGE);
            const char** names = list.items;
            for (int k = 0; k < list.count; ++k) {
                int id = c.symbol(names[k]);
                IdentInfo* info = id ? c.obj->prg->get_ident_info(id) : nullptr;
                IdentMode m = info ? info->ident_mode() : USR_CONST_m;
                if (m != INPUT_m && m != OUTPUT_m && m != LOCAL_m)
                    return c.error({"UNDECLARED", names[k]},
                                   std::string("no variable '") + names[k] + "'");
                options.record.push_back(id);
            }
        }
    }
    return c.reset(options);
}

// sim bind NAME ?COMMAND-OR-VALUE?
int sim_bind(SimCall& c) {
    if (c.count < 1 || c.count > 2) return c.usage("NAME ?COMMAND-OR-VALUE?");
    const char* name = c.args[0];
    EcPrg* prg = c.obj->prg;
    int id = c.symbol(name);
    IdentInfo* info = id ? prg->get_ident_info(id) : nullptr;
    bool function = id && prg->get_func_info(id);
    bool constant = info && info->ident_mode() == USR_CONST_m;
    if (!function && !constant)
        return c.error({id ? "KIND" : "UNDECLARED", name},
                       std::string("'") + name + "' is neither an external function nor a constant");
    Bindings& b = *c.simulation().bindings;
    Tcl_Interp* interp = c.obj->owner->interp;
    if (c.count == 1) {
        if (function && b.functions.count(id)) {
            Tcl_SetObjResult(interp, b.functions[id]);
            return TCL_OK;
        }
        if (constant && b.constants.count(id)) {
            const std::string& v = b.constants[id];
            Tcl_SetObjResult(interp, Tcl_NewStringObj(v.data(), (int)v.size()));
            return TCL_OK;
        }
        return c.error({"UNBOUND", name}, std::string("'") + name + "' is not bound");
    }
    const char* given = c.args[1];
    if (function) {
        Tcl_Obj* command = Tcl_NewStringObj(given, -1);
        int words = 0;
        Tcl_IncrRefCount(command);
        if (Tcl_ListObjLength(nullptr, command, &words) != TCL_OK || words == 0) {
            Tcl_DecrRefCount(command);
            return c.error({"VALUE", name, "not a command"},
                           std::string("the command of '") + name + "' is not a command prefix");
        }
        auto& slot = b.functions[id];
        if (slot) Tcl_DecrRefCount(slot);
        slot = command;
    } else {
        ValueCodec codec(prg);
        const SimType* t = codec.type_of(info->type());
        std::string why;
        Val v{};
        if (!t || !codec.read(*t, given, &v, &why))
            return c.error({"VALUE", name, why}, std::string("constant '") + name + "': " + why);
        b.constants[id] = given;
    }
    return TCL_OK;
}

// ------------------------------------------------------------------ step

// sim step ?-locals? ?INPUTS?
int sim_step(SimCall& c) {
    static const std::vector<OptionRule> table = {{"-locals", false, true}};
    const char* usage = "?-locals? ?INPUTS?";
    OptionWords w;
    if (!c.options(table, usage, &w, false)) return TCL_ERROR;
    if (w.positional.size() > 1) return c.usage(usage);
    std::shared_ptr<Engine> engine = c.engine(true);
    if (!engine) return TCL_ERROR;
    Tcl_Interp* interp = c.obj->owner->interp;
    const Code& code = engine->code();
    StepInputs in;
    in.clear(code.inputs.size());
    if (!w.positional.empty()) {
        Tcl_Obj* dict = Tcl_NewStringObj(w.positional[0], -1);
        Tcl_IncrRefCount(dict);
        std::unique_ptr<Tcl_Obj, void (*)(Tcl_Obj*)> hold(dict, [](Tcl_Obj* o) { Tcl_DecrRefCount(o); });
        int n = 0;
        Tcl_Obj** items = nullptr;
        if (Tcl_ListObjGetElements(nullptr, dict, &n, &items) != TCL_OK || n % 2 != 0)
            return c.error({"INPUT", "", "not a dict"}, "the inputs are not a dict");
        for (int k = 0; k < n; k += 2) {
            const char* name = Tcl_GetString(items[k]);
            int id = c.symbol(name);
            int index = id ? engine->var_index(id) : -1;
            IdentInfo* info = id ? c.obj->prg->get_ident_info(id) : nullptr;
            if (index < 0 || info->ident_mode() != INPUT_m)
                return c.error({"INPUT", name, "not an input"},
                               std::string("'") + name + "' is not an input");
            uint32_t place = (uint32_t)info->index_in_list();
            std::string why;
            if (!engine->codec().read(engine->type_of((uint32_t)index), Tcl_GetString(items[k + 1]),
                                      &in.value[place], &why))
                return c.error({"INPUT", name, why},
                               std::string("input '") + name + "': " + why);
            in.given[place] = 1;
        }
    }
    TclFunctions functions(interp, c.simulation().bindings);
    engine->set_functions(&functions);
    StepFailure failure;
    bool ok = engine->step(in, &failure);
    engine->set_functions(nullptr);
    if (!ok) return c.step_error(*engine, failure);
    // The outputs (and the locals), present ones only, in declaration order.
    Tcl_Obj* result = Tcl_NewListObj(0, nullptr);
    size_t first = (size_t)c.obj->prg->nb_inputs();
    size_t last = w.given(0) ? code.vars.size() : first + (size_t)c.obj->prg->nb_outputs();
    for (size_t k = first; k < last; ++k) {
        Val v{};
        int state = engine->value((uint32_t)k, &v);
        if (state == ABSENT) continue;
        Tcl_ListObjAppendElement(nullptr, result,
                                 Tcl_NewStringObj(c.obj->prg->symbol(code.vars[k].symbol), -1));
        Tcl_ListObjAppendElement(nullptr, result,
                                 state == NIL ? Tcl_NewObj() : c.value_obj(*engine, engine->type_of((uint32_t)k), v));
    }
    Tcl_SetObjResult(interp, result);
    return TCL_OK;
}

// ------------------------------------------------------------------ the current instant

int sim_instant(SimCall& c) {
    if (c.count != 0) return c.usage("");
    Simulation& s = c.simulation();
    Tcl_SetObjResult(c.obj->owner->interp,
                     Tcl_NewWideIntObj(s.engine ? (Tcl_WideInt)s.engine->instant() : 0));
    return TCL_OK;
}

int sim_violations(SimCall& c) {
    if (c.count != 0) return c.usage("");
    Simulation& s = c.simulation();
    Tcl_Obj* result = Tcl_NewListObj(0, nullptr);
    if (s.engine)
        for (const auto& v : s.engine->violations()) {
            Tcl_Obj* pair[2] = {Tcl_NewWideIntObj((Tcl_WideInt)v.first), Tcl_NewIntObj((int)v.second)};
            Tcl_ListObjAppendElement(nullptr, result, Tcl_NewListObj(2, pair));
        }
    Tcl_SetObjResult(c.obj->owner->interp, result);
    return TCL_OK;
}

int sim_value(SimCall& c) {
    if (c.count != 1) return c.usage("NAME");
    std::shared_ptr<Engine> engine = c.engine(false);
    if (!engine) return TCL_ERROR;
    const char* name = c.args[0];
    int index = c.variable(*engine, name, false);
    if (index < 0) return TCL_ERROR;
    Val v{};
    int state = engine->value((uint32_t)index, &v);
    if (state == ABSENT)
        return c.error({"ABSENT", name},
                       engine->instant() == 0
                           ? std::string("no step made yet")
                           : std::string("'") + name + "' is absent at step " +
                                 std::to_string(engine->instant()));
    Tcl_SetObjResult(c.obj->owner->interp,
                     state == NIL ? Tcl_NewObj()
                                  : c.value_obj(*engine, engine->type_of((uint32_t)index), v));
    return TCL_OK;
}

// An expression read and compiled for the current instants of `engine':
// the nodes it added to the program are taken back at once.
static bool probe_of(SimCall& c, Engine& engine, const char* text, Engine::Probe* probe) {
    EcPrg* prg = c.obj->prg;
    EcPrgMark mark = prg->mark();
    Exp* e = exp_parse(prg, text);
    if (!e) {
        ErrorWords code = prg->error_code();
        if (code.empty()) code = {"EXPRESSION"};
        c.error(code, prg->error_msg());
        return false;
    }
    CompileError fault;
    bool ok = engine.compile_probe(e, probe, &fault);
    prg->rollback(mark);
    if (!ok) c.error(fault.code, fault.message);
    return ok;
}

int sim_eval(SimCall& c) {
    if (c.count != 1) return c.usage("EXPRESSION");
    std::shared_ptr<Engine> engine = c.engine(false);
    if (!engine) return TCL_ERROR;
    if (engine->instant() == 0) return c.error({"ABSENT", ""}, "no step made yet");
    Engine::Probe probe;
    if (!probe_of(c, *engine, c.args[0], &probe)) return TCL_ERROR;
    TclFunctions functions(c.obj->owner->interp, c.simulation().bindings);
    engine->set_functions(&functions);
    Val v{};
    StepFailure failure;
    int state = engine->evaluate(probe, &v, &failure);
    engine->set_functions(nullptr);
    if (state < 0) return c.step_error(*engine, failure);
    Tcl_SetObjResult(c.obj->owner->interp,
                     state == 1 ? Tcl_NewObj() : c.value_obj(*engine, *probe.type, v));
    return TCL_OK;
}

// ------------------------------------------------------------------ Tcl functions

bool TclFunctions::call(int function, const std::vector<std::string>& args, size_t expected,
                        std::vector<std::string>* results, std::string* why) {
    auto it = _bindings->functions.find(function);
    if (it == _bindings->functions.end()) {
        *why = "no command";
        return false;
    }
    Tcl_Obj* command = Tcl_DuplicateObj(it->second);
    Tcl_IncrRefCount(command);
    for (const std::string& a : args)
        Tcl_ListObjAppendElement(nullptr, command, Tcl_NewStringObj(a.data(), (int)a.size()));
    Tcl_Preserve(_interp);
    int code = Tcl_EvalObjEx(_interp, command, TCL_EVAL_GLOBAL);
    Tcl_DecrRefCount(command);
    Tcl_Obj* out = Tcl_GetObjResult(_interp);
    Tcl_IncrRefCount(out);
    bool ok = code == TCL_OK || code == TCL_RETURN;
    if (!ok) {
        *why = Tcl_GetString(out);
    } else if (expected == 1) {  // one result is the whole text, several a list
        results->assign(1, Tcl_GetString(out));
    } else {
        int n = 0;
        Tcl_Obj** items = nullptr;
        if (Tcl_ListObjGetElements(nullptr, out, &n, &items) != TCL_OK) {
            ok = false;
            *why = "its result is not a list";
        }
        for (int k = 0; ok && k < n; ++k) results->push_back(Tcl_GetString(items[k]));
    }
    Tcl_DecrRefCount(out);
    Tcl_ResetResult(_interp);
    Tcl_Release(_interp);
    return ok;
}
