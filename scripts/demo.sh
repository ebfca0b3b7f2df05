#!/usr/bin/env bash
# Starts the bundled demo sites and runs the program against them in a fresh
# demo home.  With a display ($DISPLAY or $WAYLAND_DISPLAY) the program's
# windows open on 多玩 with the books of its first category listed; without
# one, the command-line front shows what the program does (each site's first
# page, a site's categories, an update, the books, a chapter list, a chapter,
# a search and an introduction) and the windows are rendered offscreen into
# screenshots in the demo home.
#
#   scripts/demo.sh [BUILD]
#
# TALVENOR_DEMO_PORT: the demo sites' port (default 18630; 0 takes a free one).
# TALVENOR_DEMO_HOME: the demo home (default BUILD/demo-home), emptied first.
# TALVENOR_DEMO_HEADLESS=1: the tour and the screenshots even with a display.
set -euo pipefail
build=${1:-build}
port=${TALVENOR_DEMO_PORT:-18630}
cli="$build/src/cli/talvenor-cli"
gui="$build/src/app/talvenor"
shots="$build/tools/screenshots/talvenor-screenshots"
home=${TALVENOR_DEMO_HOME:-$build/demo-home}
rm -rf "$home"
mkdir -p "$home"

"$build/tools/demosites/talvenor-demosites" --port "$port" > "$home/demosites.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  grep -q listening "$home/demosites.log" 2>/dev/null && break
  kill -0 $server 2>/dev/null || break
  sleep 0.1
done
grep -q listening "$home/demosites.log" || { cat "$home/demosites.log"; exit 1; }
# The port the sites took (the one asked for, or a free one for 0).
port=$(sed -n 's/.*listening on http:\/\/[^:]*:\([0-9]*\).*/\1/p' "$home/demosites.log" | head -n 1)
"$cli" --home "$home" demo-hosts "$port" > /dev/null

# Runs a command of the CLI and shows the first N lines of what it printed.
# The whole output is read first: a reader that stops early would end the
# command with SIGPIPE and the demo with it.
out="$home/.out"
show() {
  local lines=$1
  shift
  printf '$ talvenor-cli %s\n' "$*"
  "$cli" --home "$home" "$@" > "$out"
  head -n "$lines" "$out"
}

if [ -x "$gui" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${TALVENOR_DEMO_HEADLESS:-0}" != 1 ]; then
  # 多玩 with its first category's books, as the program shows a site chosen
  # and a category updated before.
  category=
  "$cli" --home "$home" site 多玩 > "$out" 2> /dev/null && category=$(head -n 1 "$out" | cut -f1)
  if [ -n "$category" ]; then
    "$cli" --home "$home" update 多玩 "$category" > /dev/null 2>&1 || true
    printf '多玩\r\n%s.ml\r\n%s.ml.list\r\n1\r\n' "$category" "$category" | iconv -f UTF-8 -t GBK \
      > "$home/set/default.0"
  fi
  printf 'Talvenor on the demo sites; the demo home is %s.\n' "$home"
  printf 'Choose a book and 打开 to read it, a site in the 网站 menu, or 搜书。。。 to search.\n'
  printf 'Close the window to end the demo.\n'
  "$gui" --home "$home"
  exit 0
fi

step() { printf '\n\033[1m== %s\033[0m\n' "$*"; }

step "The sites and their hosts"
show 100 sites
step "The first page of each site"
hosts=$("$cli" --home "$home" sites | cut -f7)
for base in $hosts; do
  case $base in
    *duowan*) path=/include/finish/all_1.html ;;
    *readnovel*) path=/ch/all/all.html ;;
    *xs8*) path="/list.php?page=1" ;;
    *feiku*) path=/Book/ShowBookOver.aspx ;;
    *xs520*) path="/Book/Search.aspx?searchclass=1&SearchKey=%D6%D8%C9%FA" ;;
    *) path=/ ;;
  esac
  echo "--- $base$path"
  "$cli" --home "$home" fetch "$base$path" > "$out"
  head -c 600 "$out"
  echo
done
step "多玩: categories, an update, the books with 重生"
show 8 site 多玩
show 100 update 多玩 所有分类
show 5 books 多玩 所有分类 重生
"$cli" --home "$home" books 多玩 所有分类 > "$out" 2> /dev/null
key=$(head -n 1 "$out" | cut -f2)
step "A book's chapter list and its second chapter"
show 5 chapters 多玩 "$key"
show 12 read 多玩 "$key" 1
step "Searching 飞库, and an introduction"
show 5 search --site 飞库 穿越
show 100 intro 多玩 "$key"
if [ -x "$shots" ]; then
  step "The windows, rendered offscreen (no display here)"
  QT_QPA_PLATFORM=offscreen "$shots" --home "$home/windows" --out "$home/screenshots" \
    2> >(grep -v 'does not support' >&2)
  printf 'Screenshots of the windows are in %s/screenshots.\n' "$home"
fi
printf '\nThe demo home is %s; the demo sites are stopped now.\n' "$home"
