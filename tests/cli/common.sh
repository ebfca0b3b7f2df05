# Shared by the CLI test scripts, sourced once cli= and demosites= are set: a
# temporary home (removed at exit, with the demo sites stopped), the demo sites
# on a free port, and the checks.
home=$(mktemp -d)
log=$home/demo.log
server=
trap '[ -z "$server" ] || kill $server 2>/dev/null || true; rm -rf "$home"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
# await_line PATTERN FILE: returns as soon as a line of FILE holds PATTERN
# (tail follows the file as it grows); fails after 30 s without one.
await_line() {
  (timeout 30 tail -n +1 -f "$2" 2> /dev/null || true) | grep -q -m1 -- "$1" || fail "no line with $1 in $2 ($(cat "$home/doing" 2> /dev/null))"
}

# start_demosites OPTIONS...: the demo sites on a free port; sets server and
# port once they listen.
start_demosites() {
  : > "$log"
  "$demosites" --port 0 "$@" >> "$log" 2>&1 &
  server=$!
  await_line listening "$log"
  port=$(sed -n 's/.*listening on http:\/\/127.0.0.1:\([0-9]*\).*/\1/p' "$log")
  [ -n "$port" ] || fail "demo sites started"
}
stop_demosites() { kill $server; wait $server || true; server=; }

# expect CODE WHAT COMMAND...: runs the command, stdout to $home/out, stderr to
# $home/err, and fails unless it exits with CODE.
expect() {
  local want=$1 what=$2 rc=0
  shift 2
  "$@" > "$home/out" 2> "$home/err" || rc=$?
  [ "$rc" -eq "$want" ] || { cat "$home/err" >&2; fail "$what: exit $rc, expected $want"; }
}
