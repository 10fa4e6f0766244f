# diagnostics.tcl: the list of what `check' finds (errors first; warnings
# can be hidden), or the error of a file that did not read. A click shows
# the place in the file's own text and selects the diagnostic's subject.
namespace eval ecview {
    variable diags {}           ;# the check's diagnostics, as listed
    variable warnings 1         ;# list warnings too
}

# The list and its bar (what it holds, the warnings switch), in the frame f.
proc ecview::build_diagnostics {f} {
    variable W
    variable T
    ttk::frame $f
    ttk::frame $f.bar
    set W(diaglabel) [ttk::label $f.bar.l -text Diagnostics -anchor w]
    ttk::checkbutton $f.bar.w -text warnings -variable ecview::warnings \
        -command ecview::run_check
    pack $f.bar.w -side right
    pack $f.bar.l -side left -fill x -expand 1 -padx 4
    pack $f.bar -side top -fill x
    set T(diags) [vtable::create $f.t {
        {severity severity w 70 0} {line line e 50 0} {column col e 40 0}
        {message message w 400 1}
    } ecview::diag_row ecview::jump]
    set W(diags) $T(diags).tv
    $W(diags) tag configure error -foreground #b00020
    vtable::tagcommand $T(diags) ecview::diag_tags
    pack $T(diags) -fill both -expand 1
    return $f
}

proc ecview::reset_diagnostics {} {
    variable T
    variable W
    vtable::setkeys $T(diags) {}
    variable diags {}
    $W(diaglabel) configure -text Diagnostics
}

# The check as a background task (one slice).
proc ecview::check_task {} {
    run_check
    variable done
    set done(check_task) 1
    return 0
}

proc ecview::run_check {} {
    variable T
    variable prog
    variable diags
    variable warnings
    variable W
    if {$prog eq ""} return
    # Errors first, each kind in the order of the file.
    set found [$prog check -warnings $warnings]
    set diags [concat [lsearch -all -inline -exact -index 1 $found error] \
                   [lsearch -all -inline -exact -index 1 $found warning]]
    set errors [llength [lsearch -all -exact -index 1 $diags error]]
    set text "Diagnostics: [plural $errors error]"
    if {$warnings} {
        append text ", [plural [expr {[llength $diags] - $errors}] warning]"
    }
    if {![llength $diags]} { set text "Diagnostics: none, the program is well formed" }
    $W(diaglabel) configure -text $text
    set keys {}
    for {set i 0} {$i < [llength $diags]} {incr i} { lappend keys $i }
    vtable::setkeys $T(diags) $keys
    set last [lindex $diags end]
    if {$last ne ""} {
        set t $T(diags)
        vtable::fit $t severity [expr {$errors ? "error" : "warning"}]
        set lines [lsearch -all -inline -index 3 -subindices $diags *]
        vtable::fit $t line [list [tcl::mathfunc::max {*}$lines]]
    }
}

# A file that did not read: its error is the one diagnostic.
proc ecview::show_load_error {message line column} {
    variable T
    variable W
    variable diags [list [dict create severity error line $line column $column code load \
                              subject "" message $message]]
    vtable::setkeys $T(diags) {0}
    $W(diaglabel) configure -text "Diagnostics: the file was not read"
}

proc ecview::diag_row {i} {
    variable diags
    set d [lindex $diags $i]
    list [dict get $d severity] [dict get $d line] [dict get $d column] [dict get $d message]
}

proc ecview::diag_tags {i} {
    variable diags
    dict get [lindex $diags $i] severity
}

proc ecview::diagnostics {} { variable diags; return $diags }

# Goes to a diagnostic: its line and column in the Source tab (the lines
# are the file's), and its subject, when it is a name, in the table, the
# Lustre text and the uses list.
proc ecview::jump {i} {
    variable T
    variable diags
    variable kindOf
    variable W
    set d [lindex $diags $i]
    if {$d eq ""} { return 0 }
    vtable::select $T(diags) $i
    set subject [dict get $d subject]
    if {$subject ne "" && [info exists kindOf($subject)]} { select $subject }
    show_source
    $W(notebook) select 1
    update idletasks
    set line [dict get $d line]
    if {$line > 0} {
        set tags [expr {[dict get $d severity] eq "error" ? "errline errcol" : "here herecol"}]
        foreach tag {here herecol errline errcol} { $W(source) tag remove $tag 1.0 end }
        mark_place $W(source) $line [dict get $d column] {*}$tags
    }
    say "line $line: [dict get $d message]" [expr {[dict get $d severity] eq "error"}]
    return 1
}
