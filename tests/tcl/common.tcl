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

# Runs a Tcl script in a fresh tclsh with Tk and the module's environment;
# returns {exit-status stdout stderr}. For what must happen in a new process
# (load failures, signals, output written by the C library).
proc runChild {script {env {}}} {
    set f [makeFile $script child[incr ::childCount].tcl]
    set saved [array get ::env]
    foreach {k v} $env {
        if {$v eq "<unset>"} { unset -nocomplain ::env($k) } else { set ::env($k) $v }
    }
    set errFile [file join [temporaryDirectory] child$::childCount.err]
    set status 0
    if {[catch {exec [info nameofexecutable] $f 2> $errFile} out opts]} {
        set code [lindex [dict get $opts -errorcode] 0]
        if {$code eq "CHILDSTATUS"} {
            set status [lindex [dict get $opts -errorcode] 2]
        } else {
            set status -1
        }
    }
    array unset ::env
    array set ::env $saved
    set fh [open $errFile]; set err [read $fh]; close $fh
    file delete $errFile
    return [list $status $out $err]
}
set ::childCount 0
