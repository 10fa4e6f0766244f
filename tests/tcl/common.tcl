# Shared set-up of the Tcl tests: loads the freshly built module once.
# ZINDLE_BUILD and ZINDLE_SOURCE are set by CTest.
package require tcltest 2
namespace import -force ::tcltest::*

set ::zindleBuild [file normalize $::env(ZINDLE_BUILD)]
set ::zindleSource [file normalize $::env(ZINDLE_SOURCE)]
set ::zindleLib [file join $::zindleBuild libzindle.so]
if {![llength [info commands ecprg]] && ![llength [info commands help]]} {
    load $::zindleLib Quorl
}

# Runs a Tcl script in a fresh tclsh and returns {exit-status stdout stderr}.
# For what must happen in a new process (load failures, signals, output
# written by the C library). The child gets Tk (unless withTk is 0), the
# variable zindleLib, and ends with `exit 0' after the script, since with Tk
# it would otherwise wait in the event loop. `env' is a dict of environment
# changes; the value <unset> removes a variable. stdout and stderr are read
# from files, so they come back exactly, whatever the exit status; a child
# killed by a signal gives the status -1.
proc runChild {script {env {}} {withTk 1}} {
    set n [incr ::childCount]
    set preamble [list set zindleLib $::zindleLib]\n
    if {$withTk} { append preamble "package require Tk\nwm withdraw .\n" }
    set f [makeFile "$preamble$script\nexit 0\n" child$n.tcl]
    # Only the changed variables are saved and put back: unsetting the whole
    # env array does not reliably reach the environment of later children.
    set saved {}
    foreach {k v} $env {
        if {[info exists ::env($k)]} { dict set saved $k $::env($k) } else { dict set saved $k <unset> }
        if {$v eq "<unset>"} { unset -nocomplain ::env($k) } else { set ::env($k) $v }
    }
    set outFile [file join [temporaryDirectory] child$n.out]
    set errFile [file join [temporaryDirectory] child$n.err]
    set status 0
    if {[catch {exec [info nameofexecutable] $f > $outFile 2> $errFile} msg opts]} {
        set code [dict get $opts -errorcode]
        if {[lindex $code 0] eq "CHILDSTATUS"} {
            set status [lindex $code 2]
        } else {
            set status -1
        }
    }
    dict for {k v} $saved {
        if {$v eq "<unset>"} { unset -nocomplain ::env($k) } else { set ::env($k) $v }
    }
    set result [list $status]
    foreach name [list $outFile $errFile] {
        set fh [open $name]; lappend result [read $fh]; close $fh
        file delete $name
    }
    removeFile child$n.tcl
    return $result
}
set ::childCount 0
# Deletes the program objects p and q the tests make, where they exist.
proc deleteObjects {} {
    foreach o {p q} { if {[llength [info commands $o]]} { rename $o {} } }
}
# Runs the {call expected} rows in the caller, in order, and returns those
# that differ as {call got expected}. A result is compared as it is; an error
# as "! " and what follows the exact prefix "Quorl: bad `OBJ' call\n=> ",
# OBJ being the call's first word ("!! message" without that prefix), then
# with `withCode' a blank and the error code. Variables in `expected' are
# substituted in the caller.
proc checkRows {rows {withCode 0}} {
    set bad {}
    foreach {call expected} $rows {
        set expected [uplevel 1 [list subst -nocommands -nobackslashes $expected]]
        if {[catch {uplevel 1 $call} got]} {
            set prefix "Quorl: bad `[lindex $call 0]' call\n=> "
            if {[string first $prefix $got] == 0} {
                set got "! [string range $got [string length $prefix] end]"
            } else { set got "!! $got" }
            if {$withCode} { append got " $::errorCode" }
        }
        if {$got ne $expected} { lappend bad $call $got $expected }
    }
    return $bad
}
