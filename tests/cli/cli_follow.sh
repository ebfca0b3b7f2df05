#!/usr/bin/env bash
# Following books from the command line: watch check against the demo sites
# as books grow and shrink and a site goes down, and an export from a flaky
# host that still brings every chapter.
set -euo pipefail
cli=$1
demosites=$2
closed_port=$3
. "$(dirname "$0")/common.sh"
start_demosites --books 20 --chapters 6 --fault 'feiku.localhost:/files/=flaky:3'
run() { "$cli" --home "$home" "$@"; }
grow() { curl -sf --noproxy '*' "http://duowan.localhost:$port/test/chapters?site=$1&key=$2&count=$3" > /dev/null \
  || fail "demo book $2 set to $3 chapters"; }

run demo-hosts "$port" > /dev/null
run watch add duowan 之 0 > /dev/null 2>&1 || fail "a 多玩 book watched"
run watch add 520 之 0 > /dev/null 2>&1 || fail "a 小说520 book watched"
run watch add feiku 之 0 > /dev/null 2>&1 || fail "a 飞库 book watched"
duowan_key=$(run watch list | sed -n 1p | cut -f2)
feiku_key=$(run watch list | sed -n 3p | cut -f2 | sed 's/^\[feiku\]//')

# The first check records, reports nothing new and exits 0.
expect 0 'first check' run watch check
[ "$(grep -c $'\trecorded\t6 章$' "$home/out")" -eq 3 ] || { cat "$home/out"; fail "three books recorded"; }
grep -q '^checked: 3 本, new: 0 章' "$home/out" || fail "summary of the first check"
[ -f "$home/set/lianzai.state" ] || fail "state kept beside the watch list"

# Two chapters added to the 多玩 book: reported once, with numbers and titles.
grow duowan "$duowan_key" 8
expect 0 'second check' run watch check
[ "$(grep -c $'^0\t.*\t[78]\t第[78]章' "$home/out")" -eq 2 ] || { cat "$home/out"; fail "chapters 7 and 8 reported"; }
grep -q '^checked: 3 本, new: 2 章 in 1 本, failed: 0$' "$home/out" || fail "summary counts the new chapters"
expect 0 'third check' run watch check 0
grep -q $'\t[78]\t' "$home/out" && fail "new chapters reported only once"

# A shortened list is reported as such.
grow feiku "$feiku_key" 4
expect 0 'shortened list' run watch check 2
grep -q $'^2\t.*\tshortened\t6 → 4 章$' "$home/out" || { cat "$home/out"; fail "shortened list reported"; }
grep -q $'\t[0-9]*\t第' "$home/out" && fail "no chapter of a shortened list taken for new"

# The watch list's two files keep their format.
[ "$(wc -l < "$home/set/lianzai.sname")" -eq 3 ] && [ "$(wc -l < "$home/set/lianzai.surl")" -eq 3 ] \
  || fail "watch list files unchanged"

# One site down: exit 1, named on standard error, the others still checked.
"$closed_port" > "$home/closed" &
closer=$!
trap 'kill $closer 2> /dev/null || true; [ -z "$server" ] || kill $server 2>/dev/null || true; rm -rf "$home"' EXIT
await_line '[0-9]' "$home/closed"
closed=$(head -1 "$home/closed")
sed -i "s|^520-chapters *=.*|520-chapters = http://127.0.0.1:$closed|" "$home/set/sites.hosts"
grep -q "^520-chapters = http://127.0.0.1:$closed" "$home/set/sites.hosts" || echo "520-chapters = http://127.0.0.1:$closed" >> "$home/set/sites.hosts"
printf '[downloads]\nretries = 2\n' > "$home/set/talvenor.ini"
grow duowan "$duowan_key" 9
expect 1 'a site down' run watch check
kill $closer 2> /dev/null || true
grep -q 'entry 1 .*\[520\].* could not be checked' "$home/err" || { cat "$home/err"; fail "the book of the site down named"; }
grep -q $'^0\t.*\t9\t第9章' "$home/out" || { cat "$home/out"; fail "the other sites checked meanwhile"; }
grep -q 'failed: 1$' "$home/out" || fail "summary counts the failure"

# A bad setting is reported and its default used.
printf '[downloads]\nper_host = lots\n' > "$home/set/talvenor.ini"
expect 2 'usage' run watch check x
run watch list > /dev/null 2> "$home/err"
grep -q 'talvenor.ini:2' "$home/err" || { cat "$home/err"; fail "bad setting reported with its line"; }
rm "$home/set/talvenor.ini"

# An export from the flaky host: every chapter, none marked as failed, the
# retries said on the progress line.
title=$(run watch list | sed -n 3p | cut -f1)
expect 0 'export from a flaky host' run export feiku "$feiku_key" "$title"
grep -q '次重试' "$home/err" || { cat "$home/err"; fail "retries shown on the progress line"; }
folder=$(cat "$home/out")
links=$(grep -o 'href="\?[0-9]*\.htm' "$folder/index.htm" | grep -o '[0-9]*\.htm' | sort -u)
[ "$(echo "$links" | wc -l)" -ge 3 ] || { cat "$folder/index.htm"; fail "the index lists the chapters"; }
for page in $links; do [ -s "$folder/$page" ] || fail "chapter page $page exported"; done
grep -l '本章下载失败' "$folder"/*.htm && fail "no chapter failed"
echo "cli follow: ok"
