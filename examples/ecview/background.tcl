# background.tcl: work that is not needed to show a program (the table's
# type, clock and line columns, the count of equations, the check) runs
# after the window shows, in slices from the event loop, with the progress
# bar of the status line showing while there is some.
#
# Each call of a task does a slice and returns 1 while it has more to do; a
# task that has run to its end sets done(TASK). A load bumps the generation,
# which stops the tasks of the program before.
namespace eval ecview {
    variable progress 0
    variable generation 0       ;# bumped by each load: stale background work stops
    variable queue {}           ;# background tasks still to run
    variable done               ;# array: task name -> 1 once it has run to its end
}

proc ecview::run_in_background {tasks} {
    variable queue $tasks
    variable generation
    variable progress 85
    busy 1
    after idle [list after 0 [list ecview::background_step $generation]]
}

proc ecview::busy {on} {
    variable W
    if {$on} {
        pack $W(progress) -side right -padx 4 -before $W(counts)
    } else {
        pack forget $W(progress)
    }
}

proc ecview::background_step {gen} {
    variable generation
    variable queue
    if {$gen != $generation || ![llength $queue]} return
    step_task
    after idle [list after 0 [list ecview::background_step $gen]]
}

proc ecview::step_task {} {
    variable queue
    variable progress
    variable status
    if {![llength $queue]} return
    if {![[lindex $queue 0]]} {
        set queue [lrange $queue 1 end]
    }
    set progress [expr {100 - 5 * [llength $queue]}]
    if {![llength $queue]} { busy 0 }
}

# Runs a task (or all of them) to its end now.
proc ecview::finish {{task ""}} {
    variable queue
    variable done
    if {$task eq ""} {
        while {[llength $queue]} step_task
        return
    }
    if {[info exists done($task)]} return
    while {[$task]} {}
    set queue [lsearch -all -inline -exact -not $queue $task]
}

proc ecview::wait {} { finish }
