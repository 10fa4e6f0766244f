// The interpreter's Quorl: top-level commands help, verbose and sigint, the
// shared usage-error builder, and Ctrl-C handling.
#include "quorl/quorl.h"

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>

#include "corvel/errors.h"
#include "corvel/tcl_glue.h"
#include "quorl/ecprgvar.h"

char QUORL_HELP[] = "help";
char QUORL_VERBOSE[] = "verbose";
char QUORL_SIGINT[] = "sigint";
char QUORL_ECPRG[] = "ecprg";

std::atomic<Quorl*> LAST_QUORL{nullptr};
std::atomic<unsigned> SIGINT_COUNT{0};

static const char DEFAULT_SIGINT_SCRIPT[] = "puts \"quorl: ctrl-c exit...\"\nexit";

// --------------------------------------------------------------- messages

int Quorl::cmd_error(const char* command, const char* format, ...) {
    std::string head = "Quorl: bad use of `";
    head += command;
    head += "' command\n=> usage: ";
    head += command;
    head += ' ';
    va_list args;
    va_start(args, format);
    set_composed_error(interp, head.c_str(), format, args);
    va_end(args);
    return set_error_code(interp, {"USAGE"});
}

// --------------------------------------------------------------- Ctrl-C
//
// The signal handler only marks an asynchronous handler; Tcl calls its
// procedure at the next safe point (between bytecodes, or from the event
// loop), where evaluating a script cannot corrupt a command in progress.

static int run_sigint_script(ClientData owner, Tcl_Interp*, int code) {
    Quorl* quorl = static_cast<Quorl*>(owner);
    if (quorl == nullptr || quorl->interp == nullptr) return code;
    Tcl_Interp* interp = quorl->interp;
    Tcl_Obj* script = quorl->sigint_script;
    // The reference keeps the script alive even when it replaces itself
    // through `sigint' while being evaluated.
    Tcl_IncrRefCount(script);
    Tcl_Preserve(interp);
    Tcl_InterpState state = Tcl_SaveInterpState(interp, TCL_OK);
    Tcl_EvalObjEx(interp, script, 0);
    Tcl_RestoreInterpState(interp, state);
    Tcl_Release(interp);
    Tcl_DecrRefCount(script);
    return code;
}

void QUORL_general_sigint(int) {
    Quorl* quorl = LAST_QUORL.load();
    if (quorl == nullptr) return;
    ++SIGINT_COUNT;
    if (quorl->sigint_async != nullptr) Tcl_AsyncMark(quorl->sigint_async);
    (void)signal(SIGINT,
                 QUORL_general_sigint);  // SIGINT is a valid signal: SIG_ERR cannot come back
}

// The interpreter goes: forget it (so that a late Ctrl-C does not evaluate
// into freed memory) and drop its hold.
static void forget_interp(ClientData owner, Tcl_Interp*) {
    Quorl* quorl = static_cast<Quorl*>(owner);
    quorl->interp = nullptr;
    quorl->release();
}

// --------------------------------------------------------------- commands

int QUORL_help(ClientData, Tcl_Interp* interp, int, const char* argv[]) {
    if (stdout_closed()) {
        std::string text = std::string(argv[0]) + ": standard output is closed";
        Tcl_SetObjResult(interp, Tcl_NewStringObj(text.c_str(), -1));
        return set_error_code(interp, {"IO", "stdout", "closed"});
    }
    // The operation names are the arrays the object command dispatches on.
    static const struct {
        const char* format;
        const char* name;
    } lines[] = {
        {"quorl commands are:\n", nullptr},
        {"<ecprg> %s [<node name>]  --init an empty lustre node\n", INIT},
        {"<ecprg> %s <file.ec>  --load ec program from file\n", LOAD},
        {"<ecprg> %s <fileid>   --load ec program from channel\n", LOADCH},
        {"<ecprg> %s [<file>]  --dump the structure in lustre format\n", DUMP},
        {"<ecprg> %s  --get the program's profile\n", PROFILE},
        {"<ecprg> %s   --get the number of inputs\n", NBINPUTS},
        {"<ecprg> %s   --get the number of outputs\n", NBOUTPUTS},
        {"<ecprg> %s   --get the number of locals\n", NBLOCALS},
        {"<ecprg> %s   --get the number of assertions\n", NBASSERTS},
        {"<ecprg> %s   --get the number of external functions\n", NBFUNCS},
        {"<ecprg> %s <0..nb-inputs-1>  --get the name of an input\n", INNAME},
        {"<ecprg> %s <0..nb-outputs-1> --get the name of an output\n", OUTNAME},
        {"<ecprg> %s <0..nb-locals-1>  --get the name of a local\n", LOCNAME},
        {"<ecprg> %s <0..nb-inputs-1>  --get the type of an input\n", INTYPE},
        {"<ecprg> %s <0..nb-outputs-1> --get the type of an output\n", OUTTYPE},
        {"<ecprg> %s <0..nb-locals-1>  --get the type of an loacl\n", LOCTYPE},
        {"<ecprg> %s [<ident>]  --creates a new input identifier\n", ADDIN},
        {"<ecprg> %s [<ident>]  --creates a new output identifier\n", ADDOUT},
        {"<ecprg> %s [<ident>]  --creates a new local identifier\n", ADDLOC},
        {"<ecprg> %s <0..nb-funcs-1>  --get the declaration of a function\n", FUNCDECL},
        {"<ecprg> %s <name> <type>+ : <type>+ --declares a external function\n", ADDFUNC},
        {"<ecprg> %s <lustre expression>  --parse and build a lustre expression\n", EXP},
        {"<ecprg> %s <var name> <lustre expression>  --defines an equation\n", EQ},
        {"<ecprg> %s <lustre expression>  --get expression type\n", EXPTYPE},
        {"%s  -- print help\n", QUORL_HELP},
        {"%s          -- set verbose mode to 1 (normal)\n", QUORL_VERBOSE},
        {"%s [<int>]  -- set verbose mode (0=silent) (>0=more and more)\n", QUORL_VERBOSE},
        {"%s <tcl proc name>  --defines the <ctrl-c> handler\n", QUORL_SIGINT},
        {"%s <manager name> [<node name>]  --creates a node manager\n", QUORL_ECPRG},
    };
    for (const auto& line : lines) {
        if (line.name == nullptr)
            fputs(line.format, stdout);
        else
            printf(line.format, line.name);
    }
    fflush(stdout);
    return TCL_OK;
}

