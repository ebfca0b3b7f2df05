#!/usr/bin/env bash
# A reading session from the command line against the demo sites: read two
# books, change the preferences file by hand, resume the last reading, open
# and delete marks, save and open a position file set, and damaged state
# files, each with the outcome, message and exit code the README gives.
set -euo pipefail
cli=$1
demosites=$2
. "$(dirname "$0")/common.sh"
# The last chapter of the second book fails.
start_demosites --books 45 --chapters 6 --fault 'duowan.localhost:/book/1/43/6.html=status:500'
h=$home/h
set=$h/set
run() { "$cli" --home "$h" "$@"; }
# A GBK file as UTF-8 without CR, and UTF-8 lines written as GBK with CR LF.
show() { iconv -f GBK -t UTF-8 "$1" | tr -d '\r'; }
write() { local f=$1; shift; printf '%s\r\n' "$@" | iconv -f UTF-8 -t GBK > "$f"; }
first_line() { head -1 "$home/out"; }
state() { cat "$set/AutoMark" "$set/FontAndColor.web" "$set"/default.[123] | md5sum; }

run demo-hosts "$port" > /dev/null
run update duowan 1 > /dev/null 2>&1
run books duowan 1 > "$home/books" 2> /dev/null
# The reader titles a book without the list's 《》.
key1=$(sed -n 1p "$home/books" | cut -f2); title1=$(sed -n 1p "$home/books" | cut -f1 | sed 's/[《》]//g')
key2=$(sed -n 2p "$home/books" | cut -f2); title2=$(sed -n 2p "$home/books" | cut -f1 | sed 's/[《》]//g')

# Nothing read yet.
expect 3 'resume before any reading' run resume
expect 0 'empty mark list' run marks
[ ! -s "$home/out" ] || fail "no marks yet"

