# Runs one tcltest file in a tclsh with Tk loaded and exits with status 1
# when any of its tests failed, when it raised an error, or when it ran no test.
# tcltest itself never sets the exit status, and with Tk loaded the script
# would fall into the event loop instead of ending: both are handled here.
package require Tk
wm withdraw .
package require tcltest 2

set testFile [file normalize [lindex $argv 0]]
set ::runOne(total) 0
set ::runOne(failed) 0
set ::runOne(passed) 0
set ::runOne(skipped) 0
set ::runOne(errors) 0

# Record the counters before tcltest resets them; exit through our own exit.
rename ::tcltest::cleanupTests ::tcltest::RunOneCleanup
proc ::tcltest::cleanupTests {args} {
    foreach k {Total Passed Skipped Failed} {
        set ::runOne([string tolower $k]) $::tcltest::numTests($k)
    }
    uplevel 1 [list ::tcltest::RunOneCleanup {*}$args]
}

rename exit ::RunOneRealExit
proc exit {{status 0}} {
    if {$::runOne(failed) > 0 || $::runOne(errors) > 0 || $::runOne(total) == 0} {
        set status 1
    }
    set summary "[file tail $::testFile]: $::runOne(passed) passed, $::runOne(failed) failed, $::runOne(skipped) skipped"
    if {$::runOne(errors) > 0} { append summary ", error while sourcing" }
    puts $summary
    ::RunOneRealExit $status
}

::tcltest::configure -testdir [file dirname $testFile] -tmpdir [pwd]
if {[catch {uplevel #0 [list source $testFile]} msg opts]} {
    puts stderr "error while running $testFile: $msg"
    puts stderr [dict get $opts -errorinfo]
    # Kept apart from the test counters, which cleanupTests below overwrites.
    incr ::runOne(errors)
}
# A file that did not call cleanupTests still gets its counters read.
if {$::tcltest::numTests(Total) > 0} {
    ::tcltest::cleanupTests
}
exit 0
