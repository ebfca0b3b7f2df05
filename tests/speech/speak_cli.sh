#!/usr/bin/env bash
# talvenor-cli speak through the real engine: speech-dispatcher and espeak-ng
# speaking into a null sink whose monitor is recorded and measured with sox.
# Two chapters are read in order, sentence by sentence, with sound while they
# are spoken; the automatic mark follows the chapter read; Ctrl-C stops at
# once (exit 130) and silence follows.
set -euo pipefail
cli=$1
demosites=$2
. "$(dirname "$0")/../cli/common.sh"
. "$(dirname "$0")/audio.sh"
trap '[ -z "$server" ] || kill $server 2> /dev/null || true; audio_cleanup; rm -rf "$home"' EXIT
command -v bc > /dev/null || fail "bc is missing"
start_sound
start_demosites --books 20 --chapters 4
run() { "$cli" --home "$home/h" "$@"; }
run demo-hosts "$port" > /dev/null
run update duowan 1 > /dev/null 2>&1
run books duowan 1 > "$home/books" 2> /dev/null
key=$(sed -n 1p "$home/books" | cut -f2)

# Chapter 1, then 2, as the reader would show them.
run read duowan "$key" 1 --no-save > "$home/ch1" 2> /dev/null
run read duowan "$key" 2 --no-save > "$home/ch2" 2> /dev/null

# Chapter 1 read through into chapter 2; Ctrl-C once chapter 2 is being read
# stops at once (exit 130), and silence follows.
record "$home/speak.wav"
"$cli" --home "$home/h" speak duowan "$key" 1 --to 2 --rate 2 > "$home/out" 2> "$home/err" &
speaker=$!
# The second chapter's title, then its first sentence.
second_chapter_begun() { awk '/^# /{n++; next} n==2{found=1; exit} END{exit !found}' "$home/out"; }
until second_chapter_begun; do
  kill -0 $speaker 2> /dev/null || fail "chapter 2 was not reached: $(cat "$home/out" "$home/err")"
  sleep 0.05
done
kill -INT $speaker
rc=0
wait $speaker || rc=$?
[ "$rc" -eq 130 ] || fail "Ctrl-C: exit $rc, expected 130 ($(cat "$home/err"))"
stopped=$(recorded_seconds "$home/speak.wav")
await_recorded "$home/speak.wav" "$(echo "$stopped + 1.5" | bc)"
stop_record

grep -c '^# ' "$home/out" | grep -qx 2 || fail "two chapter titles: $(cat "$home/out")"
# Every sentence printed is text of its chapter, in the chapter's order, and
# the first chapter was read to its end.
awk '/^# /{n++; next} {print > (dir "/said" n)}' dir="$home" "$home/out"
for n in 1 2; do
  [ -s "$home/said$n" ] || fail "nothing spoken of chapter $n"
  rest=$(tr -d ' \n' < "$home/ch$n")
  while IFS= read -r line; do
    s=$(printf '%s' "$line" | tr -d ' ')
    case $rest in
      *"$s"*) rest=${rest#*"$s"} ;;
      *) fail "chapter $n: \"$line\" is not the next text of the chapter" ;;
    esac
  done < "$home/said$n"
  [ "$n" = 2 ] || [ "$(printf '%s' "$rest" | tr -d '　')" = "" ] || fail "chapter 1 was not read to its end: \"$rest\" left"
done
# The footer is not read.
! grep -q '论坛' "$home/out" || fail "the footer was read"
level=$(rms "$home/speak.wav" 0 "$stopped")
after=$(rms "$home/speak.wav" "$(echo "$stopped + 0.5" | bc)" 1)
louder "$level" 0.01 || fail "no sound while speaking (RMS $level)"
louder 0.002 "$after" || fail "sound after Ctrl-C (RMS $after)"

# Bad values: the usage, and nothing spoken.
expect 2 'bad rate' run speak duowan "$key" 1 --rate 3
expect 2 'bad chapter' run speak duowan "$key" x
echo "speak: RMS $level while speaking, $after after Ctrl-C"
