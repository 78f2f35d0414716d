#!/usr/bin/env bash
# The poll benchmark checked from outside: the whole headless station against vorsa-devsim,
# its requests counted on the wire (bytes sent on its connection, from `ss`, over the 12 bytes
# of a read), alternating with bench_link's TcpClientBackToBack so that both see the same load
# of a shared machine. One line per round with both rates.
#
#   bench/poll-wire.sh [BUILD_DIR] [ROUNDS]      (defaults: build 3)
# Needs: iproute2 (ss).
set -euo pipefail
build=$(realpath "${1:-build}")
rounds=${2:-3}
span=4
for program in station/vorsa-headless devsim/vorsa-devsim bench/link/bench_link; do
  [ -x "$build/$program" ] || { echo "no $build/$program: build first" >&2; exit 2; }
done
command -v ss >/dev/null || { echo "missing ss: apt-get install iproute2" >&2; exit 2; }

home=$(mktemp -d)
sim=; station=
cleanup() {
  [ -n "$station" ] && { kill -CONT "$station"; kill "$station"; } 2>/dev/null || true
  [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT

"$build/devsim/vorsa-devsim" --tcp 0 --scenario quiet >"$home/sim.log" 2>&1 & sim=$!
for _ in $(seq 50); do grep -q '^listening on' "$home/sim.log" && break; sleep 0.1; done
port=$(awk '/^listening on/ { print $3; exit }' "$home/sim.log")
[ -n "$port" ] || { echo "the simulator did not start:"; cat "$home/sim.log"; exit 1; }
printf 'Port:%s\r\n' "$port" >"$home/sys.txt"
VORSA_HOME=$home "$build/station/vorsa-headless" 127.0.0.1 >"$home/station.log" 2>&1 & station=$!
sleep 4

sent() { ss -tin "dst 127.0.0.1:$port" | grep -o 'bytes_sent:[0-9]*' | head -n1 | cut -d: -f2; }
for round in $(seq "$rounds"); do
  kill -CONT "$station"
  sleep 1
  a=$(sent); t0=$(date +%s.%N)
  sleep "$span"
  b=$(sent); t1=$(date +%s.%N)
  # Stopped while the benchmark runs: the two never share the machine.
  kill -STOP "$station"
  bench=$("$build/bench/link/bench_link" --benchmark_filter=TcpClientBackToBack 2>/dev/null |
          grep -o 'items_per_second=[0-9.]*k' | tr -dc '0-9.')
  awk -v r="$round" -v a="${a:-0}" -v b="${b:-0}" -v t0="$t0" -v t1="$t1" -v k="${bench:-0}" 'BEGIN {
    w = (b - a) / 12 / (t1 - t0)
    ratio = (w > 0) ? k * 1000 / w : 0
    printf "round %d: station on the wire %.0f requests/s, benchmark %.0f answers/s (%.2fx)\n",
           r, w, k * 1000, ratio }'
done
echo "load average (1, 5, 15 min): $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores"
