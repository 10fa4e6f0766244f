# simrun.tcl: running the program shown: Reset, Step (with the inputs of
# the controls), Run N and run until in slices from the event loop, Auto (a
# step every P milliseconds through add_timer and abort_timer), Pause
# (also Escape, Ctrl-C, and SIGINT from the terminal), the inputs of a CSV
# or RIF file played in slices, the trace saved as CSV, RIF or VCD. A step
# that fails stops the run, says why in the status line, selects the
# variable concerned and marks the step on the chronogram.
#
# A slice runs as many steps as fit in about sliceMs milliseconds at the
# pace of the slice before, so that the window stays alive and Pause acts at
# once however long the run.
namespace eval ecview {
    variable simHistory 100000      ;# steps the run keeps (sim reset -history)
    variable simRecordAll 8000000   ;# all variables kept while variables x steps stay under this
    variable sliceMs 30
    variable run                    ;# the run under way: mode (run auto play or ""), ...
    array set run {mode "" gen 0 left 0 slice 100 token "" play {} next 0}
}

# The steps the run keeps, {FIRST LAST}; {1 0} before any.
proc ecview::kept_steps {} {
    variable prog
    variable simHistory
    if {$prog eq "" || [catch {$prog sim instant} last]} { return {1 0} }
    list [expr {max(1, $last - $simHistory + 1)}] $last
}

# Whether the program has a run (a Reset made it).
proc ecview::has_run {} {
    variable prog
    expr {$prog ne "" && ![catch {$prog sim trace -from 1 -to 0}]}
}

# Whether the run keeps a variable's steps (before any run, the next Reset
# will: it records the lanes).
proc ecview::recorded {name} {
    variable prog
    expr {![has_run] || ![catch {$prog sim history $name -from 1 -to 0}]}
}

# What the run records beyond the inputs and outputs: every variable of a
# small program, else the lanes.
proc ecview::record_option {} {
    variable prog
    variable simHistory
    variable simRecordAll
    set count [expr {[$prog nb-ins] + [$prog nb-outs] + [$prog nb-locs]}]
    expr {$count * $simHistory <= $simRecordAll ? "all" : [lanes]}
}

# A new program (or none): no run, a control per input, the outputs in the
# lanes (on a reload, the lanes that are still variables).
proc ecview::sim_program {keep} {
    variable chrono
    variable kindOf
    variable prog
    variable simState ""
    stop_run
    reset_inputs
    set lanes [expr {$keep ? $chrono(lanes) : {}}]
    set chrono(lanes) [lmap n $lanes { expr {[info exists kindOf($n)] ? $n : [continue]} }]
    if {![llength $chrono(lanes)] && $prog ne ""} {
        set chrono(lanes) [lrange [$prog vars -kind output] 0 19]
    }
    array set chrono {top 0 pps 24.0 follow 1 cursor "" mouse "" mark {}}
    chrono_schedule
}

proc ecview::sim_reset {} {
    variable prog
    variable simHistory
    variable chrono
    stop_run
    if {$prog eq ""} { say "no program to run: open an ec file first" 1; return 0 }
    if {[catch {$prog sim reset -history $simHistory -record [record_option]} message options]} {
        sim_failed $message [dict get $options -errorcode]
        return 0
    }
    array set chrono {follow 1 mark {}}
    sim_changed
    say "reset: [$prog profile] is before its first step"
    return 1
}

# The run, made by Reset when there is none yet; 0 when it cannot be made.
proc ecview::ensure_run {} {
    variable prog
    if {$prog eq ""} { say "no program to run: open an ec file first" 1; return 0 }
    expr {[has_run] || [sim_reset]}
}

proc ecview::sim_step {} {
    variable run
    if {$run(mode) ne "" || ![ensure_run]} { return 0 }
    return [step_once]
}

