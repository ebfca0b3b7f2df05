#!/usr/bin/env bash
# talvenor-cli against demo sites that are down or send pages that are not
# list pages: an update that fails says so (exit 1) and leaves the stored
# lists as they were; categories of a failed fetch are never stored.
set -euo pipefail
cli=$1
demosites=$2
closed_port=$3
. "$(dirname "$0")/common.sh"
run() { "$cli" --home "$home/store" "$@"; }

# Starts the demo sites (extra options: faults) and points the store at them.
start_demo() {
  start_demosites --books 45 "$@"
  run demo-hosts "$port" > /dev/null
}

# A failed update: exit 1, a message, and the site's stored files unchanged.
expect_kept() {
  local what=$1 folder=$2; shift 2
  expect 1 "$what" run "$@"
  grep -q 'update failed' "$home/err" || fail "$what: no message"
  diff -r "$home/before/$folder" "$home/store/$folder" > /dev/null || fail "$what: stored list changed"
}

# A category of 飞库 and the whole list of 言情小说吧 stored.
start_demo
run site feiku > /dev/null
run update feiku 0 2> /dev/null | grep -q '^total: 45 本$' || fail "飞库 stored"
run update xs8 2> /dev/null | grep -q '^total: 150 本$' || fail "言情小说吧 stored"
mkdir "$home/before"
cp -r "$home/store/飞库" "$home/store/言情小说吧" "$home/before/"

# First pages that fail or are no list pages.
stop_demosites
start_demo --fault 'feiku.localhost:page=1=status:500' --fault 'xs8.localhost:page=1=empty'
expect_kept "飞库 page 1 status 500" 飞库 update feiku 0
expect_kept "言情小说吧 page 1 empty" 言情小说吧 update xs8
stop_demosites
start_demo --fault 'feiku.localhost:page=1=nomarker' --fault 'xs8.localhost:page=1=redirectloop'
expect_kept "飞库 page 1 without its list" 飞库 update feiku 0
expect_kept "言情小说吧 page 1 redirected for ever" 言情小说吧 update xs8

# The sites down altogether: a port held closed, so that no other test's
# server can take it while the program tries again.
stop_demosites
"$closed_port" > "$home/closed" &
closer=$!
trap 'kill $closer 2> /dev/null || true; [ -z "$server" ] || kill $server 2>/dev/null || true; rm -rf "$home"' EXIT
await_line '[0-9]' "$home/closed"
run demo-hosts "$(head -1 "$home/closed")" > /dev/null
expect_kept "飞库 down" 飞库 update feiku 0
expect_kept "言情小说吧 down" 言情小说吧 update xs8

# Categories: fetched while the site is down, nothing is stored; once it is
# up, they are fetched.
expect 1 "多玩's categories while it is down" run site duowan
[ -s "$home/err" ] || fail "a failed fetch of the categories is said"
[ -e "$home/store/多玩/fenlei.ml" ] && fail "categories of a failed fetch stored"
start_demo
[ "$(run site duowan | wc -l)" -eq 7 ] || fail "多玩's categories fetched once the site is up"
[ -s "$home/store/多玩/fenlei.ml" ] || fail "多玩's categories stored"
echo "cli failures: ok"
