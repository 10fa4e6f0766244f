// Timer commands over Tcl's timer events.
#include "zindle/tcl_timer.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "quorl/quorl.h"

TimeHandler* TimeHandler::list = nullptr;

static char ADD_USAGE[] = "usage : add_timer <milliseconds> <script>";
static char ABORT_USAGE[] = "usage : abort_timer <timer-token>";

TimeHandler::TimeHandler(Tcl_Interp* the_interp, const char* the_script)
    : token(), timer(nullptr), interp(the_interp), script(nullptr), next(list), firing(false) {
    size_t length = strlen(the_script);
    script = new char[length + 1];
    memcpy(script, the_script, length + 1);
    list = this;
    // At most 16 hexadecimal digits: the token always fits.
    (void)snprintf(token, sizeof token, "%lx", reinterpret_cast<unsigned long>(this));
}

TimeHandler::~TimeHandler() {
    unlink();
    delete[] script;
}

void TimeHandler::unlink() {
    for (TimeHandler** link = &list; *link != nullptr; link = &(*link)->next) {
        if (*link == this) {
            *link = next;
            break;
        }
    }
    next = nullptr;
}

TimeHandler* token2time_handler(const char* text) {
    // Read like "%lx" (leading blanks, optional 0x), without sscanf's
    // undefined behaviour on overflow.
    char* end = nullptr;
    errno = 0;
    unsigned long address = strtoul(text, &end, 16);
    if (end == text || errno == ERANGE) return nullptr;
    for (TimeHandler* record = TimeHandler::list; record != nullptr; record = record->next) {
        if (reinterpret_cast<unsigned long>(record) == address) return record;
    }
    return nullptr;
}

// Takes the record out of service: a firing record is only unlinked (the
// firing frees it), any other is cancelled and freed.
static void discard(TimeHandler* record) {
    if (record->firing) {
        record->unlink();
        return;
    }
    Tcl_DeleteTimerHandler(record->timer);
    delete record;
}

void call_a_script(ClientData data) {
    TimeHandler* record = static_cast<TimeHandler*>(data);
    record->firing = true;
    Tcl_Interp* interp = record->interp;
    Tcl_Preserve(interp);
    Tcl_EvalEx(interp, record->script, -1, 0);  // status and result ignored
    Tcl_Release(interp);
    delete record;  // unlinks it unless an abort already did
}

int create_a_time_handler(ClientData, Tcl_Interp* interp, int argc, const char* argv[]) {
    return guard_command(interp, [&] {
        if (argc != 3) {
            Tcl_SetResult(interp, ADD_USAGE, TCL_STATIC);
            return TCL_ERROR;
        }
        // Read like atoi; a delay beyond an int is clamped rather than wrapped.
        long delay = strtol(argv[1], nullptr, 10);
        if (delay <= 0) {
            Tcl_SetResult(interp, ADD_USAGE, TCL_STATIC);
            return TCL_ERROR;
        }
        if (delay > INT_MAX) delay = INT_MAX;
        TimeHandler* record = new TimeHandler(interp, argv[2]);
        record->timer = Tcl_CreateTimerHandler(static_cast<int>(delay), call_a_script, record);
        Tcl_SetResult(interp, record->token, TCL_STATIC);
        return TCL_OK;
    });
}

int abort_a_time_handler(ClientData, Tcl_Interp* interp, int argc, const char* argv[]) {
    return guard_command(interp, [&] {
        TimeHandler* record = argc == 2 ? token2time_handler(argv[1]) : nullptr;
        if (record == nullptr) {
            Tcl_SetResult(interp, ABORT_USAGE, TCL_STATIC);
            return TCL_ERROR;
        }
        discard(record);
        return TCL_OK;
    });
}

void delete_all_time_handlers(ClientData) {
    while (TimeHandler::list != nullptr) discard(TimeHandler::list);
}

int TimeHandler_Init(Tcl_Interp* interp) {
    Tcl_CreateCommand(interp, "add_timer", create_a_time_handler, nullptr,
                      delete_all_time_handlers);
    Tcl_CreateCommand(interp, "abort_timer", abort_a_time_handler, nullptr, nullptr);
    return 0;
}
