#!/usr/bin/env bash
# The demo: installs what it needs and builds the module (scripts/setup.sh
# --demo), then runs examples/demo.tcl on the shipped example program
# under an X display (a private Xvfb server when there is none).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
echo "demo: 1/2 packages and build"
"$here/scripts/setup.sh" --demo "$here/build"
echo "demo: 2/2 examples/demo.tcl"
export LUSTRE_INSTALL="$here"
exec "$here/scripts/with-display.sh" tclsh "$here/examples/demo.tcl" "$here/build" "$@"
