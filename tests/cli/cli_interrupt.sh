#!/usr/bin/env bash
# talvenor-cli killed (kill -9) or interrupted (Ctrl-C) while it updates the
# site list of 言情小说吧, at moments chosen from the pages it has fetched so
# far (after one, two, three or four new chunks): the stored chunk set stays whole, and nothing of the
# interrupted update is left once the program has started again.  Ctrl-C
# during 小说阅读网's update stops its introductions at once.
set -euo pipefail
cli=$1
demosites=$2
. "$(dirname "$0")/common.sh"
run() { "$cli" --home "$home/store" "$@"; }
xs8=$home/store/言情小说吧

start_demo() {
  start_demosites --page-size 500 "$@"
  run demo-hosts "$port" > /dev/null
}

# List pages fetched so far by the running update, from its progress line
# (a step a page; a chunk of 5000 books every ten pages of 500).
pages() { tr '\r' '\n' < "$home/err" | sed -n 's/^downloading \([0-9]*\)%.*/\1/p' | tail -1; }
# Starts an update of 言情小说吧 and waits until it has fetched n pages.
start_update() {
  : > "$home/err"
  "$cli" --home "$home/store" update xs8 > /dev/null 2> "$home/err" &
  pid=$!
  until [ "$(pages)" -ge "$1" ] 2> /dev/null; do
    kill -0 $pid 2> /dev/null || fail "the update ended before page $1"
    sleep 0.01
  done
}
# The stored set as the category file names it, unchanged.
expect_stored_set() {
  cmp -s "$home/before/fenlei.ml" "$xs8/fenlei.ml" || fail "$1: category file changed"
  while IFS= read -r chunk; do
    chunk=${chunk%$'\r'}
    cmp -s "$home/before/$chunk.ml" "$xs8/$chunk.ml" && cmp -s "$home/before/$chunk.ml.list" "$xs8/$chunk.ml.list" \
      || fail "$1: chunk $chunk changed"
  done < "$xs8/fenlei.ml"
}

# 12 000 books stored (three chunks); the site now has 23 000 (five), served
# slowly enough to interrupt.
start_demo --xs8-books 12000
run update xs8 2> /dev/null | grep -q '^total: 2000 本$' || fail "first update"
cp -r "$xs8" "$home/before"
stop_demosites
start_demo --xs8-books 23000 --fault 'xs8.localhost:/list.php=delay:40'

for chunks in 1 2 4; do
  start_update $((chunks * 10 + 1))
  kill -9 $pid
  wait $pid 2> /dev/null || true
  expect_stored_set "killed after $chunks new chunks"
  run books xs8 0 > /dev/null 2>&1  # the next start puts the leftovers away
  diff -r "$home/before" "$xs8" > /dev/null || fail "killed after $chunks new chunks: leftovers after the next start"
done

for chunks in 1 3; do
  start_update $((chunks * 10 + 1))
  kill -INT $pid
  status=0
  wait $pid || status=$?
  [ $status -eq 130 ] || fail "Ctrl-C: exit status $status"
  diff -r "$home/before" "$xs8" > /dev/null || fail "Ctrl-C after $chunks new chunks: the stored set changed"
done

run update xs8 2> /dev/null | grep -q '^total: 3000 本$' || fail "a whole update"
[ "$(tr -d '\r' < "$xs8/fenlei.ml" | tr '\n' ' ')" = "5000 10000 15000 20000 25000 " ] || fail "new category file"
[ "$(find "$xs8" -mindepth 1 | wc -l)" -eq 11 ] || fail "exactly the new set on disk"

# 小说阅读网: Ctrl-C while introductions are being stored.
stop_demosites
start_demo --books 4000 --page-size 20 --fault 'readnovel.localhost:/ch/all/1/=delay:20'
run site readnovel > /dev/null
intros=$home/store/see/小说阅读网
"$cli" --home "$home/store" update readnovel 0 > /dev/null 2> "$home/err" &
pid=$!
until [ "$(find "$intros" -name '*.txt' 2> /dev/null | wc -l)" -ge 100 ]; do
  kill -0 $pid 2> /dev/null || fail "the update of 小说阅读网 ended early"
  sleep 0.01
done
kill -INT $pid
until grep -q cancelled "$home/err"; do
  # It may have said so and ended between the two looks.
  kill -0 $pid 2> /dev/null || grep -q cancelled "$home/err" || fail "the update of 小说阅读网 was not cancelled"
  sleep 0.01
done
at_cancel=$(find "$intros" -name '*.txt' | wc -l)
status=0
wait $pid || status=$?
[ $status -eq 130 ] || fail "Ctrl-C during the update of 小说阅读网: exit status $status"
[ "$(find "$intros" -name '*.txt' | wc -l)" -eq "$at_cancel" ] || fail "introductions stored after the cancel"
echo "cli interrupt: ok"
