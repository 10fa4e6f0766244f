#!/bin/sh
# The engine on generated programs: see bench/README.md ("Running programs").
#   bench/sim.sh [BUILD_DIR] [SIZES...]
# For each size N (default 10000 100000 1000000), gen_run N writes a causal
# program (ints, bools, reals, pre, ->, if; bench/gen_run.cpp). Every figure
# is the median of RUNS fresh processes (default 5, 3 from 1,000,000 up),
# pinned to one core: load and sim reset (s), the engine's memory (bytes per
# equation), sim run with the inputs held (ns per equation per step, over
# STEPS_TOTAL / N steps, default 2e8 equation-steps). Beside it, the compiled
# floor: the same program as straight-line C (gen_run --c), built with
# gcc -O2 -fwrapv up to FLOOR_MAX equations (default 100000), and its ratio.
# Last, sim step from Tcl on examples/counter.ec (microseconds per call).
set -eu
targets="zindle gen_run"
. "$(dirname "$0")/common.sh"

printf '%9s %7s %7s %6s %7s %8s %8s %6s\n' N load reset rs/ld B/eq ns/eq floor_ns ratio
for n in $sizes; do
    runs=${RUNS:-5}
    [ "$n" -ge 1000000 ] && runs=${RUNS:-3}
    steps=$(( ${STEPS_TOTAL:-200000000} / n ))
    [ "$steps" -lt 20 ] && steps=20
    "$build/gen_run" "$n" > "$tmp/p.ec"
    : > "$tmp/res"
    floor=""
    if [ "$n" -le "${FLOOR_MAX:-100000}" ]; then
        "$build/gen_run" --c "$n" > "$tmp/p.c"
        gcc -O2 -fwrapv -o "$tmp/p" "$tmp/p.c"
    fi
    i=0
    while [ $i -lt "$runs" ]; do
        $x taskset -c 0 tclsh "$src/bench/sim_bench.tcl" "$build/libzindle.so" "$tmp/p.ec" "$steps" \
            | awk '{for (i = 1; i < NF; i += 2) print $i, $(i+1)}' >> "$tmp/res"
        if [ -x "$tmp/p" ] && [ "$n" -le "${FLOOR_MAX:-100000}" ]; then
            t0=$(date +%s.%N); taskset -c 0 "$tmp/p" "$steps" >/dev/null; t1=$(date +%s.%N)
            awk -v a="$t0" -v b="$t1" -v s="$steps" -v n="$n" \
                'BEGIN { printf "floor %.6f\n", (b - a) * 1e9 / s / n }' >> "$tmp/res"
        fi
        i=$((i + 1))
    done
    m() { awk -v k="$1" '$1 == k {print $2}' "$tmp/res" | median; }
    ld=$(m load); rs=$(m reset); by=$(m bytes); ns=$(m ns); fl=$(m floor)
    awk -v n="$n" -v ld="$ld" -v rs="$rs" -v by="$by" -v ns="$ns" -v fl="$fl" \
        'BEGIN { f = fl == "" ? "-" : sprintf("%.2f", fl); r = fl == "" ? "-" : sprintf("%.2f", ns / fl)
                 printf "%9d %7.3f %7.3f %6.2f %7.1f %8.2f %8s %6s\n", n, ld, rs, rs / ld, by, ns, f, r }'
    rm -f "$tmp/p"
done
# sim step from Tcl on the counter: microseconds per call.
cat > "$tmp/step.tcl" <<'TCL'
package require Tk
wm withdraw .
load [lindex $argv 0] Quorl
ecprg p
p load [lindex $argv 1]
p sim step {incr 1 reset 0}
puts [format "\nsim step on counter.ec: %.2f us per call" [lindex [time {p sim step {incr 1}} 200000] 0]]
exit 0
TCL
$x taskset -c 0 tclsh "$tmp/step.tcl" "$build/libzindle.so" "$src/examples/counter.ec"
