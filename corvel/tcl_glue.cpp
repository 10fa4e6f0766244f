// The Tcl glue shared by every command of the module.
#include "corvel/tcl_glue.h"

#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static void free_message(char* text) { free(text); }

enum { MESSAGE_BUFFER_SIZE = 1024 };

// The message is composed in a 1024-byte buffer when it fits; a longer one
// (a very long command name or parameter) gets a buffer of its own size, so
// nothing is ever truncated or written past the end.
int set_composed_error(Tcl_Interp* interp, const char* head, const char* format, va_list args) {
    size_t head_length = strlen(head);
    va_list sizing;
    va_copy(sizing, args);
    int tail_length = vsnprintf(nullptr, 0, format, sizing);
    va_end(sizing);
    if (tail_length < 0) tail_length = 0;  // unformattable text: keep the head alone
    size_t size = head_length + (size_t)tail_length + 1;
    if (size < MESSAGE_BUFFER_SIZE) size = MESSAGE_BUFFER_SIZE;
    char* buffer = static_cast<char*>(malloc(size));
    if (buffer == nullptr) {
        Tcl_SetResult(interp, const_cast<char*>("Quorl: out of memory"), TCL_STATIC);
        return TCL_ERROR;
    }
    memcpy(buffer, head, head_length);
    buffer[head_length] = '\0';
    // Should the second pass fail after all, the head is kept alone.
    if (tail_length > 0 && vsnprintf(buffer + head_length, size - head_length, format, args) < 0)
        buffer[head_length] = '\0';
    Tcl_SetResult(interp, buffer, free_message);
    return TCL_ERROR;
}

int set_error_code(Tcl_Interp* interp, const ErrorWords& words) {
    Tcl_Obj* code = Tcl_NewListObj(0, nullptr);
    Tcl_ListObjAppendElement(nullptr, code, Tcl_NewStringObj("ZINDLE", -1));
    for (const std::string& w : words)
        Tcl_ListObjAppendElement(nullptr, code, Tcl_NewStringObj(w.data(), (int)w.size()));
    Tcl_SetObjErrorCode(interp, code);
    return TCL_ERROR;
}

int monatoi(const char* text, int* value, bool* fits) {
    char* end = nullptr;
    long parsed = strtol(text, &end, 10);
    if (end == text) return 1;
    *value = static_cast<int>(parsed);
    if (fits) *fits = parsed >= INT_MIN && parsed <= INT_MAX;
    return 0;
}

namespace {

// What descriptor 1 was when the module was first loaded.
struct FileIdentity {
    bool open = false;
    dev_t device = 0;
    ino_t inode = 0;
};

FileIdentity identity_of(int fd) {
    struct stat st {};
    FileIdentity id;
    if (fstat(fd, &st) == 0) id = FileIdentity{true, st.st_dev, st.st_ino};
    return id;
}

const FileIdentity& original_stdout() {
    static const FileIdentity original = identity_of(1);  // initialised once, by any thread
    return original;
}

}  // namespace

// After `close stdout', Tcl makes the next channel a script opens its
// standard output, named "stdout", on descriptor 1: that is the script's
// file, not the process's standard output, and only its identity tells.
bool stdout_closed() {
    if (Tcl_GetStdChannel(TCL_STDOUT) == nullptr) return true;
    FileIdentity now = identity_of(1), then = original_stdout();
    return !now.open || !then.open || now.device != then.device || now.inode != then.inode;
}


void remember_stdout() { (void)original_stdout(); }

HeldChannel::HeldChannel(Tcl_Interp* interp, const char* name, int mode) {
    int modes = 0;
    Tcl_Channel channel = Tcl_GetChannel(interp, name, &modes);
    if (channel == nullptr) {
        _fault = "no such channel";
    } else if (!(modes & mode)) {
        _fault = mode == TCL_READABLE ? "not open for reading" : "not open for writing";
    } else {
        _channel = channel;
        Tcl_RegisterChannel(nullptr, _channel);
    }
}

HeldChannel::~HeldChannel() {
    if (_channel) Tcl_UnregisterChannel(nullptr, _channel);
}
