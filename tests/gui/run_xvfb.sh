#!/usr/bin/env bash
# Runs a window test on a fresh X server (Xvfb on a free display) with a
# system tray host (trayer), or without one when the first argument is
# --no-tray.
set -euo pipefail
tray=1
if [ "${1:-}" = --no-tray ]; then
  tray=0
  shift
fi
export QT_QPA_PLATFORM=xcb
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash -c '
  tray=$1; shift
  if [ "$tray" = 1 ]; then
    trayer --edge top --align right --widthtype request --height 24 --SetDockType true &
    host=$!
    trap "kill $host 2>/dev/null || true" EXIT
    # Ready once its window is mapped.
    for _ in $(seq 200); do
      xdotool search --classname trayer >/dev/null 2>&1 && break
      sleep 0.05
    done
  fi
  "$@"
' bash "$tray" "$@"
