#!/usr/bin/env bash
# Reading aloud, measured from a recording: talvenor-cli speak reads two
# chapters through speech-dispatcher into a null sink (the demo sites answer
# every request 50 ms late); the sink's monitor is recorded and each sentence
# printed is placed on the recording's time line as it is handed to the
# engine.  Prints the time from a sentence handed over to its first sound
# (cold: the engine's first sentence, warm: the others) and the silence
# between the last sentence of a chapter and the first of the next.
set -euo pipefail
build=${1:-build}
cli=$build/src/cli/talvenor-cli
demosites=$build/tools/demosites/talvenor-demosites
here=$(cd "$(dirname "$0")" && pwd)
home=$(mktemp -d)
server=
. "$here/../tests/speech/audio.sh"
trap '[ -z "$server" ] || kill $server 2> /dev/null || true; audio_cleanup; rm -rf "$home"' EXIT
start_sound
"$demosites" --port 0 --books 20 --chapters 6 --fault '*:=delay:50' > "$home/demo.log" 2>&1 &
server=$!
until grep -q listening "$home/demo.log"; do sleep 0.05; done
port=$(sed -n 's/.*listening on http:\/\/127.0.0.1:\([0-9]*\).*/\1/p' "$home/demo.log")
run() { "$cli" --home "$home/h" "$@"; }
run demo-hosts "$port" > /dev/null
run update duowan 1 > /dev/null 2>&1
key=$(run books duowan 1 2> /dev/null | sed -n 1p | cut -f2)
python3 - "$cli" "$home" "$key" <<'PY'
import array, os, statistics, subprocess, sys, time, wave
cli, home, key = sys.argv[1:4]
wav = os.path.join(home, "rec.wav")
rec = subprocess.Popen(["parec", "-d", "nul.monitor", "--file-format=wav", "--rate=16000", "--channels=1",
                        "--latency-msec=10", wav])
while not os.path.exists(wav) or os.path.getsize(wav) <= 44:
    time.sleep(0.01)
def position():
    return (os.path.getsize(wav) - 44) / 32000.0
runs = []
for attempt in range(2):
    p = subprocess.Popen([cli, "--home", os.path.join(home, "h"), "speak", "duowan", key, "1", "--to", "3",
                          "--rate", "2", "--no-save"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    lines = []
    for line in p.stdout:
        lines.append((position(), line.rstrip("\n")))
    p.wait()
    runs.append(lines)
end = position() + 0.5
while position() < end:
    time.sleep(0.02)
rec.terminate()
rec.wait()
with wave.open(wav) as w:
    samples = array.array("h", w.readframes(w.getnframes()))
frame = 160  # 10 ms
levels = []
for i in range(0, len(samples) - frame, frame):
    chunk = samples[i:i + frame]
    levels.append((sum(s * s for s in chunk) / frame) ** 0.5 / 32768)
loud = [l > 0.01 for l in levels]
def onset(t):
    i = int(t * 100)
    while i < len(loud) and not loud[i]:
        i += 1
    return i / 100.0
def last_sound_before(t):
    i = int(t * 100) - 1
    while i >= 0 and not loud[i]:
        i -= 1
    return (i + 1) / 100.0
cold, warm, gaps = [], [], []
for n, lines in enumerate(runs):
    sentences = [(t, s) for t, s in lines if not s.startswith("# ")]
    for k, (t, s) in enumerate(sentences):
        # The sound of a sentence starts after the previous one's end: time
        # from handing it over to its first sound.
        (cold if n == 0 and k == 0 else warm).append(onset(t) - t)
    for k in range(1, len(lines)):
        if lines[k][1].startswith("# ") and k + 1 < len(lines):
            gaps.append(onset(lines[k + 1][0]) - last_sound_before(lines[k][0]))
print("BM_SpeakToFirstSound/cold   %6.0f ms" % (1000 * cold[0]))
print("BM_SpeakToFirstSound/warm   %6.0f ms median, %6.0f ms max (%d sentences)"
      % (1000 * statistics.median(warm), 1000 * max(warm), len(warm)))
print("BM_ChapterGap/late50ms      %6.0f ms median, %6.0f ms max (%d chapter changes)"
      % (1000 * statistics.median(gaps), 1000 * max(gaps), len(gaps)))
PY
