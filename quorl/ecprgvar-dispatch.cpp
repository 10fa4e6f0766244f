// The operations of a program object, one row each, and the dispatch that
// checks their parameter counts and the presence of a program before any
// handler runs.
#include <cstring>

#include "corvel/errors.h"
#include "quorl/ecprgvar.h"
#include "quorl/quorl.h"

char INIT[] = "init";
char LOAD[] = "load";
char LOADCH[] = "loadch";
char DUMP[] = "dump";
char PROFILE[] = "profile";
char NBINPUTS[] = "nb-ins";
char NBOUTPUTS[] = "nb-outs";
char NBLOCALS[] = "nb-locs";
char NBASSERTS[] = "nb-asts";
char NBFUNCS[] = "nb-funcs";
char INNAME[] = "in-name";
char OUTNAME[] = "out-name";
char LOCNAME[] = "loc-name";
char INTYPE[] = "in-type";
char OUTTYPE[] = "out-type";
char LOCTYPE[] = "loc-type";
char ADDIN[] = "add-in";
char ADDOUT[] = "add-out";
char ADDLOC[] = "add-loc";
char FUNCDECL[] = "func-decl";
char ADDFUNC[] = "add-func";
char EXP[] = "exp";
char EQ[] = "eq";
char EXPTYPE[] = "exp-type";

namespace {
const char NO_PARAMETER[] = "%s %s: no parameter expected";
const char INDEX_USAGE[] = "usage: %s %s <index>";
const char VAR_USAGE[] = "usage: %s %s <type-name> [<var-name>]";
const char EXP_USAGE[] = "usage: %s %s <lustre expression>";
const char NAME_USAGE[] = "usage: %s %s <name>";
using E = EcPrgVar;
}  // namespace

// Operations beyond the 24 of the help text.
char CHECK[] = "check";
char TEXT[] = "text";
char DEFINE[] = "define";
char ASSERT[] = "assert";
char ADDTYPE[] = "add-type";
char ADDCONST[] = "add-const";
char VARS[] = "vars";
char VAR[] = "var";
char TYPES[] = "types";
char FUNCS[] = "funcs";
char ASSERTS[] = "asserts";
char DEPS[] = "deps";
char USES[] = "uses";
char SIM[] = "sim";

