# Costs of program objects and interpreters, in a fresh process:
#   tclsh bench/objects.tcl LIBZINDLE
# Prints one line of "name value" pairs:
#   obj_bytes    resident memory per empty object (10,000 created)
#   create_ms    time to create those 10,000 objects
#   delete_ms    time to delete them, in creation order
#   churn_kb     growth of the resident memory over 1,000 interpreters that
#                each load Tk and the module, make an object with a program
#                and a Ctrl-C script, and are deleted (after 50 to warm up)
#   tk_churn_kb  the same 1,000 interpreters with Tk alone: what Tk leaves
package require Tk
wm withdraw .
set lib [lindex $argv 0]
load $lib Quorl

source [file join [file dirname [info script]] measure.tcl]

set n 10000
set before [status_kb VmRSS]
set create [elapsed { for {set i 0} {$i < $n} {incr i} { ecprg p$i } } ms]
set perObject [expr {([status_kb VmRSS] - $before) * 1024 / $n}]
set delete [elapsed { for {set i 0} {$i < $n} {incr i} { rename p$i {} } } ms]

proc churn {count withModule} {
    for {set i 0} {$i < $count} {incr i} {
        interp create sub
        load {} Tk sub
        if {$withModule} {
            sub eval [list load $::lib Quorl]
            sub eval {ecprg p; p add-in int x; p add-out int y; p exp-type {x + 1}; sigint {puts stop}}
        }
        interp delete sub
    }
}
set growth {}
foreach withModule {1 0} {
    churn 50 $withModule
    set r0 [status_kb VmRSS]
    churn 1000 $withModule
    lappend growth [expr {[status_kb VmRSS] - $r0}]
}
puts "obj_bytes $perObject create_ms $create delete_ms $delete churn_kb [lindex $growth 0]\
    tk_churn_kb [lindex $growth 1]"
exit 0
