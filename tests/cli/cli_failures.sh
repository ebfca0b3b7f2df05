#!/usr/bin/env bash
# talvenor-cli when things go wrong, as separate processes against the demo
# sites with faults: failed and endless downloads, Ctrl-C, bad arguments,
# unwritable homes and bad hosts files, each with its message and the exit
# code the README lists (1 failed, 2 usage, 3 not found, 4 not saved,
# 130 interrupted).
set -euo pipefail
cli=$1
demosites=$2
. "$(dirname "$0")/common.sh"
# Chapter 3 of every 飞库 book and 飞库's introductions fail; the second
# chapter of every 多玩 book never answers; 小说520's chapter lists have no
# chapters; 小说阅读网's category page trickles in.
start_demosites --books 12 --chapters 5 --log \
  --fault 'feiku.localhost:/3.shtm=status:500' \
  --fault 'feiku.localhost:/Index.html=status:500' \
  --fault 'duowan.localhost:/2.html=hold' \
  --fault 'read.xs520.localhost:/List.shtml=nomarker' \
  --fault 'readnovel.localhost:/ch/all/all.html=trickle:100'
h=$home/h
run() { "$cli" --home "$h" "$@"; }
# Waits until the demo sites have received a request for $1.
await_request() {
  await_line "$1" "$log"
}
run demo-hosts "$port" > /dev/null

# Bad usage.
expect 2 'empty --home' "$cli" --home "" sites
grep -q 'home' "$home/err" || fail "empty --home is named"
[ ! -e "$(dirname "$cli")/set" ] || fail "an empty --home wrote beside the program"
expect 2 'port 0' run demo-hosts 0
expect 2 'port 65536' run demo-hosts 65536
expect 2 '--site without a value' run search --site
expect 2 'unknown search site' run search --site nosuch 穿越
expect 2 'bad time-out' run --wait-timeout soon sites

# Found, not found.
expect 0 'search that finds' run search --site duowan 穿越
duowan=$(head -1 "$home/out" | cut -f2)
expect 3 'search that finds nothing' run --no search --site 520 没有这本书
grep -q 'nothing found' "$home/err" || fail "nothing found is said"
expect 3 'a book that does not exist' run chapters 多玩 book/999/999/
grep -q 'no such book' "$home/err" || fail "no such book is said"
expect 0 'search 小说520' run search --site 520 穿越
expect 3 'an export of a book without chapters' run export 520 "$(head -1 "$home/out" | cut -f2)" empty
[ ! -s "$home/out" ] || fail "nothing exported is printed as exported"

# Failed downloads: an introduction, and chapters of an export.
expect 0 'search 飞库' run search --site feiku 穿越
feiku=$(head -1 "$home/out" | cut -f2)
expect 1 'an introduction that failed' run intro feiku "$feiku"
grep -q 'could not be downloaded' "$home/err" || fail "failed introduction is said"
expect 1 'an export with a failed chapter' run export feiku "$feiku" book
grep -q '1 of 4 chapters could not be fetched' "$home/err" || fail "failed chapters counted"
grep -q $'^2.htm\t第3章' "$home/err" || fail "failed chapter named with its title"
folder=$(cat "$home/out")
iconv -f GBK -t UTF-8 "$folder/2.htm" | grep -q '本章下载失败：第3章' || fail "failed page says so"
iconv -f GBK -t UTF-8 "$folder/3.htm" | grep -q '本章下载失败' && fail "good page says it failed"

# A chapter that never comes: a time-out with a short limit, Ctrl-C without one.
expect 1 'a stalled chapter' run --wait-timeout 0.3 read duowan "$duowan" 1
grep -q 'timed out' "$home/err" || fail "stalled chapter is said"
expect 1 'a page that never ends' run --page-timeout 0.3 fetch "http://readnovel.localhost:$port/ch/all/all.html"
grep -q 'page not complete' "$home/err" || fail "endless page is said"
: > "$log"
rc=0
"$cli" --home "$h" read duowan "$duowan" 1 > /dev/null 2> "$home/err" &
reader=$!
await_request "${duowan}2.html"
kill -INT $reader
wait $reader || rc=$?
[ "$rc" -eq 130 ] || fail "Ctrl-C during read: exit $rc"
grep -q 'interrupted' "$home/err" || fail "interruption is said"
: > "$log"
rc=0
"$cli" --home "$h" export duowan "$duowan" stopped > /dev/null 2> "$home/err" &
exporter=$!
await_request "${duowan}2.html"
kill -INT $exporter
wait $exporter || rc=$?
[ "$rc" -eq 130 ] || fail "Ctrl-C during export: exit $rc"
[ -f "$h/download/多玩/stopped/0.htm" ] || fail "chapters before the stop are written"
[ ! -e "$h/download/多玩/stopped/1.htm" ] || fail "the chapter under way is not written"

# Writes that fail.
touch "$home/plain"
expect 4 'a home below a plain file' "$cli" --home "$home/plain/sub" sites
grep -q 'cannot create folder' "$home/err" || fail "unwritable home is said"
expect 4 'a book name over 255 bytes' run export feiku "$feiku" "$(printf 'x%.0s' $(seq 300))"
# A plain file where the site's introductions go; a folder where the reader's
# settings go (the chapter is shown all the same).
rm -rf "$h/see/多玩" "$h/set/FontAndColor.web"
touch "$h/see/多玩"
expect 4 'an introduction that cannot be stored' run intro duowan "$duowan"
[ -f "$h/see/多玩" ] && [ ! -s "$h/see/多玩" ] || fail "the plain file in the way was changed"
rm "$h/see/多玩"
mkdir "$h/set/FontAndColor.web"
expect 4 'settings that cannot be written' run read duowan "$duowan" 0
grep -q '^第1章' "$home/out" || fail "the chapter is printed all the same"
rmdir "$h/set/FontAndColor.web"

# The hosts file: a comment after a value, bad lines named, a huge file refused.
printf 'feiku = http://127.0.0.1:9   # 飞库 elsewhere\nxs8 = http://x.test/love\n520 = http://a.test:70000\n' \
  > "$h/set/sites.hosts"
expect 0 'sites with a commented hosts file' run sites
grep -q $'^飞库\t.*\thttp://127.0.0.1:9\t' "$home/out" || fail "comment stripped from the URL"
grep -q 'line 2: .*path' "$home/err" && grep -q 'line 3: port out of range' "$home/err" || fail "bad lines named"
for i in $(seq 20); do echo "bad line $i"; done >> "$h/set/sites.hosts"
expect 0 'sites with many bad lines' run sites
[ "$(wc -l < "$home/err")" -eq 6 ] && grep -q 'and 17 more bad lines' "$home/err" || fail "bad lines capped"
head -c 70000 /dev/zero | tr '\0' '#' > "$h/set/sites.hosts"
expect 0 'sites with a huge hosts file' run sites
grep -q 'larger than 64 KiB' "$home/err" || fail "huge hosts file refused"
grep -q $'^飞库\t.*\thttp://feiku.localhost:18630\t' "$home/out" || fail "defaults kept"

# Names with TABs still print as two columns.
printf '%s\r\n' "$(printf 'a\tb' | iconv -f UTF-8 -t GBK)" > "$h/set/lianzai.sname"
printf 'key\r\n' > "$h/set/lianzai.surl"
expect 0 'watch list' run watch list
[ "$(cat "$home/out")" = $'a b\tkey' ] || fail "TAB in a name printed as a blank"
echo "cli failures: ok"
