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