# Reading keeps the book's mark, the automatic mark and the last reading.
expect 0 'read book 1' run read duowan "$key1" 2 --title "$title1"
[[ "$(first_line)" == 第3章* ]] || fail "chapter 3 printed"
[ "$(show "$set/AutoMark")" = "『$title1』『多玩』『$key1』『2』
0『上次阅读。。』『多玩』『$key1』『2』" ] || fail "book mark and automatic mark: $(show "$set/AutoMark")"
[ "$(show "$set/default.3")" = $'2\n多玩' ] || fail "default.3: $(show "$set/default.3")"
[ "$(wc -l < "$set/FontAndColor.web")" -eq 15 ] || fail "preferences written"
[ "$(show "$set/default.1" | wc -l)" -eq 6 ] || fail "chapter titles of the last reading"

# Preferences changed by hand compose the next pages and survive its close.
mapfile -t prefs < <(show "$set/FontAndColor.web")
prefs[0]=' bgcolor=#FF0000'
prefs[1]='><font color=#00FF00'
write "$set/FontAndColor.web" "${prefs[@]}"
expect 0 'read book 2' run read duowan "$key2" 4 --title "$title2"
[[ "$(first_line)" == 第5章* ]] || fail "chapter 5 of book 2"
grep -q '<body bgcolor=#FF0000><font color=#00FF00>' "$h/tmp/tmp.htm" || fail "page composed with the stored colours"
[ "$(show "$set/FontAndColor.web" | head -2)" = $' bgcolor=#FF0000\n><font color=#00FF00' ] \
  || fail "colours kept at close"
expect 0 'marks after two books' run marks
[ "$(cat "$home/out")" = "0	$title1	多玩	$key1	2	
1	上次阅读。。	多玩	$key2	4	2
2	$title2	多玩	$key2	4	" ] || fail "mark list: $(cat "$home/out")"

# Reading a marked book again moves its mark; no second mark appears.
expect 0 'read book 1 again' run read duowan "$key1" 3 --title "$title1"
[ "$(show "$set/AutoMark" | sed -n 1p)" = "『$title1』『多玩』『$key1』『3』" ] || fail "book 1 moved to 3"
[ "$(show "$set/AutoMark" | wc -l)" -eq 3 ] || fail "still three marks"

# The last reading resumes the chapter read last, with the stored colours.
rm "$h/tmp/tmp.htm"
expect 0 'resume' run resume
[[ "$(first_line)" == 第4章* ]] || fail "resume shows chapter 4 of book 1"
grep -q 'bgcolor=#FF0000' "$h/tmp/tmp.htm" || fail "resumed page composed with the stored colours"

# A mark opened from the list fetches its book again and resumes there.
expect 0 'open mark 2' run marks open 2 --save-mark "$home/pos.Mark"
[[ "$(first_line)" == 第5章* ]] || fail "mark 2 shows chapter 5 of book 2"
[ "$(show "$set/AutoMark" | sed -n 2p)" = "2『上次阅读。。』『多玩』『$key2』『4』" ] \
  || fail "the automatic mark follows the opened mark"
[ "$(show "$home/pos.Mark.set")" = $'4\n多玩' ] || fail "position file set saved: $(show "$home/pos.Mark.set")"
[ "$(show "$home/pos.Mark.list" | sed -n 5p)" = "http://duowan.localhost:$port/${key2}5.html" ] \
  || fail "position file chapter addresses"

# A position file set opens as 打开。。。 does; --no-save keeps nothing.
write "$home/pos.Mark.set" 1 多玩
before=$(state)
expect 0 'open-mark' run open-mark "$home/pos.Mark" --no-save
[[ "$(first_line)" == 第2章* ]] || fail "open-mark shows chapter 2"
[ "$(state)" = "$before" ] || fail "--no-save wrote the reading state"

# A chapter that cannot be fetched: exit 1, nothing kept.
expect 1 'failing chapter' run read duowan "$key2" 5 --title "$title2"
grep -q 'could not be fetched' "$home/err" || fail "failing chapter named"
[ "$(state)" = "$before" ] || fail "a failed read wrote the reading state"

# Deleting the mark the automatic mark links to: answered No, nothing
# changes; answered Yes, the file loses the entry and the automatic mark no
# longer links to another book's mark.
expect 1 'delete answered No' run --no marks delete 2
[ "$(state)" = "$before" ] || fail "a refused delete changed the marks"
# --ask asks on the terminal: "n" keeps the mark, "y" deletes it.
expect 1 'delete answered n' run --ask marks delete 2 <<< n
grep -q '\[y/N\]' "$home/err" || fail "--ask did not ask"
[ "$(state)" = "$before" ] || fail "a delete answered n changed the marks"
expect 0 'delete mark 2 answered y' run --ask marks delete 2 <<< y
[ "$(show "$set/AutoMark")" = "『$title1』『多玩』『$key1』『3』
-2『上次阅读。。』『多玩』『$key2』『4』" ] || fail "after delete: $(show "$set/AutoMark")"
expect 0 'resume after delete' run resume
[[ "$(first_line)" == 第5章* ]] || fail "resume after delete"
[ "$(show "$set/AutoMark" | sed -n 1p)" = "『$title1』『多玩』『$key1』『3』" ] || fail "book 1's mark left alone"

# Damaged files.
cp -r "$set" "$home/set.good"
# A preferences line that is no number: the message, what came before it
# applies, the command goes on and the close writes a whole file again.
mapfile -t prefs < <(show "$set/FontAndColor.web")
prefs[4]='abc'
write "$set/FontAndColor.web" "${prefs[@]}"
expect 0 'damaged preferences' run resume
grep -q "'abc' 不是有效的整数值" "$home/err" || fail "conversion message for line 5"
grep -q 'bgcolor=#FF0000' "$h/tmp/tmp.htm" || fail "lines before the damage applied"
[ "$(show "$set/FontAndColor.web" | sed -n 5p)" = 2 ] || fail "zoom level written anew"
# A last reading whose index is no number: the message, exit 1, no file touched.
cp "$home"/set.good/* "$set"/
write "$set/default.3" x 多玩
before=$(state)
expect 1 'damaged default.3' run resume
grep -q "'x' 不是有效的整数值" "$home/err" || fail "conversion message for default.3"
[ "$(state)" = "$before" ] || fail "a damaged last reading was written over"
write "$set/default.3" 1
expect 1 'default.3 of one line' run resume
rm "$set/default.2"
expect 3 'last reading incomplete' run resume
# Damaged marks are listed as they stand; opening one says why, readably.
cp "$home"/set.good/* "$set"/
{ cat "$home/set.good/AutoMark"; printf '%s\r\n' '『坏标签』『多玩' "『书』『多玩』『$key1』『xyz』" '『书』『无此站』『u』『1』' \
  | iconv -f UTF-8 -t GBK; } > "$set/AutoMark"
expect 0 'damaged marks listed' run marks
[ "$(sed -n 3p "$home/out")" = $'2\t『坏标签』『多玩\t\t\t\t' ] || fail "damaged entry listed: $(sed -n 3p "$home/out")"
expect 1 'open a damaged mark' run marks open 2
grep -q '标签格式错误：『坏标签』『多玩' "$home/err" || fail "damaged mark message: $(cat "$home/err")"
expect 3 'mark without chapter number' run marks open 3
grep -q 'names no chapter' "$home/err" || fail "mark without chapter named"
expect 1 'mark of no site' run marks open 4
expect 3 'no such mark' run marks open 9
expect 0 'a good mark still opens' run marks open 0 --no-save
[[ "$(first_line)" == 第4章* ]] || fail "mark 0 after damaged ones"
# Position file sets: missing, incomplete, garbage.
expect 3 'no position file' run open-mark "$home/none.Mark"
rm "$home/pos.Mark.list"
expect 1 'position file without .list' run open-mark "$home/pos.Mark"
head -c 4000 "$cli" > "$home/g.Mark"
tail -c 4000 "$cli" > "$home/g.Mark.list"
printf '\x81\x30\xfe\x00\xff\r\n\x80' > "$home/g.Mark.set"
expect 1 'garbage position file set' run open-mark "$home/g.Mark"
grep -q 'could not be loaded' "$home/err" || fail "garbage set named"

# Bad use.
expect 2 'marks open without N' run marks open
expect 2 'marks delete with a word' run marks delete x
expect 2 '--save-mark without a file' run resume --save-mark
echo "cli reading state: ok"
