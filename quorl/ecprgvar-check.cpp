// The check operation: the program's diagnostics as a list of dicts.
#include <climits>
#include <utility>
#include <vector>

#include "corvel/symbols.h"
#include "quorl/check.h"
#include "quorl/ecprg.h"
#include "quorl/ecprgvar.h"
#include "quorl/options.h"
#include "quorl/quorl.h"

// check ?-max N? ?-warnings 0|1?: a limit below 1 would return the empty
// list, which says "well formed", so it is refused.
int EcPrgVar::check(const Operation& op, int count, const char** parameters) {
    static const std::vector<OptionRule> options = {{"-max", true, false},
                                                    {"-warnings", true, false}};
    OptionWords given = read_options(options, count, parameters, true);
    long max_errors = -1, warnings = 1;  // no limit, warnings
    if (given.status != OptionWords::OK || !option_integer(given, 0, 1, LONG_MAX, &max_errors) ||
        !option_integer(given, 1, 0, 1, &warnings))
        return usage_error(op);
    std::vector<Diagnostic> found = check_program(prg, warnings != 0, max_errors);
    // The keys and the fixed words are shared by every dict.
    Tcl_Obj* keys[6];
    const char* names[6] = {"severity", "line", "column", "code", "subject", "message"};
    for (int k = 0; k < 6; ++k) keys[k] = Tcl_NewStringObj(names[k], -1);
    Tcl_Obj* error = Tcl_NewStringObj("error", -1);
    Tcl_Obj* warning = Tcl_NewStringObj("warning", -1);
    // The codes are literals of the checker: one object each, found by address.
    std::vector<std::pair<const char*, Tcl_Obj*>> codes;
    auto code_obj = [&codes](const char* code) {
        for (const auto& c : codes)
            if (c.first == code) return c.second;
        Tcl_Obj* o = Tcl_NewStringObj(code, -1);
        Tcl_IncrRefCount(o);
        codes.emplace_back(code, o);
        return o;
    };
    Tcl_Obj* result = Tcl_NewListObj(0, nullptr);
    size_t line = 0;  // the diagnostics come in source order
    for (const Diagnostic& d : found) {
        SourcePos at = prg->source().at(d.pos, &line);
        const char* subject = d.subject ? (*symbols)[d.subject] : "";
        Tcl_Obj* items[12] = {keys[0], d.error ? error : warning,
                              keys[1], Tcl_NewIntObj(at.line),
                              keys[2], Tcl_NewIntObj(at.column),
                              keys[3], code_obj(d.code),
                              keys[4], Tcl_NewStringObj(subject ? subject : "", -1),
                              keys[5], Tcl_NewStringObj(d.message.data(), (int)d.message.size())};
        Tcl_ListObjAppendElement(nullptr, result, Tcl_NewListObj(12, items));
    }
    // Objects no dict took are freed with their last reference.
    for (Tcl_Obj* o : {keys[0], keys[1], keys[2], keys[3], keys[4], keys[5], error, warning}) {
        Tcl_IncrRefCount(o);
        Tcl_DecrRefCount(o);
    }
    for (const auto& c : codes) Tcl_DecrRefCount(c.second);
    Tcl_SetObjResult(owner->interp, result);
    return TCL_OK;
}
