#!/usr/bin/env bash
# talvenor-cli killed (kill -9) or interrupted (Ctrl-C) while it updates the
# site list of 言情小说吧, at moments chosen from the pages it has fetched so
# far (after one, two, three or four new chunks): the stored chunk set stays whole, and nothing of the
# interrupted update is left once the program has started again.  Ctrl-C
# during 小说阅读网's update stops its introductions at once.  Every command
# that downloads, on a page that never comes: a time-out or Ctrl-C, and
# nothing written.
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

# Commands whose page never comes (the demo sites hold every request): with
# a short wait they fail on the time-out (exit 1), and Ctrl-C ends them at
# once (exit 130); either way nothing in the store changes.
stop_demosites
start_demo --books 12 --chapters 5
run site duowan > /dev/null
run update duowan 1 > /dev/null 2>&1
key=$(run books duowan 1 2> /dev/null | head -1 | cut -f2)
[ -n "$key" ] || fail "a stored book"
run read duowan "$key" 1 > /dev/null 2>&1 || fail "reading a chapter"
mark=$(run marks 2> /dev/null | grep -F "$key" | head -1 | cut -f1)
[ -n "$mark" ] || fail "the book's mark"
rm -rf "$home/before"
cp -r "$home/store" "$home/before"
# Every file of the store with its checksum, but set/default.0, which keeps
# the site and category shown last (the end of every command saves them),
# empty files (a failed first update of a category stores its empty list,
# as it was shown before) and the reader's scratch page in tmp/.
files() { (cd "$1" && find . -type f ! -empty ! -path ./set/default.0 ! -path "./tmp/*" -print0 | sort -z | xargs -0 md5sum); }
for round in time-out ctrl-c; do
  old=$port
  stop_demosites
  start_demosites --log --fault '*:=hold'
  run demo-hosts "$port" > /dev/null
  cp "$home/store/set/sites.hosts" "$home/before/set/sites.hosts"
  # The stored category URLs name the demo sites' port: the new one now.
  for tree in "$home/before" "$home/store"; do
    grep -rlZ ":$old/" "$tree" | LC_ALL=C xargs -0r sed -i "s/:$old\//:$port\//g"
  done
  for command in "search --site 520 穿越" "site feiku" "update duowan 2" "chapters duowan $key" \
    "intro duowan $key" "marks open $mark" "fetch http://duowan.localhost:$port/"; do
    read -ra words <<< "$command"
    : > "$log"
    if [ $round = time-out ]; then
      expect 1 "$command with a stalled page" run --wait-timeout 0.3 "${words[@]}"
      grep -q localhost "$log" || fail "$command: no request reached the demo sites"
      grep -q -e 'timed out' -e 'could not be fetched' "$home/err" || { cat "$home/err" >&2; fail "$command: the time-out is not said"; }
    else
      "$cli" --home "$home/store" "${words[@]}" > "$home/out" 2> "$home/err" &
      pid=$!
      echo "Ctrl-C during: $command" > "$home/doing"
      await_line 'localhost' "$log"
      kill -INT $pid
      status=0
      wait $pid || status=$?
      [ $status -eq 130 ] || { cat "$home/err" >&2; fail "Ctrl-C during $command: exit status $status"; }
    fi
    [ "$(files "$home/before")" = "$(files "$home/store")" ] || { diff <(files "$home/before") <(files "$home/store") >&2; fail "$command ($round): the store changed"; }
  done
done
echo "cli interrupt: ok"
