#!/usr/bin/env bash
# Starts the bundled demo sites and runs the program against them in a fresh
# demo home.  With a display ($DISPLAY or $WAYLAND_DISPLAY) the program's
# windows open; without one, the command-line front shows what the program
# does (each site's first page, a site's categories, an update, the books, a
# chapter list, a chapter, a search and an introduction) and the windows are
# rendered offscreen into screenshots in the demo home.
set -euo pipefail
build=${1:-build}
port=${TALVENOR_DEMO_PORT:-18630}
cli="$build/src/cli/talvenor-cli"
gui="$build/src/app/talvenor"
shots="$build/tools/screenshots/talvenor-screenshots"
home="$build/demo-home"
rm -rf "$home"
mkdir -p "$home"

"$build/tools/demosites/talvenor-demosites" --port "$port" > "$home/demosites.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  grep -q listening "$home/demosites.log" 2>/dev/null && break
  sleep 0.1
done
grep -q listening "$home/demosites.log" || { cat "$home/demosites.log"; exit 1; }
"$cli" --home "$home" demo-hosts "$port" > /dev/null

if [ -x "$gui" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  printf 'Talvenor on the demo sites; the demo home is %s.\n' "$home"
  printf 'Choose a site in the 网站 menu, or 搜书。。。 to search.  Close the window to end the demo.\n'
  "$gui" --home "$home"
  exit 0
fi

step() { printf '\n\033[1m== %s\033[0m\n' "$*"; }
run() { printf '$ talvenor-cli %s\n' "$*"; "$cli" --home "$home" "$@"; }

step "The sites and their hosts"
run sites
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
  "$cli" --home "$home" fetch "$base$path" | head -c 600 || true
  echo
done
step "多玩: categories, an update, the books with 重生"
run site 多玩 | head -8
run update 多玩 所有分类
run books 多玩 所有分类 重生 | head -5
key=$("$cli" --home "$home" books 多玩 所有分类 2>/dev/null | head -1 | cut -f2)
step "A book's chapter list and its second chapter"
run chapters 多玩 "$key" | head -5
run read 多玩 "$key" 1 | head -12
step "Searching 飞库, and an introduction"
run search --site 飞库 穿越 | head -5
run intro 多玩 "$key"
if [ -x "$shots" ]; then
  step "The windows, rendered offscreen (no display here)"
  "$shots" --home "$home" --out "$home/screenshots" 2>/dev/null
  printf 'Screenshots of the windows are in %s/screenshots.\n' "$home"
fi
printf '\nThe demo home is %s; the demo sites are stopped now.\n' "$home"
