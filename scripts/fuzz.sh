#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for SECONDS (default 60),
# starting from its seed corpus in tests/fuzz/corpus. New inputs collect in build-fuzz/corpus;
# a crash leaves its input in build-fuzz/crashes and fails the run.
set -euo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."

packages=(clang libclang-rt-14-dev)
bash scripts/install-packages.sh "${packages[@]}"

build=build-fuzz
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DVORSA_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target fuzzers

export QT_QPA_PLATFORM=offscreen
mkdir -p "$build/crashes"
status=0
for seeds in tests/fuzz/corpus/*/; do
  target=$(basename "$seeds")
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  log="$build/$target.log"
  if "$build/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="$build/crashes/$target-" "$corpus" "$seeds" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
    tail -n 40 "$log"
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "$target: ${runs:-?} runs in ${seconds} s, $result"
done
exit $status
