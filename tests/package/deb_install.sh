#!/usr/bin/env bash
# The Debian package as `make deb` makes it, from this build: what it holds
# and depends on, lintian's verdict, and the package installed into a fresh
# root (dpkg --root), run from there against the demo sites it brings, and
# removed.  The programs write only into the user's data folder, never beside
# themselves, and removing the package leaves that folder alone.
#   deb_install.sh BUILD_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d)
server=
cleanup() {
  [ -z "$server" ] || kill "$server" 2> /dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
export LANG=C.UTF-8 LC_ALL=C.UTF-8

# The package, as make deb builds it (CPack on this build), into tmp.
cpack --config "$build/CPackConfig.cmake" -B "$tmp/pkg" > "$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$tmp"/pkg/talvenor_*.deb)
version=$(dpkg-deb -f "$deb" Version)

# What it holds: the programs in /usr/bin, their data, manual pages,
# completion, desktop entry, icon and metadata; nothing outside /usr.
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' > "$tmp/files"
for f in /usr/bin/talvenor /usr/bin/talvenor-cli /usr/bin/talvenor-demosites \
  /usr/share/talvenor/skn/paper.skn /usr/share/talvenor/skn/night.skn /usr/share/talvenor/skn/sky.skn \
  /usr/share/man/man1/talvenor.1.gz /usr/share/man/man1/talvenor-cli.1.gz \
  /usr/share/man/man1/talvenor-demosites.1.gz /usr/share/bash-completion/completions/talvenor-cli \
  /usr/share/applications/talvenor.desktop /usr/share/icons/hicolor/256x256/apps/talvenor.png \
  /usr/share/metainfo/org.talvenor.talvenor.metainfo.xml /usr/share/doc/talvenor/copyright \
  /usr/share/doc/talvenor/changelog.gz; do
  grep -qxF "$f" "$tmp/files" || fail "the package lacks $f"
done
! grep -v '^/usr/' "$tmp/files" | grep -v '^/$' | grep -q . || fail "files outside /usr: $(grep -v '^/usr/' "$tmp/files")"
# Everything under data/ the programs read is there (the sites' rule files too, where there are any).
src=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
for folder in skn sites; do
  [ -d "$src/data/$folder" ] || continue
  (cd "$src/data" && find "$folder" -type f) | while read -r f; do
    grep -qxF "/usr/share/talvenor/$f" "$tmp/files" || fail "the package lacks data/$f"
  done
done

# Its dependencies: the libraries (dpkg-shlibdeps) and what is started or
# loaded at run time.
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6webenginewidgets6 libqt6webenginecore6-bin libcurl4 libcpp-httplib libjpeg62-turbo fonts-wqy-microhei; do
  [[ $depends == *"$d"* ]] || fail "Depends lacks $d: $depends"
done
# ... and apt can install them: it simulates `apt install ./talvenor_*.deb`.
apt-get -s -q install "$deb" > "$tmp/apt" 2>&1 || { cat "$tmp/apt" >&2; fail "apt cannot install the package"; }
grep -q '^Inst talvenor \|^Conf talvenor ' "$tmp/apt" || { cat "$tmp/apt" >&2; fail "apt would not install talvenor"; }

# lintian: no error; the warnings are printed for the log.
if command -v lintian > /dev/null; then
  lintian --tag-display-limit 0 --display-info "$deb" > "$tmp/lintian" 2>&1 || true
  cat "$tmp/lintian"
  ! grep -q '^E:' "$tmp/lintian" || fail "lintian reports errors"
fi

# Installed into a fresh root.  The programs run from there on this system's
# libraries, as the user of an installed package with HOME below tmp.
root=$tmp/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg_root() { dpkg --root="$root" --force-depends --force-not-root --force-script-chrootless --log=/dev/null "$@"; }
dpkg_root -i "$deb" > "$tmp/dpkg" 2>&1 || { cat "$tmp/dpkg" >&2; fail "dpkg -i"; }
[ -x "$root/usr/bin/talvenor-cli" ] || fail "installed"
(cd "$root" && find . | sort) > "$tmp/root-before"

export HOME=$tmp/home XDG_DATA_HOME=
mkdir "$HOME"
store=$HOME/.local/share/talvenor
[ "$("$root/usr/bin/talvenor-cli" --version)" = "talvenor-cli $version" ] || fail "talvenor-cli --version"
[ "$("$root/usr/bin/talvenor" --version)" = "talvenor $version" ] || fail "talvenor --version"

"$root/usr/bin/talvenor-demosites" --port 0 > "$tmp/demo.log" 2>&1 &
server=$!
(timeout 30 tail -n +1 -f "$tmp/demo.log" 2> /dev/null || true) | grep -q -m1 listening || fail "demo sites"
port=$(sed -n 's/.*127.0.0.1:\([0-9]*\).*/\1/p' "$tmp/demo.log")
"$root/usr/bin/talvenor-cli" demo-hosts "$port" > /dev/null
"$root/usr/bin/talvenor-cli" site duowan > "$tmp/site" || fail "talvenor-cli site duowan"
[ "$(wc -l < "$tmp/site")" -ge 2 ] || fail "the demo's categories: $(cat "$tmp/site")"
[ -s "$store/set/sites.hosts" ] && [ -s "$store/多玩/fenlei.ml" ] || fail "the store is not in $store"
# The program's first start: the skins the package brings, copied into the store.
env -u DISPLAY QT_QPA_PLATFORM=offscreen TALVENOR_EXIT_AFTER_PAINT=1 timeout 120 "$root/usr/bin/talvenor" \
  > /dev/null 2> "$tmp/app" || { cat "$tmp/app" >&2; fail "talvenor's first start"; }
[ "$(cd "$store/skn" && ls | tr '\n' ' ')" = "night.skn paper.skn sky.skn " ] || fail "bundled skins: $(ls "$store/skn")"
(cd "$root" && find . | sort) > "$tmp/root-after"
diff "$tmp/root-before" "$tmp/root-after" > "$tmp/root-diff" ||
  { cat "$tmp/root-diff" >&2; fail "the programs wrote beside themselves"; }
[ "$(cd "$HOME" && find . -mindepth 1 -maxdepth 3 | sort | tr '\n' ' ')" = \
  "./.local ./.local/share ./.local/share/talvenor " ] || fail "the home holds more than the store: $(cd "$HOME" && find .)"
kill "$server"
wait "$server" || true
server=

# Removed: the programs go, the user's store stays as it was.
(cd "$store" && find . -type f -exec md5sum {} + | sort) > "$tmp/store-before"
dpkg_root -r talvenor > "$tmp/dpkg" 2>&1 || { cat "$tmp/dpkg" >&2; fail "dpkg -r"; }
[ ! -e "$root/usr/bin/talvenor-cli" ] && [ ! -e "$root/usr/share/talvenor" ] || fail "removed"
(cd "$store" && find . -type f -exec md5sum {} + | sort) | cmp -s - "$tmp/store-before" ||
  fail "removing the package changed the user's store"
echo "package: ok ($(basename "$deb"))"
