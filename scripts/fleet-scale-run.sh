#!/usr/bin/env bash
# Manual measurement: a lab of N cameras and one tovarin-fleet rollout to all
# of them, inside a private network namespace, timed with /usr/bin/time -v.
#   scripts/fleet-scale-run.sh BUILD_DIR PATCH CAMERAS PARALLEL [REPORT.json]
# The patch must be a 47RKT patch for the lab's sample camera (2010); the
# table goes beside REPORT as REPORT.txt.
set -u
build=$1 patch=$2 cameras=$3 parallel=$4 report=${5:-/dev/null}
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/netns-run.sh" bash -c '
  build=$1 patch=$2 cameras=$3 parallel=$4 report=$5
  table=/dev/null
  [ "$report" = /dev/null ] || table=${report%.json}.txt
  "$build/bin/tovarin-devsim" --world "$6" --no-http --cameras "$cameras" >/dev/null &
  lab=$!
  sleep 2
  /usr/bin/time -v "$build/bin/tovarin-fleet" update --patch "$patch" --all --wait 2 \
      --parallel "$parallel" --json "$report" > "$table"
  status=$?
  kill "$lab"; wait "$lab"
  echo "exit status $status"
' fleet-scale "$build" "$patch" "$cameras" "$parallel" "$report" "$here/../devsim/world/lab.ini"
