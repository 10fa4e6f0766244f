#!/usr/bin/env bash
# Runs a command with an X display: the current one, or a private Xvfb server.
# With --private, always a private server (1280x1024, 24 bits, no window
# manager), so that what the tests see does not depend on the desktop they
# are started from (its size, its depth, a window manager's placement).
if [ "${1:-}" = --private ]; then
  shift
  unset DISPLAY
fi
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
