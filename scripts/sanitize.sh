#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UBSan (leak checks on) in build-asan and runs the
# whole test suite there; the simulator and stations the tests start are sanitized too. Every
# report, also one from a child process whose exit code no test reads, fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-asan
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORSA_SANITIZE=ON \
  -DVORSA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2

logs="$PWD/$build/sanitizer-logs"
rm -rf "$logs"
mkdir -p "$logs"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="log_path=$logs/asan:print_stacktrace=1:halt_on_error=1:detect_leaks=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="log_path=$logs/ubsan:print_stacktrace=1:halt_on_error=1"

status=0
ctest --test-dir "$build" --output-on-failure -j2 --timeout 600 || status=1
for report in "$logs"/*; do
  [ -e "$report" ] || continue
  echo "== $report"
  cat "$report"
  status=1
done
exit $status
