#!/usr/bin/env bash
# Release check by hand (root, needs Debian's mirror): installs the two
# packages with apt into a clean Debian 12 root, then, as a new user and in a
# private network namespace, starts the installed program offscreen and checks
# it finds its languages and help and shows its window; then updates the
# lab's cameras online with the installed fleet program.
#   packaging/debian_root_check.sh BUILD_DIR [CLEAN_ROOT]
# BUILD_DIR holds the packages (cd BUILD_DIR && cpack). CLEAN_ROOT is a
# folder made by `debootstrap --variant=minbase bookworm DIR`; it is copied,
# never changed. Without it one is made in a scratch folder (a few minutes).
set -euo pipefail
build=$(cd "$1" && pwd)
clean=${2:-}
work=$(mktemp -d /var/tmp/tovarin-root.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

root=$work/root
if [ -n "$clean" ]; then
  cp -a "$clean" "$root"
else
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >"$work/debootstrap.log"
fi
mkdir -p "$root/tmp/pkgs"
cp "$build"/tovarin_*_amd64.deb "$build"/tovarin-devsim_*_amd64.deb "$root/tmp/pkgs/"

# Mounts live only in this command's private mount namespace; with "-n" it
# also gets a network namespace of its own with only loopback up.
in_root() {  # in_root [-n] SCRIPT
  local flags=(-m)
  [ "$1" = -n ] && flags+=(-n) && shift
  unshare "${flags[@]}" bash -c 'ip link set lo up 2>/dev/null; mount --bind /dev "$0/dev" &&
    mount -t proc proc "$0/proc" && chroot "$0" bash -c "$1"' "$root" "$1"
}
in_root 'apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q /tmp/pkgs/*.deb' \
  >"$work/apt.log" 2>&1 || fail "apt install: $(tail -5 "$work/apt.log")"
grep -E "newly installed" "$work/apt.log"

# What a new user does, in a private network namespace (the window's first
# showing searches for devices): the program's folders and window, then the
# lab and an online update of its cameras through the update server, which is
# the first use of libcurl (loaded only then).
cat >"$root/tmp/as-user.sh" <<'SCRIPT'
cd && export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp/rt
mkdir -m700 /tmp/rt && tovarin --folders
tovarin & p=$!; sleep 3; kill -0 $p && echo "window up"; kill $p
tovarin-devsim >lab.out 2>&1 & lab=$!
for _ in $(seq 50); do grep -q "^update server" lab.out && break; sleep 0.1; done
tovarin-fleet update --online --update-server 127.0.0.1:8080 --all --reboot-wait 30 >fleet.out 2>&1
echo "online update exit $?"
tail -n 12 fleet.out
kill $lab
SCRIPT
report=$(in_root -n 'useradd -m camera-keeper && su camera-keeper -c "bash /tmp/as-user.sh"
  ldd /usr/bin/tovarin /usr/bin/tovarin-fleet /usr/lib/tovarin/*.so | grep "not found" || true' 2>&1)
echo "$report"
grep -qxF "languages: English, 简体中文" <<<"$report" || fail "languages not found"
grep -qxF "help texts: loaded" <<<"$report" || fail "help not found"
grep -qxF "window up" <<<"$report" || fail "the window did not stay up"
# The sample world's second camera keeps a password of its own on purpose.
grep -qE "^CAM0001A .* confirmed +2010 -> 2011$" <<<"$report" || fail "the online update failed"
grep -q "not found" <<<"$report" && fail "a library is missing"
echo "the packages install on Debian 12 and the program starts"
