# Sourced by the reading-aloud tests: a sound server of their own with a null
# sink whose monitor is recorded, and speech-dispatcher (started on demand by
# the program) in the same private runtime folder.  Everything started here
# is stopped by its process id at exit.
audio_dir=$(mktemp -d)
chmod 700 "$audio_dir"
export XDG_RUNTIME_DIR=$audio_dir/run HOME=$audio_dir/home XDG_CONFIG_HOME=$audio_dir/home/.config
mkdir -m 700 -p "$XDG_RUNTIME_DIR" "$HOME"
recorder=
audio_cleanup() {
  [ -z "$recorder" ] || kill "$recorder" 2> /dev/null || true
  local f
  for f in "$XDG_RUNTIME_DIR"/speech-dispatcher/pid/*.pid "$XDG_RUNTIME_DIR"/pulse/pid; do
    [ -f "$f" ] && kill "$(cat "$f")" 2> /dev/null || true
  done
  rm -rf "$audio_dir"
}
audio_fail() { echo "FAILED: $*" >&2; exit 1; }

# The sound server with its null sink as the default output.
start_sound() {
  command -v pulseaudio > /dev/null || audio_fail "pulseaudio is not installed (scripts/install-deps.sh)"
  pulseaudio -D --exit-idle-time=-1 -n --load="module-null-sink sink_name=nul" \
    --load=module-native-protocol-unix 2> "$audio_dir/pulse.log" || audio_fail "pulseaudio: $(cat "$audio_dir/pulse.log")"
  pactl set-default-sink nul || audio_fail "no null sink"
}
# record FILE: records the sink's monitor (16 kHz mono WAV) until stop_record.
record() {
  parec -d nul.monitor --file-format=wav --rate=16000 --channels=1 "$1" &
  recorder=$!
  # The recording has begun once its header is written.
  until [ -s "$1" ]; do kill -0 "$recorder" || audio_fail "parec ended"; sleep 0.01; done
}
stop_record() { kill "$recorder"; wait "$recorder" 2> /dev/null || true; recorder=; }
# Seconds of sound recorded so far in FILE.
recorded_seconds() { echo "scale=3; ($(stat -c %s "$1") - 44) / 32000" | bc; }
# Waits until FILE holds at least SECONDS of sound (the recorder writes as the
# sink plays, so this waits for the sound server, not for a clock).
await_recorded() {
  while [ "$(echo "$(recorded_seconds "$1") < $2" | bc)" = 1 ]; do
    kill -0 "$recorder" || audio_fail "parec ended"
    sleep 0.05
  done
}
# rms FILE [START [LENGTH]]: the RMS amplitude (0..1) of the recording or a part.
rms() {
  local trim=
  [ -z "${2:-}" ] || trim="trim $2 ${3:-}"
  sox "$1" -n $trim stat 2>&1 | sed -n 's/^RMS *amplitude: *//p'
}
louder() { [ "$(echo "$1 > $2" | bc -l)" = 1 ]; }
