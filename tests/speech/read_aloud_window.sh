#!/usr/bin/env bash
# Runs the reader window's reading-aloud tests with a sound server of their
# own (a null sink) and speech-dispatcher started on demand beside it.
set -euo pipefail
tests=$1
shift
. "$(dirname "$0")/audio.sh"
trap audio_cleanup EXIT
start_sound
"$tests" "$@"
