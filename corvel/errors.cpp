// Diagnostics on standard error. Reports do not flush by themselves: the
// exits go through exit(), which flushes; traces flush at once.
#include "corvel/errors.h"
#include "corvel/with_args.h"

#include <unistd.h>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

std::atomic<int> VERBOSE{0};
std::atomic<int> PIPE{0};
const char TOOL_NAME_DFLT[] = " ";
std::atomic<const char*> TOOL_NAME{TOOL_NAME_DFLT};
const char WHEEL[4] = {'|', '/', '-', '\\'};
std::atomic<int> WHEEL_STEP{1};
std::atomic<int> WHEEL_INDEX{0};
std::atomic<int> nb_global_error{0};

void set_verbose_mode() { VERBOSE = 1; }
void set_verbose_mode(int level) { VERBOSE = level; }
void set_pipe_mode() { PIPE = 1; }
void set_errors_tool_name(const char* name) { TOOL_NAME = name; }

// Writes one trace. In pipe mode a leading carriage return or backspace is
// replaced by a visible marker, so that a consumer reading the stream through
// a pipe sees where the line would have been rewritten.
static void print_trace(const char* format, va_list args) {
    if (PIPE && format[0] == '\r') {
        fputs(" \n^R", stderr);
        format++;
    } else if (PIPE && format[0] == '\b') {
        fputs("\n^B", stderr);
        format++;
    }
    vfprintf(stderr, format, args);
    fflush(stderr);
}

int Verbose() { return VERBOSE; }

int Verbose(const char* format, ...) {
    if (VERBOSE != 0) WITH_ARGS(format, print_trace(format, args));
    return VERBOSE;
}

int Verbose(int level, const char* format, ...) {
    if (level <= VERBOSE) WITH_ARGS(format, print_trace(format, args));
    return VERBOSE;
}

int VerboseWheel(int period) {
    if (VERBOSE == 0 || !isatty(2)) return VERBOSE;
    if (WHEEL_STEP >= period) {
        WHEEL_STEP = 0;
        int frame = WHEEL_INDEX;
        fprintf(stderr, "%c\b", WHEEL[frame]);
        fflush(stderr);
        WHEEL_INDEX = (frame + 1) % 4;
    } else {
        WHEEL_STEP++;
    }
    return VERBOSE;
}

// Header, formatted message, newline.
static void report(const char* header, const char* format, va_list args) {
    fputs(header, stderr);
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
}

void ierror(const char* format, ...) {
    WITH_ARGS(format, vfprintf(stderr, format, args));
    fflush(stderr);
}

void IError(const char* format, ...) {
    WITH_ARGS(format, report("Sorry, Internal Error :\n", format, args));
    exit(1);
}

// "<tool name> <kind> :" on a line, then the message.
static void tool_report(const char* kind, const char* format, va_list args) {
    fprintf(stderr, "%s %s :\n", TOOL_NAME.load(), kind);
    report("", format, args);
}

void Error(const char* format, ...) {
    WITH_ARGS(format, tool_report("Error", format, args));
    exit(1);
}

void Warning(const char* format, ...) { WITH_ARGS(format, tool_report("Warning", format, args)); }

void GError(const char* format, ...) {
    WITH_ARGS(format, vfprintf(stderr, format, args));
    nb_global_error++;
}

int GErrors() { return nb_global_error; }

void GErrorRecover() {
    if (nb_global_error == 0) return;
    fprintf(stderr, "*** %d Errors stop\n", nb_global_error.load());
    exit(1);
}
