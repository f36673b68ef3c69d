#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/test.sh             the normal build (build/)
#   scripts/test.sh --sanitize  the same suite built with ASan + UBSan (build-asan/)
#   scripts/test.sh --thread    the same suite built with ThreadSanitizer (build-tsan/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"

build="$root/build"
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  build="$root/build-asan"
  flags=(-DCMAKE_BUILD_TYPE=Debug -DTOVARIN_SANITIZE=ON)
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1"
  export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi
if [ "${1:-}" = "--thread" ]; then
  build="$root/build-tsan"
  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVARIN_TSAN=ON)
  # Every report fails its test (exit 66); none is suppressed. Qt is not built with
  # ThreadSanitizer, so its own loads and stores are never seen; only its
  # calls into the C library (new, delete, memcpy) are, and those report
  # races between Qt's own threads (its painting thread pool hands tasks over
  # through futexes ThreadSanitizer cannot see). ignore_noninstrumented_modules
  # leaves those calls unchecked too; every access our code makes is checked.
  export TSAN_OPTIONS="second_deadlock_stack=1:history_size=4:ignore_noninstrumented_modules=1"
fi

cmake -S "$root" -B "$build" -G Ninja "${flags[@]}"
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest -j"$(nproc)" --output-on-failure --timeout 600
