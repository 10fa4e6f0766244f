// One-shot timers for Tcl scripts: `add_timer <ms> <script>' and
// `abort_timer <token>'.
#ifndef ZINDLE_TCL_TIMER_H
#define ZINDLE_TCL_TIMER_H

#include <tcl.h>

struct TimerSet;

// One pending timer. Its token is a number no other timer of the process
// ever gets, in hexadecimal; it is valid exactly while the record is in its
// interpreter's set. The timers of each interpreter are kept apart (Tcl's
// timer events belong to that interpreter's thread).
class TimeHandler {
public:
    TimeHandler(TimerSet* set, Tcl_Interp* interp, const char* script);
    ~TimeHandler();
    TimeHandler(const TimeHandler&) = delete;
    TimeHandler& operator=(const TimeHandler&) = delete;

    // Unlinks the record from its set; its token stops being valid.
    void unlink();

    char token[56];
    Tcl_TimerToken timer;
    Tcl_Interp* interp;
    char* script;
    TimeHandler* next;
    // Set while the script runs: an abort or a deletion of all records then
    // only unlinks the record, and the end of the firing frees it.
    bool firing;
    TimerSet* set;
};

// The pending record of interp whose token is `text', or null.
TimeHandler* token2time_handler(Tcl_Interp* interp, const char* text);

// Registers add_timer and abort_timer; returns 0.
int TimeHandler_Init(Tcl_Interp* interp);

int create_a_time_handler(ClientData, Tcl_Interp* interp, int argc, const char* argv[]);
int abort_a_time_handler(ClientData, Tcl_Interp* interp, int argc, const char* argv[]);
void call_a_script(ClientData data);
// Deletion procedure of add_timer: cancels and frees every pending record
// of its interpreter.
void delete_all_time_handlers(ClientData data);

#endif