# One step with the controls' inputs; its outputs go to the status line.
proc ecview::step_once {} {
    variable prog
    variable chrono
    if {[catch {$prog sim step [control_inputs]} outputs options]} {
        sim_failed $outputs [dict get $options -errorcode]
        return 0
    }
    set chrono(mark) {}
    sim_changed
    set shown [lmap {name value} [lrange $outputs 0 15] {
        string cat $name " = " [expr {$value eq "" ? "nil" : $value}]
    }]
    if {[llength $outputs] > 16} { lappend shown ... }
    say "step [lindex [kept_steps] 1]: [join $shown {, }]"
    return 1
}

# After steps: the state line, the chronogram, the table's value column
# (the cursor goes back to the last step).
proc ecview::sim_changed {} {
    variable T
    variable chrono
    variable simState
    set chrono(cursor) ""
    lassign [kept_steps] first last
    set simState [expr {$last ? "step $last (kept: $first to $last)" : "before the first step"}]
    chrono_schedule
    vtable::redraw $T(vars)
}

# Run N: the first step takes the controls' inputs, the others hold them;
# the run stops after N steps, or when the run-until expression holds.
proc ecview::sim_run {{count ""}} {
    variable run
    variable simCount
    if {$count ne ""} { set simCount $count }
    if {$run(mode) ne "" || ![positive $simCount "Run: the count of steps"] ||
        ![ensure_run] || ![until_valid] || ![step_once]} { return 0 }
    if {[stopped_by_until]} { return 1 }
    set run(left) [expr {$simCount - 1}]
    if {$run(left) > 0} { start_slices run }
    return 1
}

proc ecview::start_slices {mode} {
    variable run
    set run(mode) $mode
    incr run(gen)
    sim_buttons 1
    after idle [list after 0 [list ecview::run_slice $run(gen)]]
}

proc ecview::run_slice {gen} {
    variable run
    variable prog
    variable sliceMs
    variable simUntil
    if {$run(mode) ni {run play} || $run(gen) != $gen} return
    set options {}
    if {[string trim $simUntil] ne ""} { lappend options -until $simUntil }
    set chan ""
    if {$run(mode) eq "run"} {
        set asked [expr {min($run(left), $run(slice))}]
        lappend options -steps $asked
    } else {
        lassign $run(play) format header records
        set chunk [lrange $records $run(next) [expr {$run(next) + $run(slice) - 1}]]
        set asked [llength $chunk]
        set chan [text_channel $header[join $chunk ""]]
        lappend options -inputs $chan -format $format
    }
    set start [clock microseconds]
    set failed [catch {$prog sim run {*}$options} made failure]
    if {$chan ne ""} { close $chan }
    if {$failed} {
        if {$run(mode) eq "play"} { set made [file_line $made] }
        sim_failed $made [dict get $failure -errorcode]
        return
    }
    set spent [expr {max(1, [clock microseconds] - $start)}]
    set run(slice) [expr {max(1, min(10000000, int($asked * $sliceMs * 1000.0 / $spent)))}]
    sim_changed
    incr run(left) -$made
    incr run(next) $made
    if {$made < $asked} {
        # Fewer steps than asked: the run-until expression held, or Ctrl-C.
        if {![stopped_by_until]} { stop_run "stopped at step [lindex [kept_steps] 1]" }
    } elseif {$run(mode) eq "run" && $run(left) <= 0} {
        stop_run "ran to step [lindex [kept_steps] 1]"
    } elseif {$run(mode) eq "play" && $run(next) >= [llength [lindex $run(play) 2]]} {
        stop_run "played $run(next) steps: at step [lindex [kept_steps] 1]"
    } else {
        after idle [list after 0 [list ecview::run_slice $gen]]
    }
}

# Auto: a step every simPeriod milliseconds with the controls' inputs (they
# may change meanwhile), until Pause, a failed step or the run-until
# expression.
proc ecview::sim_auto {{period ""}} {
    variable run
    variable simPeriod
    if {$period ne ""} { set simPeriod $period }
    if {$run(mode) ne "" || ![positive $simPeriod "Auto: the milliseconds between steps"] ||
        ![ensure_run] || ![until_valid]} { return 0 }
    set run(mode) auto
    sim_buttons 1
    set run(token) [add_timer $simPeriod ecview::auto_tick]
    say "auto: a step every $simPeriod ms (Pause, Escape or Ctrl-C stops)"
    return 1
}

