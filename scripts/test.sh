#!/usr/bin/env bash
# Sets everything up, builds, and runs every test (C++ units and Tcl scripts)
# twice: on the normal build (build/) and on a build with AddressSanitizer
# and UndefinedBehaviorSanitizer (build-san/); then a short fuzz run of the
# reader (build-fuzz/). Static analysis (scripts/lint.sh, build-lint/) runs
# after the normal build. ZINDLE_BUILD_DIR moves the build directories
# (DIR, DIR-lint, DIR-san, DIR-fuzz).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${ZINDLE_BUILD_DIR:-$here/build}
start=$SECONDS

echo "== normal build"
"$here/scripts/setup.sh" "$build"
(cd "$build" && "$here/scripts/with-display.sh" --private ctest --output-on-failure -j "$(nproc)")

echo "== static analysis"
"$here/scripts/lint.sh" "$build-lint"

echo "== sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer)"
"$here/scripts/setup.sh" "$build-san" -DZINDLE_SANITIZE=ON
(cd "$build-san" && "$here/scripts/with-display.sh" --private ctest --output-on-failure -j "$(nproc)")

echo "== short fuzz run"
"$here/tests/fuzz/run_short.sh" "$build-fuzz"

echo "test.sh: all passed (normal build, static analysis, sanitizer build, fuzz run) in $((SECONDS - start)) s"
