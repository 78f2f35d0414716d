#!/usr/bin/env bash
# The poll benchmark beside a count on the wire. A counting proxy (bench/wire-count.py) stands
# between each client and one vorsa-devsim and counts the requests in the bytes that pass, and
# the most requests any client had in flight. Each round runs, one after the other so that they
# never share the machine:
#   the whole headless station: its requests per second on the wire and its CPU time per answer
#   (all its threads, from /proc) over a span after it has settled;
#   bench_link's TcpClientPoll: the answers per second it reports beside the requests per second
#   the proxy saw on its connection;
#   bench_link's PlainLibmodbusPaced: the same for the plain libmodbus loop.
# The proxy's own cost (a Python process on the same machine) counts in neither figure of CPU.
#
#   bench/poll-wire.sh [BUILD_DIR] [ROUNDS]      (defaults: build 3)
# Needs: python3.
set -euo pipefail
build=$(realpath "${1:-build}")
rounds=${2:-3}
span=5
here=$(dirname "$(realpath "$0")")
for program in station/vorsa-headless devsim/vorsa-devsim bench/link/bench_link; do
  [ -x "$build/$program" ] || { echo "no $build/$program: build first" >&2; exit 2; }
done
command -v python3 >/dev/null || { echo "missing python3" >&2; exit 2; }

home=$(mktemp -d)
sim=; proxy=; station=
cleanup() {
  for pid in $station $proxy $sim; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$home"
}
trap cleanup EXIT

# Waits for "listening on PORT" in a log and prints the port.
listening_port() {
  for _ in $(seq 50); do grep -q '^listening on' "$1" && break; sleep 0.1; done
  awk '/^listening on/ { print $3; exit }' "$1"
}

"$build/devsim/vorsa-devsim" --tcp 0 --scenario quiet >"$home/sim.log" 2>&1 & sim=$!
device=$(listening_port "$home/sim.log")
[ -n "$device" ] || { echo "the simulator did not start:"; cat "$home/sim.log"; exit 1; }
python3 "$here/wire-count.py" "$device" >"$home/proxy.log" 2>&1 & proxy=$!
port=$(listening_port "$home/proxy.log")
[ -n "$port" ] || { echo "the proxy did not start:"; cat "$home/proxy.log"; exit 1; }
printf 'Port:%s\r\n' "$port" >"$home/sys.txt"

# The proxy's counts of the open connection, "requests answers time".
snapshot() {
  local lines
  lines=$(wc -l <"$home/proxy.log")
  kill -USR1 "$proxy"
  for _ in $(seq 20); do [ "$(wc -l <"$home/proxy.log")" -gt "$lines" ] && break; sleep 0.05; done
  tail -n +"$((lines + 1))" "$home/proxy.log" | awk '/^open/ { print $4, $6, $8; exit }'
}
# CPU time of all a process's threads in ns.
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ s += $1 } END { printf "%d", s }'; }

# The connection with the most requests among those closed since line $1 of the proxy's log:
# "requests per second between its first and last request, the most in flight".
busiest_closed() {
  tail -n +"$(($1 + 1))" "$home/proxy.log" | awk '/^closed/ && $4 > best {
      best = $4; rate = ($4 > 1) ? ($4 - 1) / ($10 - $8) : 0; flight = $12 }
    /^closed/ && $12 > most { most = $12 }
    END { printf "%.1f %d\n", rate, most }'
}

# One benchmark through the proxy: "answers/s cpu_us_per_answer wire_requests/s max_in_flight".
bench_through_proxy() {
  local lines out
  lines=$(wc -l <"$home/proxy.log")
  out="$home/bench.json"
  VORSA_BENCH_DEVICE_PORT=$port "$build/bench/link/bench_link" --benchmark_filter="^$1/" \
    --benchmark_out="$out" --benchmark_out_format=json >/dev/null 2>&1
  sleep 0.3 # the proxy sees the benchmark's connections close
  python3 -c 'import json, sys
b = json.load(open(sys.argv[1]))["benchmarks"][-1]
if "error_message" in b: sys.exit("bench_link: " + b["error_message"])
print("%.1f %.1f" % (b["items_per_second"], b["cpu_us_per_answer"]), end=" ")' "$out"
  busiest_closed "$lines"
}

for round in $(seq "$rounds"); do
  lines=$(wc -l <"$home/proxy.log")
  VORSA_HOME=$home "$build/station/vorsa-headless" 127.0.0.1 >"$home/station.log" 2>&1 &
  station=$!
  sleep 3
  read -r n0 a0 t0 < <(snapshot); c0=$(cpu_ns "$station")
  sleep "$span"
  read -r n1 a1 t1 < <(snapshot); c1=$(cpu_ns "$station")
  kill "$station"; wait "$station" 2>/dev/null || true; station=
  sleep 0.3
  flight=$(busiest_closed "$lines" | cut -d' ' -f2)
  read -r bs bcpu bw bflight < <(bench_through_proxy TcpClientPoll)
  read -r ps pcpu pw pflight < <(bench_through_proxy PlainLibmodbusPaced)
  awk -v r="$round" -v n="$((n1 - n0))" -v a="$((a1 - a0))" -v t0="$t0" -v t1="$t1" \
      -v c="$((c1 - c0))" -v f="$flight" -v bs="$bs" -v bcpu="$bcpu" -v bw="$bw" -v bf="$bflight" \
      -v ps="$ps" -v pcpu="$pcpu" -v pw="$pw" -v pf="$pflight" 'BEGIN {
    hw = n / (t1 - t0)
    printf "round %d: headless station on the wire %.1f requests/s, %.1f us CPU per answer, in flight <= %d\n",
           r, hw, (a > 0) ? c / 1000 / a : 0, f
    printf "         TcpClientPoll: benchmark %.1f answers/s, wire %.1f requests/s (%.3fx; %.3fx the headless), %.1f us CPU per answer, in flight <= %d\n",
           bs, bw, bs / bw, bs / hw, bcpu, bf
    printf "         PlainLibmodbusPaced: benchmark %.1f answers/s, wire %.1f requests/s (%.3fx), %.1f us CPU per answer, in flight <= %d\n",
           ps, pw, ps / pw, pcpu, pf }'
done
echo "load average (1, 5, 15 min): $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores"
