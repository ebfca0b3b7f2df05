#!/usr/bin/env bash
# talvenor-cli against the bundled demo sites, every command once, as a user
# would run them from a terminal.
set -euo pipefail
cli=$1
demosites=$2
. "$(dirname "$0")/common.sh"
start_demosites --books 45 --chapters 6
run() { "$cli" --home "$home" "$@"; }

run demo-hosts "$port" > /dev/null
run sites | grep -q "http://duowan.localhost:$port" || fail "sites shows the hosts file"

# Categories once from the site, then from the store.
[ "$(run site duowan | wc -l)" -eq 7 ] || fail "多玩: 所有分类 and six categories"
run site 多玩 | head -1 | grep -q $'^所有分类\thttp://duowan.localhost:'"$port"'/include/finish/all_1.html$' \
  || fail "first category"
[ -f "$home/多玩/fenlei.ml" ] || fail "category file stored"

# An update of one category, then its books, filtered.
run update duowan 1 2>/dev/null | grep -q '^total: 45 本$' || fail "update prints the count"
[ "$(run books duowan 1 2>/dev/null | wc -l)" -eq 45 ] || fail "45 books stored"
filtered=$(run books duowan 1 重生 2>/dev/null)
[ -n "$filtered" ] || fail "filter finds 重生"
echo "$filtered" | cut -f1 | grep -qv 重生 && fail "filter keeps only 重生"
key=$(echo "$filtered" | head -1 | cut -f2)

# A book: its chapter list, a chapter, its introduction and an export.
[ "$(run chapters duowan "$key" | wc -l)" -eq 6 ] || fail "six chapters"
run read duowan "$key" 2 --spacing 0 2>/dev/null | grep -q '^第3章' || fail "chapter 3 is shown with its heading"
[ -f "$home/tmp/tmp.htm" ] || fail "tmp.htm written"
expect 0 'introduction' run intro duowan "$key"
cp "$home/out" "$home/intro.txt"
[ -s "$home/intro.txt" ] || fail "introduction printed"
title=$(echo "$filtered" | head -1 | cut -f1 | sed 's/[《》]//g')
expect 0 'export' run export duowan "$key" "$title"
[ -f "$home/download/多玩/$title/index.htm" ] && [ -f "$home/download/多玩/$title/5.htm" ] || fail "export files"

# The same book as one EPUB and one GBK text file, from the chapter cache;
# offline, a chapter never read is refused, one read is shown.
expect 0 'export as EPUB' run export duowan "$key" "$title" --format epub
[ "$(cat "$home/out")" = "$home/download/多玩/$title.epub" ] || fail "the EPUB's path is printed"
[ "$(head -c 58 "$home/download/多玩/$title.epub" | tail -c 28)" = "mimetypeapplication/epub+zip" ] \
  || fail "the EPUB opens with its stored mimetype"
expect 0 'export as GBK text' run export duowan "$key" "$title" --format txt --encoding gbk
iconv -f GBK -t UTF-8 "$home/download/多玩/$title.txt" > "$home/book.txt" || fail "the text is GBK"
head -1 "$home/book.txt" | grep -q "^$title"$'\r$' || fail "the text opens with the title"
expect 2 'an unknown format' run export duowan "$key" "$title" --format pdf
expect 0 'the cache lists the book' run cache
grep -q $'^多玩\t'"$key"$'\t' "$home/out" || fail "cache lists the book"
expect 0 'offline, a cached chapter' run --offline read duowan "$key" 4
expect 0 'clear the book from the cache' run cache clear duowan "$key"
expect 3 'nothing left to clear' run cache clear duowan "$key"
expect 1 'offline, nothing cached' run --offline read duowan "$key" 4

# Search, and the watch list.
expect 0 'search finds 穿越 on 飞库' run search --site feiku 穿越
cp "$home/out" "$home/found.txt"
grep -q $'\t\\[feiku\\]' "$home/found.txt" || fail "飞库 keys carry their tag"
expect 3 'a search that finds nothing' run --no search --site 520 没有这本书
run watch add feiku 穿越 0 > /dev/null 2>&1
run watch add feiku 穿越 0 > /dev/null 2>&1
[ "$(run watch list | wc -l)" -eq 2 ] || fail "duplicates allowed in the watch list"
[ "$(run watch remove 0 2>/dev/null | wc -l)" -eq 1 ] || fail "remove one entry"

# Bad use is refused with the usage.
expect 2 'read without N' run read duowan "$key"
expect 2 'an unknown site' run site nosuchsite
echo "cli demo: ok"
