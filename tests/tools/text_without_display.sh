#!/usr/bin/env bash
# tovarin prints its help, its folders and its option errors without a
# display (a terminal over ssh, an install check) instead of aborting.
set -u
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work
fail() { echo "$*" >&2; exit 1; }
out=$(timeout 30 "$program" --help 2>&1) || fail "--help ended with $?: $out"
grep -q -- "--folders" <<<"$out" || fail "--help printed: $out"
out=$(timeout 30 "$program" --folders 2>&1) || fail "--folders ended with $?: $out"
grep -q "^settings: " <<<"$out" || fail "--folders printed: $out"
timeout 30 "$program" --no-such-option >"$work/out" 2>&1
status=$?
[ "$status" -ne 0 ] && [ "$status" -lt 128 ] && [ "$status" -ne 124 ] ||
  fail "an unknown option ended with $status: $(cat "$work/out")"
grep -q "no-such-option" "$work/out" || fail "an unknown option printed: $(cat "$work/out")"
echo "help, folders and option errors print without a display"
