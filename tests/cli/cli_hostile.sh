#!/usr/bin/env bash
# A book whose chapter list and chapters carry hostile markup and terminal
# control sequences: read to a terminal (a pseudo-terminal made by script),
# the sequences arrive as visible escapes and never as control bytes; read
# to a pipe, the text comes as it is; exported, the pages hold no script.
set -euo pipefail
cli=$1
demosites=$2
. "$(dirname "$0")/common.sh"
start_demosites --books 12 --chapters 3 --fault 'duowan.localhost:/book/=hostile'
h=$home/h
run() { "$cli" --home "$h" "$@"; }
run demo-hosts "$port" > /dev/null
expect 0 'update' run update duowan 1
key=$(run books duowan 1 | head -1 | cut -f2)
[ -n "$key" ] || fail "a book to read"

# On a terminal: ESC, BEL and the rest are shown, not sent.
script -qec "'$cli' --home '$h' chapters duowan '$key'; '$cli' --home '$h' read duowan '$key' 1" \
  "$home/tty" > /dev/null
grep -q 'pwned' "$home/tty" || fail "the chapter reached the terminal"
grep -qF '^[]0;pwned^G^[[2J' "$home/tty" || fail "control sequences shown as escapes"
if tr -d '\r\n\t' < "$home/tty" | LC_ALL=C grep -q "$(printf '[\001-\037\177]')"; then
  fail "a control byte reached the terminal"
fi

# To a pipe: the bytes as they came, for a program that reads them.
expect 0 'read to a pipe' run read duowan "$key" 1
LC_ALL=C grep -q "$(printf '\033')]0;pwned" "$home/out" || fail "piped text kept as it came"

# The reader page and an exported book hold none of the markup's active parts.
for f in "$h/tmp/tmp.htm"; do
  LC_ALL=C grep -qi '<script\|<iframe\|<meta\|<object\|<embed\| onerror=\| onload=' "$f" \
    && fail "active markup in $f"
done
expect 0 'export' run export duowan "$key" hostile
folder=$(cat "$home/out")
if LC_ALL=C grep -li '<script\|<iframe\|<meta\|<object\|<embed\|<base href' "$folder"/*.htm; then
  fail "active markup in the exported pages"
fi
echo "cli_hostile: ok"
