#!/usr/bin/env bash
# CI's smoke run of the benchmarks: every program, each benchmark for one short iteration, to
# show that they still build, start and find what they measure. The figures are for
# docs/performance.md, never a pass or a fail; a benchmark that reports an error fails the run.
#
#   bench/smoke.sh [BUILD_DIR]      (default: build)
set -euo pipefail
build=${1:-build}
export VORSA_BENCH_SMOKE=1
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
found=0
for program in "$build"/bench/*/bench_*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  found=1
  start=$(date +%s)
  if "$program" --benchmark_min_time=0.001 >"$log" 2>&1 && ! grep -q "ERROR OCCURRED" "$log"; then
    echo "bench smoke: $(basename "$program") ran ($(( $(date +%s) - start )) s)"
  else
    echo "bench smoke: $(basename "$program") failed:"
    cat "$log"
    status=1
  fi
done
[ "$found" -eq 1 ] || { echo "bench smoke: no benchmark programs under $build/bench" >&2; exit 2; }
exit "$status"
