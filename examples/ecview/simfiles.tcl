# simfiles.tcl: the files of a run: inputs played from a CSV or RIF file
# (read here, cut into records, each slice of records given to sim run
# through a channel on its text), the trace saved as CSV, RIF or VCD, and
# the dialogs that choose them.
namespace eval ecview {
    variable textChannels           ;# array: channel -> {bytes offset} (text_channel)
}

# Plays the inputs of a CSV or RIF file (by its extension, else by its
# first character), from a Reset, in slices.
proc ecview::sim_load {path} {
    variable run
    if {$run(mode) ne "" || ![until_valid]} { return 0 }
    if {[catch {open $path} f]} { say "cannot read [file tail $path]: $f" 1; return 0 }
    set text [read $f]
    close $f
    set format [string tolower [string range [file extension $path] 1 end]]
    if {$format ni {csv rif}} {
        set format [expr {[string index [string trim $text] 0] eq "#" ? "rif" : "csv"}]
    }
    # The header (the CSV's first line, what comes before the RIF's first
    # #step) goes with each slice of records; lines holds the line of the
    # file where each record starts.
    if {$format eq "csv"} {
        set rows [split [string trimright $text \n] \n]
        set header "[lindex $rows 0]\n"
        set records [lmap l [lrange $rows 1 end] { string cat $l \n }]
    } else {
        set starts [lmap at [regexp -all -inline -indices -line {^#step} $text] { lindex $at 0 }]
        set header [string range $text 0 [expr {[lindex $starts 0] - 1}]]
        set records {}
        foreach start $starts end [lrange $starts 1 end] {
            lappend records [string range $text $start [expr {$end eq "" ? "end" : $end - 1}]]
        }
    }
    set line [expr {[regexp -all \n $header] + 1}]
    set lines {}
    foreach r $records {
        lappend lines $line
        incr line [regexp -all \n $r]
    }
    if {![llength $records]} { say "[file tail $path]: no steps to play" 1; return 0 }
    if {![sim_reset]} { return 0 }
    set run(play) [list $format $header $records $lines]
    set run(next) 0
    start_slices play
    say "playing [file tail $path]: [llength $records] steps"
    return 1
}

# An error of sim run on a slice names a line of the slice: the file's
# line is said instead.
proc ecview::file_line {message} {
    variable run
    lassign $run(play) format header records lines
    if {![regexp {^(.*? line )(\d+)(:.*)$} $message - before line after]} { return $message }
    set first [lindex $lines $run(next)]
    return "$before[expr {$first + $line - [regexp -all \n $header] - 1}]$after"
}

# A channel that reads a text: sim run reads a slice of records from it.
proc ecview::text_channel {text} {
    variable textChannels
    set chan [chan create read ecview::text_channel_op]
    set textChannels($chan) [list [encoding convertto utf-8 $text] 0]
    return $chan
}

proc ecview::text_channel_op {op chan args} {
    variable textChannels
    switch -- $op {
        initialize { return {initialize finalize watch read} }
        finalize { unset -nocomplain textChannels($chan) }
        read {
            lassign $textChannels($chan) bytes at
            set count [lindex $args 0]
            set textChannels($chan) [list $bytes [expr {$at + $count}]]
            return [string range $bytes $at [expr {$at + $count - 1}]]
        }
    }
}

# Writes the trace of the steps kept (the format by the file's extension
# when not given): CSV and RIF hold the inputs and outputs, so that they
# play back as inputs; the VCD holds the lanes too.
proc ecview::sim_save {path {format ""}} {
    variable prog
    if {$format eq ""} { set format [string tolower [string range [file extension $path] 1 end]] }
    if {$format ni {csv rif vcd}} {
        say "save the trace as .csv, .rif or .vcd, not '[file tail $path]'" 1
        return 0
    }
    lassign [kept_steps] first last
    if {$last == 0} { say "no steps to save: Reset, then Step or Run" 1; return 0 }
    set options [list -format $format]
    if {$format eq "vcd"} { lappend options -vars [trace_vars] }
    if {[catch {
        set chan [open $path w]
        try { $prog sim trace {*}$options -channel $chan } finally { close $chan }
    } message]} {
        say "cannot save [file tail $path]: [lindex [split $message \n] end]" 1
        return 0
    }
    say "saved steps $first to $last in [file tail $path]"
    return 1
}

# The inputs, the outputs and the lanes whose steps are kept, once each.
proc ecview::trace_vars {} {
    variable prog
    set vars [concat [$prog vars -kind input] [$prog vars -kind output]]
    foreach name [lanes] {
        if {$name ni $vars && [recorded $name]} { lappend vars $name }
    }
    return $vars
}

proc ecview::choose_inputs {} {
    variable file
    set path [tk_getOpenFile -initialdir [file dirname $file] \
                  -filetypes {{{CSV or RIF inputs} {.csv .rif}} {{all files} *}}]
    if {$path ne ""} { sim_load $path }
}

proc ecview::choose_trace {format} {
    variable file
    set path [tk_getSaveFile -initialdir [file dirname $file] -defaultextension .$format \
                  -initialfile [file rootname [file tail $file]].$format]
    if {$path ne ""} { sim_save $path $format }
}
