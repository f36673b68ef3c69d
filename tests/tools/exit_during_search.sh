#!/usr/bin/env bash
# tovarin-screenshot must end while the first device search is still
# running: it leaves as the program does, after the search has reported.
# The waits put its exit where the search ends (the search window is 1 s).
# Bounded: three runs, 8 s each at most.
set -u
tool=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for wait in 580 620 660; do
  timeout 8 "$tool" "$out/shot.png" "wait:$wait" 2>/dev/null
  status=$?
  if [ "$status" -ne 0 ]; then
    echo "tovarin-screenshot wait:$wait failed (status $status; 124: still running after 8 s)" >&2
    exit 1
  fi
done
