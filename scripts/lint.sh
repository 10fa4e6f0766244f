#!/usr/bin/env bash
# Static analysis of our code (corvel/, quorl/, zindle/, tests/unit/,
# tests/fuzz/, bench/; not the bison-generated parser) with clang-tidy
# (.clang-tidy, tests/unit/.clang-tidy) and cppcheck (.cppcheck-suppressions).
# Configures a clang build directory ($1, default build-lint) with compile
# commands for every target (fuzz and bench ones included), generates the
# parser header the reader includes, and runs both tools on 2 jobs.
# Exits non-zero on any finding.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
lint=${1:-$here/build-lint}
jobs=${LINT_JOBS:-2}
start=$SECONDS
cd "$here"

for tool in clang-tidy cppcheck clang++ python3; do
  command -v "$tool" >/dev/null || { echo "lint: $tool not found (scripts/setup.sh installs it)" >&2; exit 2; }
done

# Benchmarks need Google Benchmark's headers; without them bench/ is skipped (said below).
bench=OFF
if [ -f /usr/include/benchmark/benchmark.h ]; then bench=ON; fi
# Configured every time: new source files enter the compile commands at once.
CC=clang CXX=clang++ cmake -S "$here" -B "$lint" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DZINDLE_TESTS=ON -DZINDLE_FUZZ=ON -DZINDLE_BENCH=$bench >/dev/null
# The reader includes the header bison writes; building the parser's object makes it.
cmake --build "$lint" --target generated/ecprg.tab.o >/dev/null

# Our translation units, as listed in the compile commands.
dirs='corvel|quorl|zindle|tests/unit|tests/fuzz|bench'
python3 - "$lint/compile_commands.json" "$here" "$dirs" >"$lint/lint-files.txt" <<'PY'
import json, re, sys
db, root, dirs = sys.argv[1:4]
ours = re.compile(re.escape(root) + r'/(' + dirs + r')/.*\.cpp$')
for f in sorted({e['file'] for e in json.load(open(db))}):
    if ours.match(f):
        print(f)
PY
nfiles=$(wc -l <"$lint/lint-files.txt")
[ "$bench" = ON ] || echo "lint: bench/ skipped (Google Benchmark headers not installed)"

# ---------------------------------------------------------------- clang-tidy
tidy_log="$lint/clang-tidy.log"
echo "== clang-tidy ($nfiles files, $jobs jobs)"
tidy_status=0
if command -v run-clang-tidy >/dev/null; then
  run-clang-tidy -quiet -j "$jobs" -p "$lint" "^$here/($dirs)/.*\\.cpp\$" >"$tidy_log" 2>&1 || tidy_status=$?
else
  xargs -P "$jobs" -n 1 clang-tidy --quiet -p "$lint" <"$lint/lint-files.txt" >"$tidy_log" 2>&1 || tidy_status=$?
fi
# Colours off; the command lines run-clang-tidy echoes and clang-tidy's counters dropped.
sed -i 's/\x1b\[[0-9;]*m//g' "$tidy_log"
grep -vE '^(clang-tidy(-[0-9]+)? |[0-9]+ (warnings?|errors?)( and [0-9]+ errors?)? generated|Suppressed [0-9]+ warnings|Use -header-filter|Error while processing)' \
  "$tidy_log" || true
tidy_count=$( { grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error):' "$tidy_log" || true; } | sort -u | wc -l)
if [ "$tidy_status" -ne 0 ] && [ "$tidy_count" -eq 0 ]; then tidy_count=1; fi  # failed without a diagnostic

# ---------------------------------------------------------------- cppcheck
cppcheck_log="$lint/cppcheck.log"
mkdir -p "$lint/cppcheck"
echo "== cppcheck"
filters=()
for d in ${dirs//|/ }; do filters+=("--file-filter=$here/$d/*"); done
cppcheck_status=0
cppcheck --project="$lint/compile_commands.json" "${filters[@]}" \
  --library=googletest --library=posix --library=gnu \
  --enable=warning,performance,portability --inline-suppr \
  --suppressions-list="$here/.cppcheck-suppressions" --error-exitcode=1 \
  -j "$jobs" --cppcheck-build-dir="$lint/cppcheck" --quiet \
  --template='{file}:{line}:{column}: {severity}: {message} [{id}]\n{code}' \
  >"$cppcheck_log" 2>&1 || cppcheck_status=$?
cat "$cppcheck_log"
cppcheck_count=$(grep -cE '^[^ ]+:[0-9]+:[0-9]+: [a-z]+: ' "$cppcheck_log" || true)
if [ "$cppcheck_status" -ne 0 ] && [ "$cppcheck_count" -eq 0 ]; then cppcheck_count=1; fi

elapsed=$((SECONDS - start))
if [ "$tidy_count" -eq 0 ] && [ "$cppcheck_count" -eq 0 ]; then
  echo "lint: clean ($nfiles files; clang-tidy 0, cppcheck 0) in $elapsed s"
  exit 0
fi
echo "lint: FAILED: clang-tidy $tidy_count finding(s), cppcheck $cppcheck_count finding(s) ($nfiles files; logs in $lint) in $elapsed s" >&2
exit 1
