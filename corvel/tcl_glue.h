// What every Tcl command of the module shares, below both the program
// objects (quorl/) and the timers (zindle/): error codes and composed error
// messages, the guard that keeps C++ exceptions out of Tcl, the integer
// reader of command words, and the test of a closed standard output.
// Compiled into the module only: it calls Tcl through the stubs.
#ifndef CORVEL_TCL_GLUE_H
#define CORVEL_TCL_GLUE_H

#include <tcl.h>

#include <cstdarg>
#include <new>
#include <string>
#include <vector>

// The words of an error code after ZINDLE: a class and its details.
using ErrorWords = std::vector<std::string>;

// Sets the error code {ZINDLE word ...}; returns TCL_ERROR.
int set_error_code(Tcl_Interp* interp, const ErrorWords& words);

// Sets `head' followed by the printf-formatted `format' as the interpreter
// result, in a buffer from malloc handed to Tcl with free; never overruns,
// whatever the lengths. Returns TCL_ERROR.
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

// Parses a base-10 integer like strtol; nonzero when no digit was consumed.
// The value is converted to an int as C does (it wraps); *fits, when
// given, says whether it fitted.
int monatoi(const char* text, int* value, bool* fits = nullptr);

// A Tcl channel an operation reads or writes, held open while it works: the
// channel's own scripts (a reflected channel's handlers) run meanwhile and
// may close it.
class HeldChannel {
public:
    // The channel `name' of interp, open for `mode' (TCL_READABLE or
    // TCL_WRITABLE); when there is none, fault() says why.
    HeldChannel(Tcl_Interp* interp, const char* name, int mode);
    ~HeldChannel();
    HeldChannel(const HeldChannel&) = delete;
    HeldChannel& operator=(const HeldChannel&) = delete;
    Tcl_Channel get() const { return _channel; }
    // "no such channel", "not open for reading", "not open for writing", or
    // null.
    const char* fault() const { return _fault; }

private:
    Tcl_Channel _channel = nullptr;
    const char* _fault = nullptr;
};

// The elements of a Tcl list, held while they are read.
class SplitList {
public:
    SplitList() = default;
    ~SplitList() {
        if (items) Tcl_Free(reinterpret_cast<char*>(const_cast<char**>(items)));
    }
    SplitList(const SplitList&) = delete;
    SplitList& operator=(const SplitList&) = delete;
    // Splits text (false, with the error in interp's result, when it is
    // not a list).
    bool split(Tcl_Interp* interp, const char* text) {
        return Tcl_SplitList(interp, text, &count, &items) == TCL_OK;
    }
    int count = 0;
    const char** items = nullptr;
};

// Notes what descriptor 1 is when the module is first loaded.
void remember_stdout();

// Whether standard output is closed on the Tcl side (descriptor 1 may then
// belong to another file): nothing is written to it then.
bool stdout_closed();

#endif
