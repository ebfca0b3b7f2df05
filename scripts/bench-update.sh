#!/usr/bin/env bash
# `talvenor-cli update` of one 多玩 category of BOOKS books (pages of 200)
# from the demo sites on loopback, against curl fetching the same pages one
# after another over one connection.  Prints, for each, the median time of
# three runs, and the update's peak memory (resident set):
#   BM_CliUpdate/BOOKS  T ms  RSS MB
#   BM_CurlPages/BOOKS  T ms
set -euo pipefail
build=${1:-build}
books=${2:-1000000}
pagesize=200
work=$(mktemp -d)
log="$work/demosites.log"
"$build/tools/demosites/talvenor-demosites" --port 0 --categories 1 --books "$books" --page-size "$pagesize" \
  > "$log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$work"' EXIT
port=
for _ in $(seq 1 200); do
  port=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log")
  [ -n "$port" ] && break
  sleep 0.05
done
[ -n "$port" ] || { echo "bench-update: the demo sites did not start" >&2; exit 1; }
home="$work/home"
mkdir -p "$home"
cli=("$build/src/cli/talvenor-cli" --home "$home")
"${cli[@]}" demo-hosts "$port" > /dev/null
"${cli[@]}" site duowan > /dev/null
url=$(head -n 1 "$home/多玩/fenlei.ml.list" | tr -d '\r')
prefix=${url%1.html}
pages=$(( (books + pagesize - 1) / pagesize ))
for n in $(seq 1 "$pages"); do
  printf 'url = "%s%d.html"\noutput = /dev/null\n' "$prefix" "$n"
done > "$work/curl.cfg"
python3 - "$books" "$home" "$work/curl.cfg" "${cli[@]}" <<'PY'
import glob, os, resource, subprocess, sys, time
books, home, cfg, cli = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]

def run(cmd):
    start = time.monotonic()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return (time.monotonic() - start) * 1000

def update():
    # A fresh download each time: without a stored list the walk takes every page.
    for f in glob.glob(os.path.join(home, '多玩', '*.ml*')):
        if not os.path.basename(f).startswith('fenlei.'):
            os.remove(f)
    return run(cli + ['update', 'duowan', '0'])

updates = sorted(update() for _ in range(3))
rss = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
stored = [f for f in glob.glob(os.path.join(home, '多玩', '*.ml.list'))
          if not os.path.basename(f).startswith('fenlei.')]
lines = sum(1 for _ in open(stored[0], 'rb'))
if lines != int(books):
    sys.exit(f'bench-update: {lines} books stored, not {books}')
plain = sorted(run(['curl', '-s', '--fail', '-K', cfg]) for _ in range(3))
print(f'BM_CliUpdate/{books} {updates[1]:.0f} ms {rss:.0f} MB')
print(f'BM_CurlPages/{books} {plain[1]:.0f} ms')
PY
