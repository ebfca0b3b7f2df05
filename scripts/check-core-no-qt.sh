#!/usr/bin/env bash
# Checks the layering of the sources:
# - the core (text, net, the logic of catalogue, reader and app, the CLI)
#   includes no Qt header.  Files whose name ends in _qt, _window or _widget,
#   and the windows' program entry app/main.cpp, are the thin Qt layer;
# - the layers below the reader (text, net, catalogue) never include it.
set -euo pipefail
src=${1:-src}
status=0
hits=$(grep -rnE '^\s*#\s*include\s*[<"](Q[A-Za-z]+|Qt[A-Za-z]*/)' \
         "$src/text" "$src/net" "$src/catalogue" "$src/reader" "$src/speech" "$src/app" "$src/cli" 2>/dev/null \
       | grep -vE '_(qt|window|widget)\.(cpp|h):|/app/main\.cpp:' || true)
if [ -n "$hits" ]; then
  echo "core sources include Qt headers:" >&2
  echo "$hits" >&2
  status=1
fi
up=$(grep -rnE '^\s*#\s*include\s*"(reader|app|platform|cli)/' "$src/text" "$src/net" "$src/catalogue" 2>/dev/null || true)
if [ -n "$up" ]; then
  echo "lower layers include the reader, the program or the windows:" >&2
  echo "$up" >&2
  status=1
fi
exit $status
