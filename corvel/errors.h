// Process-wide diagnostics: verbosity-gated traces, a progress wheel, and
// internal/fatal/warning/deferred error reports. Everything goes to the
// standard error stream through the C library; nothing goes through Tcl.
#ifndef CORVEL_ERRORS_H
#define CORVEL_ERRORS_H

#include <atomic>

// Module-level state, one copy per process, shared by every thread: each
// datum is atomic (a trace written while another thread changes the level
// is written or not, whole).
extern std::atomic<int> VERBOSE;  // current verbosity level, any int
extern std::atomic<int> PIPE;     // pipe mode: leading \r or \b of traces become markers
// The header name of errors and warnings (the caller's string, not copied).
extern std::atomic<const char*> TOOL_NAME;
extern const char TOOL_NAME_DFLT[];       // " "
extern const char WHEEL[4];               // frames of the progress wheel: | / - backslash
extern std::atomic<int> WHEEL_STEP;       // calls since the wheel last turned (starts at 1)
extern std::atomic<int> WHEEL_INDEX;      // next frame, 0..3
extern std::atomic<int> nb_global_error;  // deferred errors reported through GError

void set_verbose_mode();           // VERBOSE = 1
void set_verbose_mode(int level);  // VERBOSE = level, no clamping
void set_pipe_mode();              // PIPE = 1, for good
void set_errors_tool_name(const char* name);

// Each returns VERBOSE. The first prints nothing; the second prints when
// VERBOSE is not 0; the third when level <= VERBOSE. Stderr is flushed after
// every printed trace.
int Verbose();
int Verbose(const char* format, ...) __attribute__((format(printf, 1, 2)));
int Verbose(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Turns the progress wheel once every period + 1 calls, only when verbose and
// stderr is a terminal.
int VerboseWheel(int period);

// Internal error of a caller that goes on: the formatted text on standard
// error, with no header and no newline added, flushed at once.
void ierror(const char* format, ...) __attribute__((format(printf, 1, 2)));
[[noreturn]] void IError(const char* format, ...) __attribute__((format(printf, 1, 2)));
[[noreturn]] void Error(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Warning(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Deferred error: the formatted text only, counted in nb_global_error.
void GError(const char* format, ...) __attribute__((format(printf, 1, 2)));
int GErrors();
// Stop point after a phase that may have reported deferred errors: exits with
// status 1 when there were any.
void GErrorRecover();

#endif
