#!/usr/bin/env bash
# Draws the tutorial's six pictures again from today's window (after the
# window changed): starts the device lab's sample world and the picture tool
# side by side in a private network namespace, writing src/tutorial/pictures/.
#   bash scripts/tutorial-pictures.sh [OUT_FOLDER]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "${1:-$root/src/tutorial/pictures}")"
if [ "${TOVARIN_IN_NETNS:-}" != 1 ]; then
  cmake --build "$root/build" --target tovarin-tutorial-pictures tovarin-devsim tovarin_world
  exec "$root/scripts/netns-run.sh" "$0" "$out"
fi
bin="$root/build/bin"
"$bin/tovarin-devsim" --world "$bin/world/lab.ini" >/dev/null &
lab=$!
trap 'kill $lab 2>/dev/null; wait $lab 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  (exec 3<>/dev/tcp/127.0.0.2/9001) 2>/dev/null && break
  sleep 0.1
done
QT_QPA_PLATFORM=offscreen QT_QPA_FONTDIR=/usr/share/fonts \
  "$root/build/tests/bin/tovarin-tutorial-pictures" "$out"
