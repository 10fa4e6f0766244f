// The interpreter-wide object of the extension: registers the top-level
// commands (help, verbose, sigint, ecprg), owns the Ctrl-C script, and keeps
// the list of live program objects.
#ifndef QUORL_QUORL_H
#define QUORL_QUORL_H

#include <tcl.h>

#include <atomic>

class EcPrgVar;

// Names of the top-level commands; the command table and the help text use
// these very arrays.
extern char QUORL_HELP[];
extern char QUORL_VERBOSE[];
extern char QUORL_SIGINT[];
extern char QUORL_ECPRG[];

// One per interpreter that loaded the module. It lives while its
// interpreter or any of its program objects does: each of them holds it.
class Quorl {
public:
    explicit Quorl(Tcl_Interp* interp);
    ~Quorl();
    Quorl(const Quorl&) = delete;
    Quorl& operator=(const Quorl&) = delete;

    void hold() { ++holders; }
    // Drops a hold; the last one deletes the Quorl.
    void release();

    // "Quorl: bad use of `<command>' command\n=> usage: <command> <usage>"
    // as the interpreter result, error code {ZINDLE USAGE}; returns TCL_ERROR.
    int cmd_error(const char* command, const char* format, ...)
        __attribute__((format(printf, 3, 4)));

    // Unlinks a program object from ecprg_list (defined with the program objects).
    void remove_ecprg(EcPrgVar* object);

    Tcl_Interp* interp;  // null once the interpreter is deleted
    Tcl_Obj* sigint_script;
    EcPrgVar* ecprg_list;  // doubly linked through next and prev
    int holders;
    // Marked by the SIGINT handler; its procedure runs sigint_script at the
    // interpreter's next safe point.
    Tcl_AsyncHandler sigint_async;
};

// The most recently constructed Quorl; Ctrl-C works on it alone. Atomic:
// the SIGINT handler reads it, any thread may change it.
extern std::atomic<Quorl*> LAST_QUORL;

// Ctrl-Cs received so far: a load stops when it changes (and its
// interpreter's Ctrl-C script runs afterwards).
extern std::atomic<unsigned> SIGINT_COUNT;

// Creates the interpreter's Quorl; returns 0.
int run_quorl_Init(Tcl_Interp* interp);

// The SIGINT handler.
void QUORL_general_sigint(int signal);

// Command procedures of the top-level commands.
int QUORL_help(ClientData owner, Tcl_Interp* interp, int argc, const char* argv[]);
int QUORL_verbose(ClientData owner, Tcl_Interp* interp, int argc, const char* argv[]);
int QUORL_sigint(ClientData owner, Tcl_Interp* interp, int argc, const char* argv[]);
// `ecprg': defined with the program objects.
int QUORL_ecprg(ClientData client, Tcl_Interp* interp, int argc, const char* argv[]);

#endif
