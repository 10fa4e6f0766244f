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

proc rss {} {
    set f [open /proc/self/status]
    regexp {VmRSS:\s+(\d+)} [read $f] -> kb
    close $f
    return $kb
}
proc ms {script} {
    set t0 [clock microseconds]
    uplevel 1 $script
    return [format %.1f [expr {([clock microseconds] - $t0) / 1e3}]]
}

set n 10000
set before [rss]
set create [ms { for {set i 0} {$i < $n} {incr i} { ecprg p$i } }]
set perObject [expr {([rss] - $before) * 1024 / $n}]
set delete [ms { for {set i 0} {$i < $n} {incr i} { rename p$i {} } }]

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
    set r0 [rss]
    churn 1000 $withModule
    lappend growth [expr {[rss] - $r0}]
}
puts "obj_bytes $perObject create_ms $create delete_ms $delete churn_kb [lindex $growth 0]\
    tk_churn_kb [lindex $growth 1]"
exit 0
