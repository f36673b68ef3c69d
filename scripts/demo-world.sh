#!/usr/bin/env bash
# Runs the lab's sample world and the program side by side (see demo.sh).
# Exits non-zero, saying which, when a step the demonstration needs fails.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="${TOVARIN_BIN:-$root/build/bin}"
tools="${TOVARIN_TOOLS:-$root/build/tests/bin}"  # tovarin-screenshot
source "$root/scripts/lab.sh"

log="$(mktemp)"
# The demonstration trusts the lab's test key (it signs the sample world). It
# runs a private copy of the program folder that holds the key, so that
# neither the build tree nor the tests running from it meanwhile trust it.
demo_bin="$(mktemp -d)"
trap 'kill ${LAB_PID:-} 2>/dev/null; wait ${LAB_PID:-} 2>/dev/null || true
      rm -rf "$log" "$demo_bin"' EXIT
cp -a "$bin/." "$demo_bin/"
mkdir -p "$demo_bin/trusted-keys"
cp "$bin/world/lab-key/tovarin-lab.pub" "$demo_bin/trusted-keys/"
bin="$demo_bin"
start_lab "$log" --world "$bin/world/lab.ini" || exit 1

cat <<TXT
Device lab running: CAM0001A 127.0.0.2 (47RKT 2010), CAM0002B 127.0.0.3
(47RKT 2009, user operator / op123), CAM0003C 127.0.0.4 (52HQX 3001).
Patches to try: $bin/world/patches/47RKT2011.patch, $bin/world/patches/52HQX3002.patch
Online update: the lab's update server (127.0.0.1:8080) offers 47RKT firmware
2011. Log in to CAM0001A and press CheckForUpdate: the new files download, are
checked, packed and sent; the camera reboots into 2011. Everything the lab
serves is signed with its test key, which this demonstration trusts.
Console (backtick key): qelvomtr unlocks the hidden pages.
TXT

# The firmware CAM0001A reports at login, asked of the camera itself.
version_of_first() {
  "$bin/tovarin-fleet" search --wait 1 --login admin --json |
    sed -n '/"address": "127.0.0.2"/,/}/s/.*"version": \([0-9]*\).*/\1/p'
}

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$bin/tovarin"
else
  out="${TMPDIR:-/tmp}/tovarin-demo"
  mkdir -p "$out"
  echo "No display: recording the operator's walk as screenshots in $out"
  export QT_QPA_PLATFORM=offscreen
  "$tools/tovarin-screenshot" "$out/1-devices.png" wait:1500
  "$tools/tovarin-screenshot" "$out/2-logged-in.png" wait:1500 dblclick:0 \
    login:127.0.0.2 wait:300
  echo "Online update of CAM0001A (47RKT 2010), the boxes it shows:"
  "$tools/tovarin-screenshot" "$out/3-online-update.png" wait:1000 login:127.0.0.2 check wait:300
  # The camera is back once its reboot time has passed.
  "$tools/tovarin-screenshot" "$out/4-updated.png" wait:3000 login:127.0.0.2 wait:300
  version="$(version_of_first)"
  if [ "$version" != 2011 ]; then
    echo "The online update did not take: CAM0001A reports firmware ${version:-nothing}" >&2
    exit 1
  fi
  echo "Saved $out/1-devices.png .. $out/4-updated.png (4: CAM0001A now runs 2011)"
fi
