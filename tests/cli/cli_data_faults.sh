#!/usr/bin/env bash
# talvenor-cli where a site answers but not with what was asked for: the
# command must not report success.  Categories of a site that is down or
# answers 404, chapters that come back empty or without their markers, and
# introductions that cannot be had: a message, exit 1, nothing printed as a
# result and nothing stored in place of the real thing.
set -euo pipefail
cli=$1
demosites=$2
closed_port=$3
. "$(dirname "$0")/common.sh"
h=$home/h
run() { "$cli" --home "$h" "$@"; }
sites="duowan readnovel feiku xs8"
folder() { case $1 in duowan) echo 多玩 ;; readnovel) echo 小说阅读网 ;; feiku) echo 飞库 ;; xs8) echo 言情小说吧 ;; esac; }
expect_no_categories() {
  local what=$1 s=$2
  expect 1 "$what" run site "$s"
  grep -q 'categories could not be fetched' "$home/err" || fail "$what: not said"
  [ ! -s "$home/out" ] || fail "$what: categories printed"
  [ -z "$(find "$h/$(folder "$s")" -type f 2> /dev/null)" ] || fail "$what: something stored"
}

# Every category page (言情小说吧: its list) answers 404, then the sites are down.
start_demosites --books 12 --chapters 5 \
  --fault 'duowan.localhost:/include/finish/all_1.html=status:404' \
  --fault 'readnovel.localhost:/ch/all/all.html=status:404' \
  --fault 'feiku.localhost:/Book/ShowBookOver.aspx=status:404' \
  --fault 'xs8.localhost:/list.php=status:404'
run demo-hosts "$port" > /dev/null
for s in $sites; do expect_no_categories "site $s answering 404" "$s"; done
stop_demosites
# Down: a port held closed, so that no other test's server can take it while
# the program tries again.
"$closed_port" > "$home/closed" &
closer=$!
trap 'kill $closer 2> /dev/null || true; [ -z "$server" ] || kill $server 2>/dev/null || true; rm -rf "$home"' EXIT
await_line '[0-9]' "$home/closed"
run demo-hosts "$(head -1 "$home/closed")" > /dev/null
for s in $sites; do expect_no_categories "site $s down" "$s"; done
kill $closer

# Chapter 2 of every book comes back empty, chapter 3 without its markers;
# 飞库's introductions fail.
start_demosites --books 12 --chapters 5 \
  --fault '*:/2.html=empty' --fault '*:/2.shtm=empty' \
  --fault '*:/3.html=nomarker' --fault '*:/3.shtm=nomarker' \
  --fault 'feiku.localhost:/Index.html=status:500'
run demo-hosts "$port" > /dev/null
# The entry of chapter N: 小说阅读网 and 言情小说吧 list the book itself first.
for s in duowan readnovel xs8 feiku 520; do
  expect 0 "search $s" run search --site "$s" 穿越
  key=$(head -1 "$home/out" | cut -f2)
  case $s in readnovel | xs8) first=1 ;; *) first=0 ;; esac
  for n in 2 3; do
    expect 1 "$s: chapter $n read" run read "$s" "$key" $((n - 1 + first))
    [ ! -s "$home/out" ] || fail "$s: chapter $n printed"
    grep -q 'could not be fetched' "$home/err" || fail "$s: chapter $n not said"
  done
  expect 1 "$s: export" run export "$s" "$key" "book $s"
  grep -q '2 of [0-9]* chapters could not be fetched' "$home/err" || fail "$s: failed chapters not counted"
  out=$(cat "$home/out")
  for page in $(grep -o '^[0-9]*\.htm' "$home/err"); do
    iconv -f GBK -t UTF-8 "$out/$page" | grep -q '本章下载失败' || fail "$s: $page does not say it failed"
  done
  [ "$(grep -c '^[0-9]*\.htm' "$home/err")" -eq 2 ] || fail "$s: failed chapters listed"
done

# An introduction that cannot be had: said, exit 1, and no text stored as
# if it were the book's; one stored before stays.
expect 0 'search 飞库' run search --site feiku 穿越
key=$(head -1 "$home/out" | cut -f2)
expect 1 'an introduction that failed' run intro feiku "$key"
grep -q 'could not be downloaded' "$home/err" || fail "failed introduction not said"
[ -z "$(find "$h/see" -type f)" ] || fail "a failed introduction stored"
file="$h/see/飞库/$(printf '%s' "$key" | tr / _).txt"
printf '早先的简介\r\n' | iconv -f UTF-8 -t GBK > "$file"
expect 1 'an introduction that failed, one stored' run intro feiku "$key"
[ "$(iconv -f GBK -t UTF-8 "$file")" = $'早先的简介\r' ] || fail "the stored introduction was replaced"
# A last reading whose titles and addresses differ in length pairs one
# book's titles with another's chapters: refused as damaged.
expect 0 'a chapter read' run read duowan "$(run search --site duowan 穿越 | head -1 | cut -f2)" 0
printf 'a\r\nb\r\n' > "$h/set/default.1"
printf 'http://duowan.localhost:%s/x.html\r\n' "$port" > "$h/set/default.2"
expect 1 'resume of a damaged last reading' run resume
[ ! -s "$home/out" ] || fail "a damaged last reading printed"
grep -q '列表索引越界 (1)' "$home/err" && grep -q 'could not be loaded' "$home/err" || fail "damage not said"
echo "cli data faults: ok"
