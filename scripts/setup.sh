#!/usr/bin/env bash
# Installs what the build needs from Debian's packages (when run as root),
# then configures and builds the project into build/ (or the directory
# given), showing each step and the build's progress.
#
#   scripts/setup.sh [--demo] [BUILD_DIR [CMAKE_OPTION ...]]
#
# With --demo, only what the module and the demo need (no unit tests); by
# default, also what the tests, the fuzz run and the static analysis need.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
demo=0
if [ "${1:-}" = --demo ]; then demo=1; shift; fi
build=${1:-$here/build}
shift || true

# The module: compiler, CMake, bison, Tcl/Tk; Xvfb runs it without a display.
packages=(cmake make g++ tcl8.6 tcl8.6-dev tk8.6 tk8.6-dev bison xvfb xauth)
tests=ON
if [ "$demo" = 1 ]; then
  tests=OFF
else
  packages+=(tcl-thread googletest libgtest-dev   # the unit tests, the thread test
             clang libclang-rt-14-dev             # clang: the fuzz run of the test suite
             x11-apps netpbm                      # xwd + pnmtopng: the viewer screenshot test
             clang-tidy cppcheck libbenchmark-dev)  # scripts/lint.sh (bench/ needs the benchmark headers)
fi

echo "setup: checking the Debian packages (${#packages[@]})"
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" = 0 ]; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q "${missing[@]}"
  else
    echo "setup: missing packages; run as root or install them with:" >&2
    echo "  sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
else
  echo "setup: all installed"
fi

echo "setup: configuring $build"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZINDLE_TESTS=$tests "$@" >/dev/null
echo "setup: building $build"
cmake --build "$build" -j "$(nproc)"
