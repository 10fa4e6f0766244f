// The interpreter-wide object of the extension: registers the top-level
// commands (help, verbose, sigint, ecprg), owns the Ctrl-C script, and keeps
// the list of live program objects.
#ifndef QUORL_QUORL_H
#define QUORL_QUORL_H

#include <tcl.h>

#include <atomic>
#include <cstdarg>
#include <new>
#include <string>
#include <vector>

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

// Parses a base-10 integer like strtol; nonzero when no digit was consumed.
// The value is converted to an int as C does (it wraps); *fits, when
// given, says whether it fitted.
int monatoi(const char* text, int* value, bool* fits = nullptr);

// Whether standard output is closed on the Tcl side (descriptor 1 may then
// belong to another file): nothing is written to it then.
bool stdout_closed();

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

// The words of an error code after ZINDLE: a class and its details.
using ErrorWords = std::vector<std::string>;

// Sets the error code {ZINDLE word ...}; returns TCL_ERROR.
int set_error_code(Tcl_Interp* interp, const ErrorWords& words);

// Sets `head' followed by the printf-formatted `format' as the interpreter
// result, in a buffer from malloc handed to Tcl with free; never overruns,
// whatever the lengths. Shared by cmd_error and the program objects'
// call_error. Returns TCL_ERROR.
int set_composed_error(Tcl_Interp* interp, const char* head, const char* format, va_list args);

// Runs a command body so that no C++ exception reaches Tcl: running out of
// memory, or anything else thrown, becomes a TCL_ERROR with a message.
template <class Body>
int guard_command(Tcl_Interp* interp, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        Tcl_SetResult(interp, const_cast<char*>("Quorl: out of memory"), TCL_STATIC);
        Tcl_SetErrorCode(interp, "ZINDLE", "MEMORY", nullptr);
    } catch (...) {
        Tcl_SetResult(interp, const_cast<char*>("Quorl: internal failure"), TCL_STATIC);
        Tcl_SetErrorCode(interp, "ZINDLE", "INTERNAL", nullptr);
    }
    return TCL_ERROR;
}

#endif
