#!/usr/bin/env bash
# A site the program does not know by itself, added by copying its rule file
# (docs/sites/qingdeng.toml) into a fresh home's sites/ folder: 青灯书屋 of
# the demo sites, whose pages are UTF-8 with relative links, whose lists and
# chapter texts run over pages joined by "下一页", and whose search takes a
# UTF-8 query.  Through talvenor-cli, as separate processes: the site is
# listed, its categories, an update over all list pages, the books, the
# chapter list over all its pages (each page fetched once), a chapter whose
# text is on two pages, the export, and search (also as the last step of the
# cascade).  A broken file beside it is reported and skipped.
set -euo pipefail
cli=$1
demosites=$2
rulefile=$3   # docs/sites/qingdeng.toml
. "$(dirname "$0")/common.sh"
start_demosites --books 45 --chapters 30 --log
h=$home/h
run() { "$cli" --home "$h" "$@"; }
mkdir -p "$h/sites"
cp "$rulefile" "$h/sites/"
printf '[site]\nname = "坏"\nkey = "bad"\npage = "gbk"\n[intro]\nsteps = [ { find = 1 } ]\n' > "$h/sites/bad.toml"
# demo-hosts gives the added site's demo host the demo sites' port.
expect 0 'demo-hosts' run demo-hosts "$port"
grep -q "^qingdeng = http://qingdeng.localhost:$port\$" "$h/set/sites.hosts" || { cat "$h/set/sites.hosts"; fail "the added site's host"; }
grep -q "sites/bad.toml:6:20: 'find' must be a string (the file is skipped)" "$home/err" ||
  { cat "$home/err"; fail "the broken file is reported with its place"; }

# check-rules: the file is whole; without a walk's address it names the walk.
expect 0 'check-rules' run check-rules "$h/sites/qingdeng.toml"
grep -v '^url  = "{base}/book/{book}/"$' "$rulefile" > "$home/nourl.toml"
expect 1 'check-rules without url' run check-rules "$home/nourl.toml"
grep -q "nourl.toml:[0-9]*:[0-9]*: \[intro\] of a new site needs 'url', the address of its page" "$home/err" ||
  { cat "$home/err"; fail "the walk without its address is named"; }

expect 0 'sites --names' run sites --names
grep -q "^青灯书屋	qingdeng\$" "$home/out" || { cat "$home/out"; fail "the added site is listed"; }
tail -n 1 "$home/out" | grep -q qingdeng || fail "the added site comes after the five"
if grep -q '坏' "$home/out"; then fail "a broken file adds no site"; fi
expect 0 'sites' run sites
grep -q "^青灯书屋	青灯书屋	100	\[qingdeng\]	6	UTF-8	http://qingdeng.localhost:$port	-\$" "$home/out" ||
  { cat "$home/out"; fail "the site table's line: menu item, number, tag, mode, host from sites.hosts"; }
# Its second host from sites.hosts too ("KEY.base2"); a second host of a site
# nobody added is an unknown key.
cp "$h/set/sites.hosts" "$home/hosts.saved"
printf 'qingdeng.base2 = http://second.test:81/\nnobody.base2 = http://x.test\n' >> "$h/set/sites.hosts"
expect 0 'sites with base2' run sites
grep -q "^青灯书屋	.*	http://qingdeng.localhost:$port	http://second.test:81\$" "$home/out" ||
  { cat "$home/out"; fail "the second host from sites.hosts"; }
grep -q 'unknown key "nobody.base2"' "$home/err" || { cat "$home/err"; fail "another site's second host is unknown"; }
cp "$home/hosts.saved" "$h/set/sites.hosts"

# The categories: relative links made whole.
expect 0 'site qingdeng' run site qingdeng
[ "$(wc -l < "$home/out")" -eq 6 ] || { cat "$home/out"; fail "six categories"; }
category=$(head -n 1 "$home/out" | cut -f1)
grep -q "^$category	http://qingdeng.localhost:$port/sort/1/\$" "$home/out" || { cat "$home/out"; fail "the category's address"; }
expect 0 'site --stored' run site --stored qingdeng
[ "$(wc -l < "$home/out")" -eq 6 ] || fail "the categories are stored"

