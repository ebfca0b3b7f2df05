#!/usr/bin/env bash
# talvenor-cli as a user runs it: a fresh home, the site table, a fetch that
# works, one that fails, and a bad command, each with the exit code README
# gives it.
set -euo pipefail
cli=$1
closed_port=$2
home=$(mktemp -d)
holder=
trap '[ -z "$holder" ] || kill $holder 2>/dev/null || true; rm -rf "$home"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
# expect CODE WHAT COMMAND...: fails unless the command exits with CODE.
expect() {
  local want=$1 what=$2 rc=0
  shift 2
  "$@" > "$home/out" 2> "$home/err" || rc=$?
  [ "$rc" -eq "$want" ] || { cat "$home/err" >&2; fail "$what: exit $rc, expected $want"; }
}

out=$("$cli" --home "$home" sites)
echo "$out" | grep -q $'^多玩\t多玩文学博客\t1\t-\t1\tUTF-8\thttp://duowan.localhost:18630'
echo "$out" | grep -q $'^小说520\t-\t0\t\\[520\\]\t5\tGBK'
[ -d "$home/set" ] && [ -d "$home/see" ]

# A hosts file in set/ moves a site elsewhere.
printf 'feiku = http://127.0.0.1:9\n' > "$home/set/sites.hosts"
"$cli" --home "$home" sites | grep -q $'^飞库\t.*\thttp://127.0.0.1:9\t'

# Fetching from a closed port fails with a message and exit code 1.
"$closed_port" > "$home/port" &
holder=$!
until [ -s "$home/port" ]; do kill -0 $holder 2> /dev/null || fail "no closed port"; sleep 0.01; done
port=$(cat "$home/port")
expect 1 'fetch from a closed port' "$cli" --home "$home" fetch "http://127.0.0.1:$port/"
grep -q 'fetch failed' "$home/err" || fail "no message for the failed fetch"
expect 1 'fetch about:blank' "$cli" --home "$home" fetch about:blank

# Unknown commands are refused with the usage.
expect 2 'an unknown command' "$cli" --home "$home" nonsense
grep -q 'usage' "$home/err" || fail "no usage"
echo "cli smoke: ok"