const Operation OPERATIONS[] = {
    {INIT, &E::init, 0, 1, "usage: %s %s [<node-name>]", false, ON_PROGRAM},
    {LOAD, &E::load, 1, 1, "usage: %s %s <ec-file-name>", false, FROM_FILE},
    {LOADCH, &E::load, 1, 1, "usage: %s %s <ec-file-name>", false, FROM_CHANNEL},
    {DUMP, &E::dump, 0, 4, "usage: %s %s [<ec-file-name>]", true, ON_PROGRAM},
    {PROFILE, &E::profile, 0, 0, NO_PARAMETER, true, ON_PROGRAM},
    {NBINPUTS, &E::nbelts, 0, 0, NO_PARAMETER, true, ON_INPUTS},
    {NBOUTPUTS, &E::nbelts, 0, 0, NO_PARAMETER, true, ON_OUTPUTS},
    {NBLOCALS, &E::nbelts, 0, 0, NO_PARAMETER, true, ON_LOCALS},
    {NBASSERTS, &E::nbelts, 0, 0, NO_PARAMETER, true, ON_ASSERTS},
    {NBFUNCS, &E::nbelts, 0, 0, NO_PARAMETER, true, ON_FUNCS},
    {INNAME, &E::varname, 1, 1, INDEX_USAGE, true, ON_INPUTS},
    {OUTNAME, &E::varname, 1, 1, INDEX_USAGE, true, ON_OUTPUTS},
    {LOCNAME, &E::varname, 1, 1, INDEX_USAGE, true, ON_LOCALS},
    {INTYPE, &E::vartype, 1, 1, INDEX_USAGE, true, ON_INPUTS},
    {OUTTYPE, &E::vartype, 1, 1, INDEX_USAGE, true, ON_OUTPUTS},
    {LOCTYPE, &E::vartype, 1, 1, INDEX_USAGE, true, ON_LOCALS},
    {ADDIN, &E::addvar, 1, 2, VAR_USAGE, true, ON_INPUTS},
    {ADDOUT, &E::addvar, 1, 2, VAR_USAGE, true, ON_OUTPUTS},
    {ADDLOC, &E::addvar, 1, 2, VAR_USAGE, true, ON_LOCALS},
    {FUNCDECL, &E::funcdecl, 1, 1, INDEX_USAGE, true, ON_FUNCS},
    {ADDFUNC, &E::addfunc, 4, -1, VAR_USAGE, true, ON_FUNCS},
    {EXP, &E::build_exp, 1, 1, EXP_USAGE, true, ON_PROGRAM},
    {EQ, &E::equation, 2, 2, "usage: %s %s <var name> <lustre expression>", true, ON_PROGRAM},
    {EXPTYPE, &E::exp_type, 1, 1, EXP_USAGE, true, ON_PROGRAM},
    {CHECK, &E::check, 0, 4, "usage: %s %s ?-max <n>? ?-warnings 0|1?", true, ON_PROGRAM},
    {TEXT, &E::text, 0, 1, "usage: %s %s ?-ec|-places?", true, ON_PROGRAM},
    {DEFINE, &E::define, 2, 3,
     "usage: %s %s ?-replace? <var name>|{<var name> ...} <lustre expression>", true, ON_PROGRAM},
    {ASSERT, &E::assertion, 1, 1, EXP_USAGE, true, ON_PROGRAM},
    {ADDTYPE, &E::addtype, 1, -1, "usage: %s %s <type-name> [<enum-value>*]", true, ON_PROGRAM},
    {ADDCONST, &E::addconst, 2, 2, "usage: %s %s <type-name> <const-name>", true, ON_PROGRAM},
    {VARS, &E::vars, 0, 2, "usage: %s %s ?-kind input|output|local|const?", true, ON_PROGRAM},
    {VAR, &E::var, 1, 1, NAME_USAGE, true, ON_PROGRAM},
    {TYPES, &E::types, 0, 0, NO_PARAMETER, true, ON_PROGRAM},
    {FUNCS, &E::funcs, 0, 0, NO_PARAMETER, true, ON_PROGRAM},
    {ASSERTS, &E::asserts, 0, 0, NO_PARAMETER, true, ON_PROGRAM},
    {DEPS, &E::deps, 1, 1, NAME_USAGE, true, ON_PROGRAM},
    {USES, &E::uses, 1, 1, NAME_USAGE, true, ON_PROGRAM},
    {SIM, &E::sim, 1, -1,
     "usage: %s %s reset|bind|step|run|instant|violations|value|eval|trace|history ?<arg> ...?",
     true,
     ON_PROGRAM},
};
const int NB_OPERATIONS = sizeof OPERATIONS / sizeof OPERATIONS[0];

int EcPrgVar::usage_error(const Operation& op) {
    return call_error({"USAGE"}, op.usage, name(), op.name);
}

int EcPrgVar::run(const Operation& op, int count, const char** parameters) {
    if (count < op.min_params || (op.max_params >= 0 && count > op.max_params))
        return usage_error(op);
    if (op.needs_program && prg == nullptr)
        return call_error({"NOPROGRAM"}, "%s %s: no file loaded", name(), op.name);
    return (this->*op.handler)(op, count, parameters);
}

// The object is held while the operation runs: a script run meanwhile may
// delete it or replace its program (see EcPrgVar::hold).
int ECPRG_call(ClientData client, Tcl_Interp* interp, int argc, const char* argv[]) {
    EcPrgVar* object = static_cast<EcPrgVar*>(client);
    object->hold();
    int code = guard_command(interp, [&] {
        Verbose("call of : %s\n", object->name());
        if (argc < 2) return object->owner->cmd_error(argv[0], "<operation> [<param>*]");
        for (const Operation& op : OPERATIONS) {
            if (strcmp(argv[1], op.name) == 0) return object->run(op, argc - 2, argv + 2);
        }
        return object->call_error({"USAGE"}, "unknown operation `%s'", argv[1]);
    });
    EcPrgVar::release(object);
    return code;
}
