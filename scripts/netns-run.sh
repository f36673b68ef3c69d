#!/usr/bin/env bash
# Runs a command inside a private network namespace whose only interface is
# loopback, so that discovery probes and lab traffic never leave the machine.
# Exits 77 (a skip for CTest) when no namespace can be made here.
set -u
if [ "${TOVARIN_IN_NETNS:-}" = 1 ]; then
  exec "$@"
fi
if ! unshare -n true 2>/dev/null; then
  echo "skipped: cannot create a private network namespace here (needs root or user namespaces)" >&2
  exit 77
fi
exec unshare -n -- env TOVARIN_IN_NETNS=1 bash -c 'ip link set lo up && exec "$@"' netns-run "$@"
