# Sourced by the scripts that run the device lab beside the program.
#
# start_lab LOG ARGS...: starts build/bin/tovarin-devsim ARGS... (or the one
# in $bin when set) in the background with its words in LOG, and waits until
# it serves every camera (and its update server): it prints its state folder
# once everything has started. Sets LAB_PID. When the lab ends or is not
# ready within 10 s, prints why and returns 1: what follows needs the lab.
start_lab() {
  local log=$1
  shift
  "${bin:?}/tovarin-devsim" "$@" >"$log" 2>&1 &
  LAB_PID=$!
  for _ in $(seq 100); do
    # Its failures reach the log (stderr) before its buffered last words do.
    if grep -q '^state folder ' "$log"; then
      grep -q '^tovarin-devsim:' "$log" || return 0
      break
    fi
    grep -q '^tovarin-devsim:' "$log" && break
    kill -0 "$LAB_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "the device lab did not start:" >&2
  sed 's/^/  /' "$log" >&2
  kill "$LAB_PID" 2>/dev/null
  wait "$LAB_PID" 2>/dev/null
  return 1
}
