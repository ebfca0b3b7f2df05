#!/usr/bin/env bash
# talvenor-cli as a user runs it: a fresh home, the site table, a fetch that
# works, one that fails, and a bad command.
set -euo pipefail
cli=$1
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

out=$("$cli" --home "$home" sites)
echo "$out" | grep -q $'^多玩\t多玩文学博客\t1\t-\t1\tUTF-8\thttp://duowan.localhost:18630'
echo "$out" | grep -q $'^小说520\t-\t0\t\\[520\\]\t5\tGBK'
[ -d "$home/set" ] && [ -d "$home/see" ]

# A hosts file in set/ moves a site elsewhere.
printf 'feiku = http://127.0.0.1:9\n' > "$home/set/sites.hosts"
"$cli" --home "$home" sites | grep -q $'^飞库\t.*\thttp://127.0.0.1:9\t'

# Fetching from a closed port fails with a message and exit code 1.
if "$cli" --home "$home" fetch http://127.0.0.1:9/ 2>"$home/err"; then exit 1; fi
grep -q 'fetch failed' "$home/err"
if "$cli" --home "$home" fetch about:blank 2>/dev/null; then exit 1; fi

# Unknown commands are refused with the usage.
if "$cli" --home "$home" nonsense 2>"$home/err"; then exit 1; fi
grep -q 'usage' "$home/err"
echo "cli smoke: ok"
