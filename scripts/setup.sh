#!/usr/bin/env bash
# Installs what the build needs from Debian's packages (when run as root),
# then configures and builds the project into build/ (or $1).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true

packages=(cmake make g++ tcl8.6 tcl8.6-dev tk8.6 tk8.6-dev tcl-thread bison xvfb xauth googletest libgtest-dev
          clang libclang-rt-14-dev   # clang: the fuzz run of the test suite
          x11-apps netpbm            # xwd + pnmtopng: the viewer screenshot test
          clang-tidy cppcheck libbenchmark-dev)  # scripts/lint.sh (bench/ needs the benchmark headers)
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
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
  else
    echo "setup: missing packages; run as root or install them with:" >&2
    echo "  sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
fi

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
