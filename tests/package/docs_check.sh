#!/usr/bin/env bash
# The installed documents as a user meets them: the manual pages render
# without a warning from groff or man, and document every command the program
# has; the desktop entry and the software centre's entry pass their validators.
#   docs_check.sh CLI MANDIR DESKTOP METAINFO
set -euo pipefail
cli=$1 mandir=$2 desktop=$3 metainfo=$4
fail() { echo "FAILED: $*" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export LANG=C.UTF-8 LC_ALL=C.UTF-8

for page in talvenor talvenor-cli talvenor-demosites; do
  file=$mandir/$page.1
  [ -s "$file" ] || fail "no manual page $file"
  groff -ww -k -z -man -Tutf8 "$file" 2> "$tmp/groff"
  [ ! -s "$tmp/groff" ] || { cat "$tmp/groff" >&2; fail "groff warns about $page.1"; }
  if command -v man > /dev/null; then
    MANWIDTH=80 man --warnings=w -l "$file.gz" > "$tmp/$page.txt" 2> "$tmp/man"
    [ ! -s "$tmp/man" ] || { cat "$tmp/man" >&2; fail "man warns about $page.1"; }
    grep -q '^SYNOPSIS' "$tmp/$page.txt" && grep -q "^ *$page " "$tmp/$page.txt" || fail "$page.1 has no synopsis"
  fi
done

# Every command of `talvenor-cli --help` has its entry under COMMANDS, and the
# page names no command the program does not know.
"$cli" --help | sed -n '/^commands:/,/^$/s/^  \([a-z][a-z0-9-]*\).*/\1/p' | sort -u > "$tmp/commands"
[ "$(wc -l < "$tmp/commands")" -ge 10 ] || fail "the commands of --help: $(cat "$tmp/commands")"
sed -n '/^\.SH COMMANDS/,/^\.SH /p' "$mandir/talvenor-cli.1" |
  awk '/^\.TP/ { getline; print }' | sed 's/\\-/-/g' | grep -o '\\fB[a-z][a-z0-9-]*' | sed 's/\\fB//' | sort -u > "$tmp/documented"
diff "$tmp/commands" "$tmp/documented" > "$tmp/diff" ||
  { cat "$tmp/diff" >&2; fail "README's command table and talvenor-cli's commands differ (< program, > README)"; }
# Each option the program's usage names is in the page's synopsis or text.
"$cli" --help | grep -o '^  --[a-z-]*' | tr -d ' ' | while read -r option; do
  grep -q -- "${option//-/\\\\-}" "$mandir/talvenor-cli.1" || fail "talvenor-cli.1 does not name $option"
done

if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$desktop" > "$tmp/desktop" 2>&1 || true
  [ ! -s "$tmp/desktop" ] || { cat "$tmp/desktop" >&2; fail "desktop-file-validate"; }
fi
if command -v appstreamcli > /dev/null; then
  appstreamcli validate --no-net --pedantic "$metainfo" > "$tmp/metainfo" 2>&1 ||
    { cat "$tmp/metainfo" >&2; fail "appstreamcli validate"; }
  # Its launchable is the desktop entry that is installed with it.
  grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$metainfo" || fail "launchable"
fi
# The screenshots it names are the README's, published under the homepage.
shots=$(dirname "$desktop")/../docs/screenshots
names=$(sed -n 's|.*<image>.*/screenshots/\([^<]*\)</image>.*|\1|p' "$metainfo")
[ -n "$names" ] || fail "the metadata names no screenshot"
for name in $names; do
  [ -f "$shots/$name" ] || fail "the metadata names $name, which docs/screenshots lacks"
done
echo "docs: ok"
