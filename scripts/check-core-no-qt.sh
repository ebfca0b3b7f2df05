#!/usr/bin/env bash
# Fails when a source of the core (text, net, and the logic of catalogue and
# reader) includes a Qt header.  Files whose name ends in _qt or _window are
# the thin Qt layer and may include Qt.
set -euo pipefail
src=${1:-src}
hits=$(grep -rnE '^\s*#\s*include\s*[<"](Q[A-Za-z]+|Qt[A-Za-z]*/)' \
         "$src/text" "$src/net" "$src/catalogue" "$src/reader" "$src/cli" 2>/dev/null \
       | grep -vE '_(qt|window|widget)\.(cpp|h):' || true)
if [ -n "$hits" ]; then
  echo "core sources include Qt headers:" >&2
  echo "$hits" >&2
  exit 1
fi
