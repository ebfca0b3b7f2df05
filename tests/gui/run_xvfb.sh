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
# The windows are widgets: no OpenGL.  Xvfb's GLX integration also leaves a
# block of an unloaded library behind at exit, which LeakSanitizer reports.
export QT_XCB_GL_INTEGRATION=none
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash -c '
  tray=$1; shift
  if [ "$tray" = 1 ]; then
    # Ready once its window is mapped.  A tray host that died on a server
    # still starting up is started again.
    host=
    trap "[ -n \"\$host\" ] && kill \$host 2>/dev/null || true" EXIT
    for attempt in 1 2 3; do
      trayer --edge top --align right --widthtype request --height 24 --SetDockType true &
      host=$!
      for _ in $(seq 200); do
        xdotool search --classname trayer >/dev/null 2>&1 && break 2
        kill -0 $host 2>/dev/null || break
        sleep 0.05
      done
      kill $host 2>/dev/null || true
      echo "run_xvfb.sh: tray host not ready (attempt $attempt)" >&2
    done
  fi
  "$@"
' bash "$tray" "$@"
