#!/usr/bin/env bash
# Starts Ticora on the current desktop, or says plainly why it cannot.
set -euo pipefail
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    echo "make run: no desktop to show the window on (DISPLAY and WAYLAND_DISPLAY are unset); run it from a graphical session" >&2
    exit 1
fi
exec "$1"
