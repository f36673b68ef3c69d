#!/usr/bin/env bash
# Draws the tutorial's six pictures again from today's window (after the
# window changed): starts the device lab's sample world and the picture tool
# side by side in a private network namespace, writing src/tutorial/pictures/
# (Chinese notes) or, with "english", src/tutorial/pictures/en/.
#   bash scripts/tutorial-pictures.sh [english] [OUT_FOLDER]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
lang=""
if [ "${1:-}" = english ]; then lang=english; shift; fi
default_out="$root/src/tutorial/pictures${lang:+/en}"
out="$(realpath -m "${1:-$default_out}")"
if [ "${TOVARIN_IN_NETNS:-}" != 1 ]; then
  cmake --build "$root/build" --target tovarin-tutorial-pictures tovarin-devsim tovarin_world
  exec "$root/scripts/netns-run.sh" "$0" $lang "$out"
fi
bin="$root/build/bin"
source "$root/scripts/lab.sh"
log="$(mktemp)"
trap 'kill ${LAB_PID:-} 2>/dev/null; wait ${LAB_PID:-} 2>/dev/null || true; rm -f "$log"' EXIT
# Pictures of a window without its cameras would teach the wrong thing.
start_lab "$log" --world "$bin/world/lab.ini" || exit 1
QT_QPA_PLATFORM=offscreen QT_QPA_FONTDIR=/usr/share/fonts \
  "$root/build/tests/bin/tovarin-tutorial-pictures" "$out" $lang
