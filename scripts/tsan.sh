#!/usr/bin/env bash
# Runs the four-thread test of tests/tcl/safety.test (loads, checks,
# expressions and timers in four threads at once, 150 rounds each) under
# ThreadSanitizer, ROUNDS times (default 10):
#
#   scripts/tsan.sh [BUILD_DIR]
#
# BUILD_DIR (default build-tsan/) is configured with -DZINDLE_TSAN=ON and
# built here. tclsh is not instrumented, so the runtime is preloaded;
# scripts/tsan.supp leaves out the races inside Tcl, Tk and Xlib. Fails on
# any failed test or any ThreadSanitizer report. Needs the Thread package
# (tcl-thread) and a display (a private X server when DISPLAY is unset). Not
# part of scripts/test.sh: run by hand.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-tsan}
if [ -z "${DISPLAY:-}" ]; then
  exec "$here/scripts/with-display.sh" "$0" "$build"
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZINDLE_TSAN=ON \
        -DZINDLE_TESTS=OFF >/dev/null || exit 2
fi
cmake --build "$build" -j "$(nproc)" --target zindle >/dev/null || { echo "tsan: build failed" >&2; exit 2; }
runtime=$(g++ -print-file-name=libtsan.so)
[ -f "$runtime" ] || { echo "tsan: no libtsan.so" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for i in $(seq "${ROUNDS:-10}"); do
  log="$work/run$i.log"
  (cd "$work" && ZINDLE_BUILD="$build" ZINDLE_SOURCE="$here" LUSTRE_INSTALL="$work" \
     TCLTEST_OPTIONS="-match safety-threads" LD_PRELOAD="$runtime" \
     TSAN_OPTIONS="suppressions=$here/scripts/tsan.supp report_signal_unsafe=0" \
     tclsh "$here/tests/tcl/run_one.tcl" "$here/tests/tcl/safety.test") > "$log" 2>&1
  status=$?
  reports=$(grep -c 'WARNING: ThreadSanitizer' "$log")
  echo "tsan: run $i: $(tail -1 "$log"), $reports ThreadSanitizer reports"
  if [ $status -ne 0 ] || [ "$reports" -ne 0 ]; then failed=1; cat "$log"; fi
done
exit $failed
