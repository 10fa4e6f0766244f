#!/usr/bin/env bash
# Short, reproducible fuzz run of the reader: builds the libFuzzer targets
# with clang into a build directory ($1, default build-fuzz) and runs each
# from its seed corpus with a fixed seed and a fixed number of runs. Every
# seed (crash inputs found earlier included) is replayed first. New inputs
# go to a scratch corpus inside the build directory, never into the seeds.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build-fuzz}
runs=${FUZZ_RUNS:-20000}

CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZINDLE_FUZZ=ON -DZINDLE_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_program fuzz_expression

for target in program expression; do
  work="$build/fuzz-work/$target"
  rm -rf "$work"
  mkdir -p "$work"
  echo "fuzz_$target: -seed=1 -runs=$runs"
  # Only the closing lines of libFuzzer's log are shown unless it fails.
  if ! "$build/fuzz_$target" -seed=1 -runs="$runs" -max_len=4096 -timeout=10 -dict="$here/tests/fuzz/ec.dict" \
       -artifact_prefix="$work/" "$work" "$here/tests/fuzz/seeds/$target" \
       >"$work/log" 2>&1; then
    cat "$work/log"
    echo "fuzz_$target: FAILED (inputs in $work)" >&2
    exit 1
  fi
  grep -E "DONE|^Done" "$work/log"
done
