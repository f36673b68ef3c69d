#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, ASan + UBSan) in build-fuzz/ and runs
# each for a bounded time, one after another.
#   scripts/fuzz.sh [seconds-per-harness] [harness...]   (default 15 s, all)
# Each harness starts from its seeds in fuzz/corpus/<harness>/ and grows a
# working corpus in build-fuzz/corpus/<harness>/ (the repository's seeds stay
# as they are). A crashing input lands in build-fuzz/findings/<harness>/.
# Prints executions and findings per harness; exits 1 when any harness failed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-15}"
shift || true
bash "$root/scripts/install-deps.sh"

build="$root/build-fuzz"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVARIN_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzzers

harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  for dir in "$root"/fuzz/corpus/*/; do harnesses+=("$(basename "$dir")"); done
fi

# Harnesses that need files keep them in a scratch folder in memory when
# there is one.
[ -w /dev/shm ] && export TMPDIR=/dev/shm
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=0
printf '%-24s %8s %12s %s\n' harness seconds executions result
for h in "${harnesses[@]}"; do
  corpus="$build/corpus/$h"
  findings="$build/findings/$h"
  log="$build/logs/$h.log"
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  status=0
  # Runs inside the harness's own folder: libFuzzer may write files there.
  (cd "$findings" && "$build/fuzz/$h" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$root/fuzz/corpus/$h") \
    >"$log" 2>&1 || status=$?
  runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || true)
  crashes=$(find "$findings" -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' | wc -l)
  if [ "$status" -ne 0 ]; then
    failed=1
    result="FAILED (exit $status, $crashes input(s) in $findings; see $log)"
  else
    result="ok"
  fi
  printf '%-24s %8s %12s %s\n' "$h" "$seconds" "${runs:-?}" "$result"
done
exit "$failed"
