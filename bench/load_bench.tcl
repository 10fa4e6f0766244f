# One measurement run on one ec file, in a fresh process (run by bench/run.sh):
#   tclsh load_bench.tcl LIBZINDLE FILE.ec DUMPFILE ?load?
# Prints one line of "name value" pairs: seconds for load, check, dump,
# names (the name and type of every input, output and local), exp and
# exp-type of a ten-term expression, var, deps, vars and uses, and the peak
# resident memory (VmHWM) in
# kB after the load (hwm_kb) and after the check (hwm_ck_kb: the checker's
# own tables and its list of diagnostics come on top of the program). With
# `load' at the end, only the load and its peak memory (for a library that
# has nothing else to compare).
package require Tk
wm withdraw .
lassign $argv lib file dumpFile only
load $lib Quorl

source [file join [file dirname [info script]] measure.tcl]

ecprg p
set tLoad [elapsed {p load $file}]
set hwmLoad [status_kb VmHWM]
if {$only eq "load"} {
    puts "load $tLoad hwm_kb $hwmLoad"
    exit 0
}
# The whole check, its list of diagnostics made (the generated programs have
# no errors, but their unused locals give warnings).
set tCheck [elapsed {set diagnostics [p check]}]
set hwmCheck [status_kb VmHWM]
unset diagnostics
set tDump [elapsed {p dump $dumpFile}]
set tNames [elapsed {
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
set tExp [elapsed {p exp $e}]
set tExpType [elapsed {set ty [p exp-type $e]}]
if {$ty ne "int"} { error "exp-type gave '$ty'" }
# The program as data, on the local in the middle: its var and deps (one
# name: independent of the size), vars and uses (linear).
set mid v[expr {[p nb-locs] / 2}]
set tVar [elapsed {p var $mid}]
set tDeps [elapsed {p deps $mid}]
set tVars [elapsed {p vars}]
set tUses [elapsed {p uses $mid}]
puts "load $tLoad check $tCheck dump $tDump names $tNames exp $tExp exptype $tExpType\
    hwm_kb $hwmLoad hwm_ck_kb $hwmCheck var $tVar deps $tDeps vars $tVars uses $tUses"
exit 0
