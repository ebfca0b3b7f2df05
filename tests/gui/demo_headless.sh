#!/usr/bin/env bash
# make demo without a display, end to end, against the programs already
# built: the command-line tour and then every picture of the windows, on
# demo sites on a free port, in a home of its own.
#
#   demo_headless.sh DEMO_SCRIPT BUILD_DIR
set -euo pipefail
demo=$1
build=$2
home=$(mktemp -d)
mkdir -p "$home/user"
trap 'rm -rf "$home"' EXIT
fail() {
  printf '%s\n' "$out"
  echo "demo_headless: $*" >&2
  exit 1
}
# A newcomer's first run: no display, and a user home of its own, so the
# browser engine and the fonts start with nothing cached.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u XDG_DATA_HOME \
  -u XDG_RUNTIME_DIR HOME="$home/user" TALVENOR_DEMO_PORT=0 TALVENOR_DEMO_HOME="$home/demo" \
  "$demo" "$build" 2>&1) || fail "the demo ended with $?"
# The tour went through: a chapter read, a search, the pictures' folder told.
grep -q '^\$ talvenor-cli read 多玩 ' <<< "$out" || fail "no chapter read"
grep -q '^\$ talvenor-cli search --site 飞库 穿越' <<< "$out" || fail "no search"
grep -q 'Screenshots of the windows are in' <<< "$out" || fail "no screenshots"
for shot in question progress catalogue search catalogue-paper catalogue-night catalogue-sky reader; do
  file="$home/demo/screenshots/$shot.png"
  [ -f "$file" ] || fail "no $shot.png"
  [ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = '211PNG' ] || fail "$shot.png is no picture"
done
echo "demo_headless: the tour and all 8 pictures"