# The update walks the three list pages; every book once, in the site's order.
expect 0 'update' run update qingdeng "$category"
expect 0 'books' run books qingdeng "$category"
[ "$(wc -l < "$home/out")" -eq 45 ] || { cat "$home/out"; fail "45 books from three pages"; }
[ "$(cut -f2 "$home/out" | sort -u | wc -l)" -eq 45 ] || fail "no book twice"
[ "$(head -n 1 "$home/out" | cut -f2)" = 1000044 ] || fail "the newest book first"
[ "$(tail -n 1 "$home/out" | cut -f2)" = 1000000 ] || fail "the oldest book last"
title=$(sed -n 2p "$home/out" | cut -f1 | sed 's/^《\(.*\)》$/\1/')
key=$(sed -n 2p "$home/out" | cut -f2)

# The chapter list: 30 chapters from three pages, each page fetched once.
expect 0 'chapters' run chapters qingdeng "$key"
[ "$(wc -l < "$home/out")" -eq 30 ] || { cat "$home/out"; fail "30 chapters over three pages"; }
[ "$(tail -n 1 "$home/out" | cut -f2)" = "http://qingdeng.localhost:$port/book/$key/30.html" ] || fail "the last chapter's whole address"
for p in index_2 index_3; do
  [ "$(grep -c "^qingdeng.localhost /book/$key/$p.html\$" "$log")" -eq 1 ] || { grep qingdeng "$log"; fail "$p fetched once"; }
done

# trace names the page a walk goes on to; the last page names none.
expect 0 'trace chapters' run trace qingdeng chapters "http://qingdeng.localhost:$port/book/$key/"
grep -q "^next page: http://qingdeng.localhost:$port/book/$key/index_2.html\$" "$home/out" || { cat "$home/out"; fail "trace shows the next page"; }
expect 0 'trace the last page' run trace qingdeng chapters "http://qingdeng.localhost:$port/book/$key/index_3.html"
grep -q '^items: 6$' "$home/out" || { cat "$home/out"; fail "the last page's six chapters"; }
if grep -q '^next page' "$home/out"; then fail "the last page has no next page"; fi

# A chapter's text is both its pages: every paragraph of each is shown.
expect 0 'read' run read qingdeng "$key" 4 --no-save
cp "$home/out" "$home/read"
for part in 5.html 5_2.html; do
  expect 0 "fetch $part" run fetch "http://qingdeng.localhost:$port/book/$key/$part"
  paragraphs=$(sed -n 's/^　　\(.*\)<br>.*/\1/p' "$home/out")
  [ -n "$paragraphs" ] || fail "$part has paragraphs"
  while IFS= read -r line; do
    grep -qF -- "$line" "$home/read" || { cat "$home/read"; fail "read shows '$line' of $part"; }
  done <<< "$paragraphs"
done
if grep -q '下一页\|下一章' "$home/read"; then fail "no pager in the text"; fi

# The export: every chapter, the second part of each included.
expect 0 'export' run export qingdeng "$key" "$title"
folder="$h/download/青灯书屋/$title"
[ "$(ls "$folder" | grep -c '^[0-9]*\.htm$')" -eq 30 ] || { ls "$folder"; fail "30 chapter pages exported"; }
second=$(sed -n 's/^　　\(.*\)<br>.*/\1/p' "$home/out" | tail -n 1)
iconv -f gbk -t utf-8 "$folder/4.htm" | grep -qF -- "$second" || fail "the export (GBK) holds the chapter's second page"

# Both pages of every chapter are in the cache now: offline, the chapter
# reads as it did online.
expect 0 'offline read' run --offline read qingdeng "$key" 4 --no-save
diff "$home/read" "$home/out" > /dev/null || { diff "$home/read" "$home/out"; fail "offline, the chapter reads as online"; }

# Search with a UTF-8 query, on the site and as the cascade's last site.
expect 0 'search --site qingdeng' run search --site qingdeng "$title"
grep -q "^《$title》	\[qingdeng\]$key\$" "$home/out" || { cat "$home/out"; fail "search finds the book"; }
expect 0 'search --site 青灯书屋' run search --site 青灯书屋 "$title"
expect 3 'search elsewhere' run --no search --site xs8 "$title"
expect 0 'the cascade reaches the added site' run --yes search --site xs8 "$title"
grep -q "\[qingdeng\]$key" "$home/out" || { cat "$home/out"; fail "the cascade finds the book on the added site"; }

# Opening a search result by its tagged key reads the added site.
expect 0 'chapters of a tagged key' run chapters qingdeng "[qingdeng]$key"
[ "$(wc -l < "$home/out")" -eq 30 ] || fail "a tagged key opens its site's book"
echo ok
