#!/usr/bin/env bash
# `talvenor` itself, started as a user starts it (run by run_xvfb.sh): its
# usage, a first start in a fresh --home (folders and the bundled skins),
# a later start that keeps the user's skins, a TITLE searched at start, and
# a home that cannot be made (the message, then exit 1).  The windows are
# drawn offscreen, except the message box, which is closed from the X server
# as a user would close it.
set -euo pipefail
app=$1
cli=$2
demosites=$3
. "$(dirname "$0")/../cli/common.sh"
# A program left running would keep what it inherited (the test runner's
# lock among it): it goes with the test, however the test ends.
started=
trap '[ -z "$started" ] || kill $started 2>/dev/null || true; [ -z "$server" ] || kill $server 2>/dev/null || true; rm -rf "$home"' EXIT
# Offscreen as the window tests draw, without the X server's GLX.
offscreen() { env -u DISPLAY QT_QPA_PLATFORM=offscreen "$@"; }
start() { offscreen TALVENOR_EXIT_AFTER_PAINT=1 timeout 120 "$app" "$@"; }

"$app" --help > "$home/out"
grep -q '^usage: talvenor \[--home DIR\] \[TITLE\]' "$home/out" || fail "usage"

# A first start: the store's folders and the three bundled skins.
h=$home/h
start --home "$h" 2> "$home/err" || { cat "$home/err" >&2; fail "first start"; }
[ -d "$h/set" ] && [ -d "$h/see" ] || fail "the store's folders"
[ "$(cd "$h/skn" && ls | tr '\n' ' ')" = "night.skn paper.skn sky.skn " ] || fail "bundled skins: $(ls "$h/skn")"
# A later start leaves the user's skins as they are: one changed, one gone.
echo '/* mine */' > "$h/skn/paper.skn"
rm "$h/skn/night.skn"
start --home="$h" || fail "second start"
[ "$(cat "$h/skn/paper.skn")" = '/* mine */' ] && [ ! -e "$h/skn/night.skn" ] || fail "the user's skins were replaced"

# TITLE is searched for at start, first on 小说520.
start_demosites --log
"$cli" --home "$h" demo-hosts "$port" > /dev/null
# (env gives its process to the program: $! is the program's.)
env -u DISPLAY QT_QPA_PLATFORM=offscreen "$app" --home "$h" 穿越 > /dev/null 2>&1 &
started=$!
await_line 'xs520.localhost /Book/Search.aspx' "$log"
LC_ALL=C grep -qF "SearchKey=$(printf '穿越' | iconv -f UTF-8 -t GBK)" "$log" || fail "TITLE is not what was searched"
kill $started
wait $started || true
started=

# A home below a plain file cannot be made: said on standard error and in a
# message box; once the box is closed, the program ends with exit code 1.
touch "$home/plain"
"$app" --home "$home/plain/sub" > /dev/null 2> "$home/err" &
started=$!
await_line 'cannot create folder' "$home/err"
box=$(timeout 60 xdotool search --sync --onlyvisible --name 'Talvenor' | head -1)
[ -n "$box" ] || fail "no message box"
xdotool windowfocus --sync "$box" key Return
status=0
wait $started || status=$?
started=
[ $status -eq 1 ] || fail "an unwritable home: exit $status"
echo "app start: ok"
