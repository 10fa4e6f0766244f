# One measurement run on one ec file, in a fresh process (run by bench/run.sh):
#   tclsh load_bench.tcl LIBZINDLE FILE.ec DUMPFILE
# Prints one line of "name value" pairs: seconds for load, check, dump,
# names (the name and type of every input, output and local), exp and
# exp-type of a ten-term expression, and the peak resident memory (VmHWM) in
# kB, which includes the check.
package require Tk
wm withdraw .
lassign $argv lib file dumpFile
load $lib Quorl

proc seconds {script} {
    set t0 [clock microseconds]
    uplevel 1 $script
    return [format %.6f [expr {([clock microseconds] - $t0) / 1e6}]]
}

ecprg p
set tLoad [seconds {p load $file}]
# The figure of check is the checker's own: -max 0 leaves out the making of
# the result list (whose size depends on how many faults the program has).
set tCheck [seconds {p check -max 0}]
set tDump [seconds {p dump $dumpFile}]
set tNames [seconds {
    foreach {count name type} {nb-ins in-name in-type nb-outs out-name out-type nb-locs loc-name loc-type} {
        set n [p $count]
        for {set i 0} {$i < $n} {incr i} {
            p $name $i
            p $type $i
        }
    }
}]
# Ten int terms: locals 0, 3, 7, 8, ... are ints on the base clock in every
# generated program of at least 25 locals.
set e "v0 + v3 + v7 + v8 + v11 + v15 + v16 + v19 + v23 + v24"
set tExp [seconds {p exp $e}]
set tExpType [seconds {set ty [p exp-type $e]}]
if {$ty ne "int"} { error "exp-type gave '$ty'" }
set hwm 0
set f [open /proc/self/status]
foreach line [split [read $f] \n] {
    if {[regexp {^VmHWM:\s+(\d+)} $line -> hwm]} break
}
close $f
puts "load $tLoad check $tCheck dump $tDump names $tNames exp $tExp exptype $tExpType hwm_kb $hwm"
exit 0
