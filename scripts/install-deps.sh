#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Packages already present are skipped, so repeated runs cost one dpkg query.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config libgumbo-dev
  libcurl4-openssl-dev libcpp-httplib-dev libssl-dev
  # Rule files of the sites are TOML.
  libtomlplusplus-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # scripts/bench-update.sh sets the update against curl fetching the same pages.
  curl
  clang-format
  clang libclang-rt-14-dev
  # The manual pages are written from the README; the package and its checks.
  python3 file man-db groff-base lintian appstream desktop-file-utils
  # Books exported as EPUB are zipped with libzip and checked with epubcheck.
  libzip-dev epubcheck
)
# GUI and browser-engine packages are wanted only where a target asks for them.
if [ "${TALVENOR_WITH_GUI:-0}" = 1 ]; then
  packages+=(qt6-base-dev qt6-webengine-dev qt6-multimedia-dev libjpeg62-turbo-dev xvfb xauth fonts-wqy-microhei)
  # The hot key grabs F7 through xcb; the tray tests need a tray host and keys.
  packages+=(libxcb1-dev trayer xdotool)
  # Qt's own Chinese texts (standard buttons and dialogs); a window manager and
  # the X tools that tell what is mapped, for the window-manager tests.
  packages+=(qt6-translations-l10n openbox x11-utils)
fi
# Reading aloud: speech-dispatcher's C API with espeak-ng's Mandarin voice; the
# end-to-end test speaks into a PulseAudio null sink and measures it with sox.
packages+=(libspeechd-dev speech-dispatcher speech-dispatcher-espeak-ng espeak-ng
  pulseaudio pulseaudio-utils sox bc)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=
[ "$(id -u)" -ne 0 ] && SUDO=sudo
echo "installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
