// Timer commands over Tcl's timer events.
#include "zindle/tcl_timer.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "corvel/tcl_glue.h"

// The pending records of one interpreter, most recent first; kept as the
// interpreter's associated data and freed with it.
struct TimerSet {
    TimeHandler* list = nullptr;
};

static const char TIMERS_KEY[] = "zindle timers";
static char ADD_USAGE[] = "usage : add_timer <milliseconds> <script>";
static char ABORT_USAGE[] = "usage : abort_timer <timer-token>";

// Tokens are numbered over the whole process, never reused.
static std::atomic<unsigned long> TOKEN_COUNTER{0};

TimeHandler::TimeHandler(TimerSet* the_set, Tcl_Interp* the_interp, const char* the_script)
    : token(),
      timer(nullptr),
      interp(the_interp),
      script(nullptr),
      next(the_set->list),
      firing(false),
      set(the_set) {
    size_t length = strlen(the_script);
    script = new char[length + 1];
    memcpy(script, the_script, length + 1);
    set->list = this;
    (void)snprintf(token, sizeof token, "%lx", ++TOKEN_COUNTER);
}

TimeHandler::~TimeHandler() {
    unlink();
    delete[] script;
}

void TimeHandler::unlink() {
    if (set == nullptr) return;
    for (TimeHandler** link = &set->list; *link != nullptr; link = &(*link)->next) {
        if (*link == this) {
            *link = next;
            break;
        }
    }
    next = nullptr;
    set = nullptr;
}

static TimerSet* timers_of(Tcl_Interp* interp) {
    return static_cast<TimerSet*>(Tcl_GetAssocData(interp, TIMERS_KEY, nullptr));
}

TimeHandler* token2time_handler(Tcl_Interp* interp, const char* text) {
    // Read like "%lx" (leading blanks, optional 0x), without sscanf's
    // undefined behaviour on overflow.
    char* end = nullptr;
    errno = 0;
    unsigned long number = strtoul(text, &end, 16);
    TimerSet* set = timers_of(interp);
    if (end == text || errno == ERANGE || set == nullptr) return nullptr;
    char wanted[56];
    (void)snprintf(wanted, sizeof wanted, "%lx", number);
    for (TimeHandler* record = set->list; record != nullptr; record = record->next) {
        if (strcmp(record->token, wanted) == 0) return record;
    }
    return nullptr;
}

// Takes the record out of service: a firing record is only unlinked (the
// firing frees it), any other is cancelled and freed.
static void discard(TimeHandler* record) {
    record->unlink();
    if (record->firing) return;
    Tcl_DeleteTimerHandler(record->timer);
    delete record;
}

// From the head on, each record taken off the set before it goes.
static void discard_all(TimerSet* set) {
    while (TimeHandler* record = set->list) {
        set->list = record->next;
        record->next = nullptr;
        record->set = nullptr;
        discard(record);
    }
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
        TimerSet* set = timers_of(interp);
        // Read like atoi; a delay beyond an int is clamped rather than wrapped.
        long delay = argc == 3 ? strtol(argv[1], nullptr, 10) : 0;
        if (argc != 3 || delay <= 0 || set == nullptr) {
            Tcl_SetResult(interp, ADD_USAGE, TCL_STATIC);
            return set_error_code(interp, {"USAGE"});
        }
        if (delay > INT_MAX) delay = INT_MAX;
        TimeHandler* record = new TimeHandler(set, interp, argv[2]);
        record->timer = Tcl_CreateTimerHandler(static_cast<int>(delay), call_a_script, record);
        Tcl_SetResult(interp, record->token, TCL_STATIC);
        return TCL_OK;
    });
}

int abort_a_time_handler(ClientData, Tcl_Interp* interp, int argc, const char* argv[]) {
    return guard_command(interp, [&] {
        TimeHandler* record = argc == 2 ? token2time_handler(interp, argv[1]) : nullptr;
        if (record == nullptr) {
            Tcl_SetResult(interp, ABORT_USAGE, TCL_STATIC);
            return set_error_code(interp, {"USAGE"});
        }
        discard(record);
        return TCL_OK;
    });
}

void delete_all_time_handlers(ClientData data) {
    TimerSet* set = timers_of(static_cast<Tcl_Interp*>(data));
    if (set) discard_all(set);
}

// The interpreter goes: its timers go with it.
static void delete_timer_set(ClientData data, Tcl_Interp*) {
    TimerSet* set = static_cast<TimerSet*>(data);
    discard_all(set);
    delete set;
}

int TimeHandler_Init(Tcl_Interp* interp) {
    if (timers_of(interp) == nullptr)
        Tcl_SetAssocData(interp, TIMERS_KEY, delete_timer_set, new TimerSet);
    Tcl_CreateCommand(interp, "add_timer", create_a_time_handler, interp, delete_all_time_handlers);
    Tcl_CreateCommand(interp, "abort_timer", abort_a_time_handler, nullptr, nullptr);
    return 0;
}
