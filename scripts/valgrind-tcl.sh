#!/usr/bin/env bash
# Runs every Tcl test file (tests/tcl/*.test) under valgrind's memcheck:
#
#   scripts/valgrind-tcl.sh [BUILD_DIR [NAME...]]
#
# NAME restricts the run to tests/tcl/NAME.test. BUILD_DIR (default build/) must be a build WITHOUT sanitizers; the module is
# (re)built there first. Each file runs as CTest runs it (tclsh
# tests/tcl/run_one.tcl FILE, with ZINDLE_BUILD, ZINDLE_SOURCE and
# LUSTRE_INSTALL set, in its own working directory), under one private X
# server when DISPLAY is unset. The Tcl processes the tests start themselves
# (runChild) are traced too; the other programs they start (sh, kill, man and
# its formatters, cmake, xwd, ...) are not.
#
# Fails when a test fails, or when valgrind reports any memory error (invalid
# read, write or free, use of uninitialised values, ...) or any definite leak
# whose allocation stack goes through libzindle.so. scripts/valgrind-tcl.supp
# suppresses what is not ours: blocks that Tcl, Tk, X11, fontconfig and the C
# library allocate once and keep until the process ends.
#
# Slow (about ten minutes on two cores): not part of scripts/test.sh. Logs (text and XML, one
# pair per process) are kept in BUILD_DIR/valgrind/logs/FILE/.
# VALGRIND_TIMEOUT sets the limit per test file in seconds (default 3600).
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" 2>/dev/null && pwd) || { echo "valgrind-tcl: no build directory '${1:-$here/build}'" >&2; exit 2; }

if [ -z "${DISPLAY:-}" ]; then
  exec "$here/scripts/with-display.sh" "$0" "$build" "${@:2}"
fi
command -v valgrind >/dev/null || { echo "valgrind-tcl: valgrind is not installed" >&2; exit 2; }
if grep -q '^ZINDLE_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
  echo "valgrind-tcl: $build is a sanitizer build; valgrind needs a plain one" >&2
  exit 2
fi
cmake --build "$build" -j 2 --target zindle >/dev/null || { echo "valgrind-tcl: build failed" >&2; exit 2; }
tclsh=$(command -v tclsh8.6 || command -v tclsh)

# Tests that cannot run under valgrind, as "FILE TEST-NAME" lines; each
# with its reason.
skips=(
)

# Programs the tests start that are not ours and need no checking.
skip_children='*/sh,*/bash,*/dash,*/env,*/kill,*/man,*/man-db*,*/*roff*,*/grotty,*/preconv,*/tbl,*/eqn,*/pic,*/col,*/less,*/pager,*/more,*/cat,*/zcat,*/gzip,*/cmake,*/xwd,*/xwdtopnm,*/pnmtopng,*/xvfb-run,*/Xvfb,*/xauth'

out=$build/valgrind
rm -rf "$out"
mkdir -p "$out/logs" "$out/work"
status=0
summary=()
tests=("$here"/tests/tcl/*.test)
if [ $# -gt 1 ]; then
  tests=()
  for n in "${@:2}"; do
    [ -f "$here/tests/tcl/$n.test" ] || { echo "valgrind-tcl: no test file tests/tcl/$n.test" >&2; exit 2; }
    tests+=("$here/tests/tcl/$n.test")
  done
fi
for test in "${tests[@]}"; do
  name=$(basename "$test" .test)
  logs=$out/logs/$name
  work=$out/work/$name
  mkdir -p "$logs" "$work"
  skip=""
  for s in "${skips[@]}"; do
    if [ "${s%% *}" = "$name" ]; then skip="$skip ${s#* }"; fi
  done
  start=$SECONDS
  (
    cd "$work" || exit 2
    export ZINDLE_BUILD=$build ZINDLE_SOURCE=$here LUSTRE_INSTALL=$here
    if [ -n "$skip" ]; then export TCLTEST_OPTIONS="-skip {${skip# }}"; fi
    timeout "${VALGRIND_TIMEOUT:-3600}" valgrind --tool=memcheck --leak-check=full \
      --errors-for-leak-kinds=definite --show-leak-kinds=definite,indirect \
      --error-exitcode=99 --num-callers=40 --track-origins=no \
      --suppressions="$here/scripts/valgrind-tcl.supp" \
      --trace-children=yes --trace-children-skip="$skip_children" --child-silent-after-fork=yes \
      --log-file="$logs/vg.%p.log" --xml=yes --xml-file="$logs/vg.%p.xml" \
      "$tclsh" "$here/tests/tcl/run_one.tcl" "$test"
  ) > "$logs/output.txt" 2>&1
  rc=$?
  result=$(grep -E "^$name.test: " "$logs/output.txt" | tail -1)
  [ -n "$result" ] || result="$name.test: no result"
  verdict=$("$tclsh" "$here/scripts/valgrind-report.tcl" "$logs")
  vrc=$?
  line="$result; exit $rc; $((SECONDS - start)) s; $verdict"
  echo "$line"
  summary+=("$line")
  if [ $rc -ne 0 ] || [ $vrc -ne 0 ]; then
    status=1
    "$tclsh" "$here/scripts/valgrind-report.tcl" -details "$logs"
    echo "  (output: $logs/output.txt)"
  fi
done

echo
echo "== valgrind-tcl summary ($build)"
printf '%s\n' "${summary[@]}"
if [ $status -eq 0 ]; then
  echo "valgrind-tcl: no memory error, no definite leak in our code"
else
  echo "valgrind-tcl: FAILED (logs in $out/logs)"
fi
exit $status
