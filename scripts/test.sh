#!/usr/bin/env bash
# Sets everything up, builds, and runs every test (C++ units and Tcl scripts).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" "$here/build"
cd "$here/build"
"$here/scripts/with-display.sh" ctest --output-on-failure -j "$(nproc)"
