#!/usr/bin/env bash
# The scripts that run the device lab stop, say so and exit non-zero when
# the lab does not start (here: another program holds a camera's port),
# instead of going on and reporting a demonstration that never ran.
# Runs inside a private network namespace (netns-run.sh).
set -u
root=$1
bin=$2
work=$(mktemp -d)
socat TCP-LISTEN:9001,bind=127.0.0.2,reuseaddr,fork /dev/null &
holder=$!
trap 'kill $holder 2>/dev/null; wait $holder 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do (exec 3<>/dev/tcp/127.0.0.2/9001) 2>/dev/null && break; sleep 0.1; done
fail() { echo "$*" >&2; exit 1; }
unset DISPLAY WAYLAND_DISPLAY
TOVARIN_BIN=$bin TMPDIR=$work timeout 120 bash "$root/scripts/demo-world.sh" >"$work/demo.out" 2>&1
status=$?
[ "$status" -ne 0 ] && [ "$status" -ne 124 ] || fail "demo-world.sh ended with $status"
grep -q "the device lab did not start" "$work/demo.out" || fail "demo-world.sh: $(cat "$work/demo.out")"
! grep -q "Device lab running\|Saved" "$work/demo.out" || fail "demo-world.sh: $(cat "$work/demo.out")"
echo "demo-world.sh stops when its lab does not start"