# A timer's script: add_timer reports no error of the scripts it runs, so
# they go to the handler of event scripts here (and the run stops). A
# stopped run aborts its timer.
proc ecview::auto_tick {} {
    if {[catch auto_step message options]} {
        stop_run
        {*}[interp bgerror {}] $message $options
    }
}

proc ecview::auto_step {} {
    variable run
    variable simPeriod
    set run(token) ""
    if {![step_once] || [stopped_by_until]} return
    set run(token) [add_timer $simPeriod ecview::auto_tick]
}

# Pause (Escape, Ctrl-C): stops a run; 0 when none was on.
proc ecview::sim_pause {} {
    if {![stop_run]} { return 0 }
    say "paused at step [lindex [kept_steps] 1]"
    return 1
}

proc ecview::stop_run {{message ""}} {
    variable run
    if {$run(mode) eq ""} { return 0 }
    if {$run(token) ne ""} { catch {abort_timer $run(token)} }
    array set run {mode "" token "" play {}}
    sim_buttons 0
    if {$message ne ""} { say $message }
    return 1
}

proc ecview::sim_running {} { variable run; return $run(mode) }

# SIGINT from the terminal stops a run; without one it ends the viewer.
proc ecview::interrupt {} {
    if {![sim_pause]} { exit 0 }
}

# Whether a control's text is a whole number above 0 (within 32 bits);
# says so when it is not.
proc ecview::positive {text what} {
    if {[string is integer -strict $text] && $text >= 1} { return 1 }
    say "$what must be a whole number above 0, not '$text'" 1
    return 0
}

# The run-until expression is a bool expression of the program (or empty).
proc ecview::until_valid {} {
    variable prog
    variable simUntil
    if {[string trim $simUntil] eq ""} { return 1 }
    if {[catch {$prog exp-type $simUntil} type options]} {
        say "Run until: [expression_error [dict get $options -errorcode] $simUntil]" 1
        return 0
    }
    if {$type ne "bool"} { say "Run until: '$simUntil' is $type, not bool" 1; return 0 }
    return 1
}

# Stops the run when the run-until expression holds at the last step.
proc ecview::stopped_by_until {} {
    variable prog
    variable simUntil
    if {[string trim $simUntil] eq "" || [catch {$prog sim eval $simUntil} holds] ||
        $holds ne "1"} { return 0 }
    stop_run
    say "step [lindex [kept_steps] 1]: $simUntil holds"
    return 1
}

# A reset, step or run that failed: the run stops, the status line says
# why (the message past "p sim SUB : "), the variable concerned is selected
# and the step that failed is marked.
proc ecview::sim_failed {message code} {
    variable chrono
    variable kindOf
    variable prog
    stop_run
    set text [lindex [split $message \n] end]
    regexp {^=> \S+ sim \S+ : (.*)$} $text - text
    set name ""
    switch -- [lindex $code 1] {
        RUNTIME {
            lassign $code - - step name
            set chrono(mark) [list $step $text]
        }
        ASSERT {
            lassign $code - - step index
            set chrono(mark) [list $step $text]
            set assertion [lindex [$prog asserts] $index]
            append text ": $assertion"
            foreach word [regexp -all -inline {[A-Za-z_][A-Za-z0-9_]*} $assertion] {
                if {[info exists kindOf($word)] && $kindOf($word) ne "const"} {
                    set name $word
                    break
                }
            }
        }
        INPUT { set name [lindex $code 2] }
        CHECK - UNBOUND { set text "cannot run: $text" }
    }
    if {$name ne "" && [info exists kindOf($name)]} { select $name }
    chrono_schedule
    say $text 1
}
