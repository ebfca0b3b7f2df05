#!/usr/bin/env bash
# TAB completion of talvenor-cli, driven in bash as a user's shell drives it:
# commands, options, sites and the stored categories of a site, with the
# demo sites watching that completing never fetches a page.
#   cli_completion.sh CLI DEMOSITES COMPLETION
set -euo pipefail
cli=$1
demosites=$2
completion=$3
. "$(dirname "$0")/common.sh"
h=$home/h
run() { "$cli" --home "$h" "$@"; }

# complete WORD...: the candidates bash offers for the last WORD of
# "talvenor-cli WORD...", one a line, sorted.
complete() {
  bash -c '. "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _talvenor_cli
           printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$cli" "$@" | sed '/^$/d' | sort
}
lines() { printf '%s\n' "$@" | sort; }
requests() { grep -c 'localhost' "$log" || true; }

bash -c '. "$1"; complete -p talvenor-cli' _ "$completion" | grep -q -- '-F _talvenor_cli talvenor-cli$' ||
  fail "the completion is registered for talvenor-cli"

# Commands: what --help lists, and a prefix picks among them.
[ "$(complete '')" = "$("$cli" --help | sed -n '/^commands:/,/^$/s/^  \([a-z][a-z0-9-]*\).*/\1/p' | sort)" ] ||
  fail "commands: $(complete '')"
[ "$(complete up)" = update ] || fail "up: $(complete up)"
[ "$(complete --home "$h" ma)" = marks ] || fail "after --home: $(complete --home "$h" ma)"
[ "$(complete --ve)" = --version ] || fail "--ve: $(complete --ve)"
[ "$(complete read duowan k 1 --s)" = "$(lines --save-mark --spacing)" ] || fail "read's options"
[ "$(complete watch '')" = "$(lines add check list remove)" ] || fail "watch: $(complete watch '')"

start_demosites --log
run demo-hosts "$port" > /dev/null

# Sites: every label and alias the program knows, and a prefix of either.
[ "$(complete --home "$h" site '')" = "$(lines 多玩 duowan 小说阅读网 readnovel 言情小说吧 xs8 飞库 feiku 小说520 520)" ] ||
  fail "sites: $(complete --home "$h" site '')"
[ "$(complete --home "$h" chapters 小说)" = "$(lines 小说阅读网 小说520)" ] || fail "小说: $(complete chapters 小说)"
[ "$(complete --home "$h" watch add f)" = feiku ] || fail "watch add f"
[ "$(complete --home "$h" search --site x)" = xs8 ] || fail "--site x"

# No stored categories yet: nothing offered, and nothing fetched for it.
before=$(requests)
[ -z "$(complete --home "$h" update duowan '')" ] || fail "categories offered before any were stored"
expect 3 'site --stored without a store' run site --stored duowan
grep -q 'no stored categories' "$home/err" || fail "site --stored says why"
[ "$(requests)" = "$before" ] || fail "completing or site --stored fetched a page"

# Stored: the categories `site` printed, still without a request.
run site duowan > "$home/site"
[ "$(wc -l < "$home/site")" -ge 2 ] || fail "the demo's categories"
before=$(requests)
[ "$(complete --home "$h" update duowan '')" = "$(cut -f1 "$home/site" | sort)" ] ||
  fail "stored categories: $(complete --home "$h" update duowan '')"
first=$(head -1 "$home/site" | cut -f1)
complete --home = "$h" books 多玩 "${first:0:1}" | grep -qxF "$first" || fail "books 多玩 ${first:0:1}"
run site --stored duowan | cmp -s - "$home/site" || fail "site --stored prints what site printed"
[ "$(requests)" = "$before" ] || fail "completing a category fetched a page"
# Another home has its own store: nothing there.
[ -z "$(complete --home "$home/other" update duowan '')" ] || fail "--home is not followed"
echo "cli completion: ok"
