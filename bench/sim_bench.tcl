# One measurement of the engine on one ec file, in a fresh process (run by
# bench/sim.sh):
#   tclsh sim_bench.tcl LIBZINDLE FILE.ec STEPS
# Prints one line of "name value" pairs: seconds for load and sim reset, the
# engine's resident memory per equation (bytes, growth from before the reset
# to after the run), the
# nanoseconds per equation per step of `sim run' with the inputs held, and
# the number of equations.
package require Tk
wm withdraw .
lassign $argv lib file steps
load $lib Quorl
source [file join [file dirname [info script]] measure.tcl]

ecprg p
set tLoad [elapsed {p load $file}]
set equations [expr {[p nb-locs] + [p nb-outs]}]
set before [status_kb VmRSS]
set tReset [elapsed {p sim reset}]
# The first step gives every input; the others hold them.
p sim step {i 5 x 0.25 c 1}
set tRun [elapsed {p sim run -steps $steps}]
# What the engine holds once it runs (its machine code made, what built it
# freed), over what the process held before the reset.
set bytes [expr {([status_kb VmRSS] - $before) * 1024.0 / $equations}]
puts [format "load %s reset %s bytes %.1f ns %.3f equations %d" $tLoad $tReset $bytes \
          [expr {$tRun * 1e9 / $steps / $equations}] $equations]
exit 0
