# What bench/run.sh and bench/sim.sh share, sourced with $targets set to
# the targets they need: the source and build folders and the sizes from
# the command line (BUILD_DIR first, configured as Release with
# -DZINDLE_BENCH=ON if new), the targets built, a temporary folder removed
# on exit (LUSTRE_INSTALL defaults to it), xvfb-run when there is no
# display, and median (of the numbers on standard input).
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build-bench}
[ $# -gt 0 ] && shift
sizes=${*:-10000 100000 1000000}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZINDLE_BENCH=ON >/dev/null
fi
# shellcheck disable=SC2086 # several targets
cmake --build "$build" -j2 --target $targets >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
: "${LUSTRE_INSTALL:=$tmp}"
export LUSTRE_INSTALL
x=""
[ -z "${DISPLAY:-}" ] && x="xvfb-run -a"
median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