int QUORL_verbose(ClientData owner, Tcl_Interp* interp, int argc, const char* argv[]) {
    return guard_command(interp, [&] {
        Quorl* quorl = static_cast<Quorl*>(owner);
        int level = 1;
        if (argc >= 3 || (argc == 2 && monatoi(argv[1], &level) != 0))
            return quorl->cmd_error(argv[0], "[<int>]");
        set_verbose_mode(level);
        Verbose("verbose mode set to %d\n", level);
        return TCL_OK;
    });
}

int QUORL_sigint(ClientData owner, Tcl_Interp* interp, int argc, const char* argv[]) {
    return guard_command(interp, [&] {
        Quorl* quorl = static_cast<Quorl*>(owner);
        if (argc != 2) return quorl->cmd_error(argv[0], "<proc name>");
        if (Tcl_IsShared(quorl->sigint_script)) {
            // Being evaluated (or otherwise referenced): Tcl forbids changing
            // a shared object, so a fresh one takes its place.
            Tcl_Obj* replacement = Tcl_NewStringObj(argv[1], -1);
            Tcl_IncrRefCount(replacement);
            Tcl_DecrRefCount(quorl->sigint_script);
            quorl->sigint_script = replacement;
        } else {
            Tcl_SetStringObj(quorl->sigint_script, argv[1], -1);
        }
        return TCL_OK;
    });
}

// --------------------------------------------------------------- Quorl

Quorl::Quorl(Tcl_Interp* the_interp)
    : interp(the_interp),
      sigint_script(nullptr),
      ecprg_list(nullptr),
      holders(1),
      sigint_async(nullptr) {
    Tcl_CreateCommand(interp, QUORL_HELP, QUORL_help, this, nullptr);
    Tcl_CreateCommand(interp, QUORL_VERBOSE, QUORL_verbose, this, nullptr);
    sigint_async = Tcl_AsyncCreate(run_sigint_script, this);
    sigint_script = Tcl_NewStringObj(DEFAULT_SIGINT_SCRIPT, -1);
    Tcl_IncrRefCount(sigint_script);
    LAST_QUORL = this;
    (void)signal(SIGINT,
                 QUORL_general_sigint);  // SIGINT is a valid signal: SIG_ERR cannot come back
    Tcl_CreateCommand(interp, QUORL_SIGINT, QUORL_sigint, this, nullptr);
    Tcl_CallWhenDeleted(interp, forget_interp, this);
    ecprg_list = nullptr;
    Tcl_CreateCommand(interp, QUORL_ECPRG, QUORL_ecprg, this, nullptr);
}

Quorl::~Quorl() {
    Quorl* self = this;
    LAST_QUORL.compare_exchange_strong(self, nullptr);
    if (sigint_async) Tcl_AsyncDelete(sigint_async);
    if (sigint_script) Tcl_DecrRefCount(sigint_script);
}

void Quorl::release() {
    if (--holders == 0) delete this;
}

int run_quorl_Init(Tcl_Interp* interp) {
    remember_stdout();
    new Quorl(interp);  // held by its interpreter (forget_interp lets it go)
    return 0;
}
