#!/usr/bin/env bash
# Sets everything up, then runs the demo script on the shipped example program.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" "$here/build" >/dev/null
export LUSTRE_INSTALL="$here"
exec "$here/scripts/with-display.sh" tclsh "$here/examples/demo.tcl" "$here/build" "$@"
