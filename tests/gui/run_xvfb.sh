#!/usr/bin/env bash
# Runs a window test on a fresh X server (Xvfb on a free display) with a
# system tray host (trayer), or without one when the first argument is
# --no-tray; --wm adds a window manager (openbox) under the tray host.
set -euo pipefail
tray=1
wm=0
case "${1:-}" in
  --no-tray) tray=0; shift ;;
  --wm) wm=1; shift ;;
esac
export QT_QPA_PLATFORM=xcb
# The tray and start tests' windows are widgets: no OpenGL.  Xvfb's GLX
# integration also leaves a block of an unloaded library behind at exit,
# which LeakSanitizer reports.  The window-manager test opens the reader,
# whose browser engine draws through OpenGL.
[ "$wm" = 1 ] || export QT_XCB_GL_INTEGRATION=none
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash -c '
  tray=$1 wm=$2; shift 2
  pids=()
  trap "for p in \${pids[@]+\"\${pids[@]}\"}; do kill \$p 2>/dev/null || true; done" EXIT
  if [ "$wm" = 1 ]; then
    # Ready once it has announced itself on the root window.
    openbox --sm-disable > /dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 200); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
      sleep 0.05
    done
  fi
  if [ "$tray" = 1 ]; then
    # Ready once its window is mapped.  A tray host that died on a server
    # still starting up is started again.
    for attempt in 1 2 3; do
      trayer --edge top --align right --widthtype request --height 24 --SetDockType true &
      host=$!
      pids+=($host)
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
' bash "$tray" "$wm" "$@"
