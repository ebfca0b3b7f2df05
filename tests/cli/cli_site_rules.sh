#!/usr/bin/env bash
# Rule files of sites through talvenor-cli, as separate processes against the
# demo sites: check-rules on good and broken files, check-site on a healthy
# site and on one whose list marker the server removes (the demo sites'
# nomarker fault), trace on a page, and a user's file in AppDir's sites/
# replacing a built-in site's rules (and a broken one reported and skipped).
set -euo pipefail
cli=$1
demosites=$2
sites=$3   # the built-in rule files (data/sites)
. "$(dirname "$0")/common.sh"
start_demosites --books 12 --chapters 5 --fault 'feiku.localhost:/Book/ShowBookList.aspx=nomarker'
h=$home/h
run() { "$cli" --home "$h" "$@"; }
run demo-hosts "$port" > /dev/null

# check-rules: every built-in file is ok; a typo is named with its place.
for f in "$sites"/*.toml; do
  expect 0 "check-rules $f" run check-rules "$f"
  grep -q ': ok: site ' "$home/out" || fail "check-rules says ok for $f"
done
sed 's/^steps = \[$/stpes = [/' "$sites/feiku.toml" > "$home/typo.toml"
expect 1 'check-rules on a typo' run check-rules "$home/typo.toml"
grep -q "typo.toml:[0-9]*:1: the steps 'stpes' are never run (\[booklist\] has no 'steps')" "$home/err" || { cat "$home/err"; fail "the typo is named"; }

# check-site: 多玩 is whole; 飞库's book list lost its marker.
expect 0 'check-site duowan' run check-site duowan
grep -q '^categories: ok: [0-9]* items' "$home/out" || { cat "$home/out"; fail "duowan categories ok"; }
grep -q '^search: ok' "$home/out" || { cat "$home/out"; fail "duowan search ok"; }
expect 1 'check-site feiku' run check-site feiku
grep -q '^categories: ok' "$home/out" || { cat "$home/out"; fail "feiku categories ok"; }
grep -q "^booklist: marker missing: step [0-9]*:[0-9]* find '<div id=\"CrListText\">' not found ([0-9]* bytes, HTTP 200)" \
  "$home/out" || { cat "$home/out"; fail "the missing marker is named"; }
grep -q '^chapters: not checked' "$home/out" || { cat "$home/out"; fail "walks without a test are named"; }

# trace: each step with its line, the positions, the piece.
expect 0 'trace' run trace duowan categories "http://duowan.localhost:$port/"
grep -q "find '分类目录'	-*[0-9]* -> [0-9]*" "$home/out" || { cat "$home/out"; fail "trace shows the find"; }
grep -q '^items: [1-9]' "$home/out" || fail "trace counts the items"
expect 2 'trace of an unknown walk' run trace duowan novels "http://duowan.localhost:$port/"

# A user's file replaces 飞库's book list walk: its marker is the one the
# faulty page still has.  A broken file beside it is reported and skipped.
mkdir -p "$h/sites"
sed 's/<div id="CrListText">/<div class="CrList">/' "$sites/feiku.toml" > "$h/sites/feiku.toml"
printf '[site]\nname = "坏"\nkey = "bad"\npage = "gbk"\n[intro]\nsteps = [ { find = 1 } ]\n' > "$h/sites/bad.toml"
expect 1 'check-site with the user file' run check-site feiku
grep -q "sites/bad.toml:6:20: 'find' must be a string (the file is skipped)" "$home/err" ||
  { cat "$home/err"; fail "the broken file is reported"; }
grep -q "^booklist: marker missing: step [0-9]*:[0-9]* find '<div class=\"CrList\">'" "$home/out" ||
  { cat "$home/out"; fail "the user's file is the one run"; }
expect 0 'sites --names' run sites --names
if grep -q '坏' "$home/out"; then fail "a broken file adds no site"; fi
# A user's file may not rename a built-in site (its folder in the store).
sed 's/^name = "飞库"/name = "飞库2"/' "$sites/feiku.toml" > "$h/sites/feiku.toml"
expect 0 'sites with a renaming file' run sites --names
grep -q "sites/feiku.toml:3:8: replaces the built-in site 'feiku' and must keep its name" "$home/err" ||
  { cat "$home/err"; fail "renaming is refused"; }
echo ok
