// One-shot timers for Tcl scripts: `add_timer <ms> <script>' and
// `abort_timer <token>'.
#ifndef ZINDLE_TCL_TIMER_H
#define ZINDLE_TCL_TIMER_H

#include <tcl.h>

// One pending timer. The token is the record's own address in hexadecimal;
// it is valid exactly while the record is in TimeHandler::list.
class TimeHandler {
public:
    TimeHandler(Tcl_Interp* interp, const char* script);
    ~TimeHandler();
    TimeHandler(const TimeHandler&) = delete;
    TimeHandler& operator=(const TimeHandler&) = delete;

    // Unlinks the record from the list; its token stops being valid.
    void unlink();

    char token[56];
    Tcl_TimerToken timer;
    Tcl_Interp* interp;
    char* script;
    TimeHandler* next;
    // Set while the script runs: an abort or a deletion of all records then
    // only unlinks the record, and the end of the firing frees it.
    bool firing;

    // Pending records of the process, most recent first.
    static TimeHandler* list;
};

// The pending record whose token is `text', or null.
TimeHandler* token2time_handler(const char* text);

// Registers add_timer and abort_timer; returns 0.
int TimeHandler_Init(Tcl_Interp* interp);

int create_a_time_handler(ClientData, Tcl_Interp* interp, int argc, const char* argv[]);
int abort_a_time_handler(ClientData, Tcl_Interp* interp, int argc, const char* argv[]);
void call_a_script(ClientData data);
// Deletion procedure of add_timer: cancels and frees every pending record.
void delete_all_time_handlers(ClientData);

#endif
