#!/bin/sh
# Load/dump benchmark of generated ec programs: see bench/README.md.
#   bench/run.sh [BUILD_DIR] [SIZES...]
# GEN_FLAGS=--uniform makes every reference of the generated programs go
# anywhere in the program (the worst case for caches); --wrong, --chain and
# --cycle give the shapes that time the check at its extremes (gen_ec.cpp).
# BASE_LIB=path/libzindle.so adds the column base_ld: the load time of that
# other build of the module on the same files, in runs interleaved with
# these (to compare against an earlier version in one session).
# BUILD_DIR must be configured with -DCMAKE_BUILD_TYPE=Release -DZINDLE_BENCH=ON
# (default: build-bench, configured and built here). Sizes default to
# 10000 100000 1000000. Every figure is the median of RUNS fresh processes
# (default 5, 3 from 1,000,000 up), pinned to one core.
set -eu
targets="zindle gen_ec fgetc_scan"
. "$(dirname "$0")/common.sh"
base_run() {
    [ -n "${BASE_LIB:-}" ] || return 0
    $x taskset -c 0 tclsh "$src/bench/load_bench.tcl" "$BASE_LIB" "$tmp/p.ec" "$tmp/d.lus" load \
        | awk '{print "baseload", $2; print "basehwm", $4}' >> "$tmp/res"
}

printf '%9s %6s %6s %6s %7s %5s %6s %5s %6s %6s %6s %7s %6s %6s %7s %6s %6s %6s\n' \
    N MB fgetc load base_ld ld/fl check ck/ld dump names exp_ms expt_ms hwm_MB B/eq base_B ck_B us_ld us_ck
for n in $sizes; do
    runs=${RUNS:-5}
    [ "$n" -ge 1000000 ] && runs=${RUNS:-3}
    "$build/gen_ec" ${GEN_FLAGS:-} "$n" > "$tmp/p.ec"
    : > "$tmp/res"
    i=0
    while [ $i -lt $runs ]; do
        taskset -c 0 "$build/fgetc_scan" "$tmp/p.ec" | awk '{print "fgetc", $1}' >> "$tmp/res"
        # The other build runs first in every other round, so that neither
        # always follows the same process.
        [ $((i % 2)) -eq 1 ] && base_run
        $x taskset -c 0 tclsh "$src/bench/load_bench.tcl" "$build/libzindle.so" "$tmp/p.ec" "$tmp/d.lus" \
            | awk '{for (i = 1; i < NF; i += 2) print $i, $(i+1)}' >> "$tmp/res"
        [ $((i % 2)) -eq 0 ] && base_run
        i=$((i + 1))
    done
    m() { awk -v k="$1" '$1 == k {print $2}' "$tmp/res" | median; }
    bytes=$(wc -c < "$tmp/p.ec")
    fl=$(m fgetc); ld=$(m load); ck=$(m check); dp=$(m dump); nm=$(m names)
    ex=$(m exp); et=$(m exptype); hw=$(m hwm_kb); hc=$(m hwm_ck_kb); bl=$(m baseload); bh=$(m basehwm)
    awk -v n="$n" -v b="$bytes" -v fl="$fl" -v ld="$ld" -v ck="$ck" -v dp="$dp" -v nm="$nm" \
        -v ex="$ex" -v et="$et" -v hw="$hw" -v hc="$hc" -v bl="$bl" -v bh="$bh" \
        'BEGIN { bs = bl == "" ? "-" : sprintf("%.3f", bl)
                 bb = bh == "" ? "-" : sprintf("%.0f", bh * 1024 / n)
                 printf "%9d %6.1f %6.3f %6.3f %7s %5.1f %6.3f %5.2f %6.3f %6.3f %6.3f %7.3f %6.1f %6.0f %7s %6.0f %6.2f %6.2f\n",
                 n, b / 1e6, fl, ld, bs, ld / fl, ck, ck / ld, dp, nm, ex * 1e3, et * 1e3, hw / 1024,
                 hw * 1024 / n, bb, hc * 1024 / n, ld * 1e6 / n, ck * 1e6 / n }'
    awk -v n="$n" -v va="$(m var)" -v de="$(m deps)" -v vs="$(m vars)" -v us="$(m uses)" \
        'BEGIN { printf "%9d %8.1f %8.1f %8.1f %8.1f\n", n, va * 1e6, de * 1e6, vs * 1e3, us * 1e3 }' \
        >> "$tmp/queries"
done
# The program as data: var and deps of one name (us), vars and uses (ms).
printf '\n%9s %8s %8s %8s %8s\n' N var_us deps_us vars_ms uses_ms
cat "$tmp/queries"
