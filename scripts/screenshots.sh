#!/usr/bin/env bash
# Renders the screenshots of the README from the demo sites: the windows are
# drawn offscreen in a fresh demo home and saved under docs/screenshots/.
set -euo pipefail
build=${1:-build}
out=${2:-docs/screenshots}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 "$build/tools/screenshots/talvenor-screenshots" --home "$home" --out "$out" \
  2> >(grep -v 'does not support' >&2)
