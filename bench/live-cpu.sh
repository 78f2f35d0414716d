#!/usr/bin/env bash
# CPU cost of the live view: the station on its demo device (about 100 samples per second),
# both real-time charts at 120 s, a 1600x1000 screen under Xvfb. CPU time of the station's
# process from /proc/PID/stat over a measured span after a warm-up; the machine's load is
# printed beside it, since other work on a shared machine slows everything down.
#
# Where Kst is installed (`kst2`), each round also measures it on the same display, one after
# the other: a full-screen window of three plots of a 120 s window, following a file that
# grows by 100 rows of three noisy columns a second, one row at a time as the device answers.
# The ratio of the two is the figure to compare; both start empty and warm up alike.
#
#   bench/live-cpu.sh [BUILD_DIR] [SECONDS] [ROUNDS]      (defaults: build 30 1)
#   bench/live-cpu.sh --fast-device [BUILD_DIR] [SECONDS]
# --fast-device: instead of the demo, the station (with its window, then vorsa-headless) against
# vorsa-devsim answering without delay, as fast as the station polls; prints the CPU of both.
# Needs: xvfb (python3 for Kst's data). Exits 1 when a program did not keep running.
set -euo pipefail
fast=0
if [ "${1:-}" = --fast-device ]; then
  fast=1
  shift
fi
build=${1:-build}
span=${2:-30}
rounds=${3:-1}
warmup=8
vorsa=$(realpath "$build/station/vorsa")
headless=$(realpath "$build/station/vorsa-headless")
devsim=$(realpath "$build/devsim/vorsa-devsim")
[ -x "$vorsa" ] || { echo "no $vorsa: build first" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "missing Xvfb: apt-get install xvfb" >&2; exit 2; }

home=$(mktemp -d)
disp=:$(( 300 + RANDOM % 400 ))
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT

ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
writes() { awk '/^syscw/ { print $2 }' "/proc/$1/io"; }
now() { date +%s.%N; }
# percent TICKS SECONDS: CPU ticks as a share of one core.
percent() { awk -v c="$1" -v hz="$ticks" -v s="$2" 'BEGIN { printf "%.2f", 100 * c / hz / s }'; }
alive() { kill -0 "$1" 2>/dev/null || { echo "$2 ended:"; cat "$3"; exit 1; }; }
stop() { kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; }
load() { cut -d' ' -f1-3 /proc/loadavg; }

# Both charts at 120 s, a readable range; the rest of the settings take their defaults.
settings() {
  printf 'Acc range:10\r\nPd range:0.5\r\nX-axis range:120\r\ndisplacement range:3\r\n'
  [ -z "${1:-}" ] || printf 'IP:127.0.0.1\r\nPort:%s\r\n' "$1"
}

# measure PID NAME LOG [HELPER_PID]: after the warm-up, sets `figure` to the CPU share of
# PID over the span and `helper_figure` to that of HELPER_PID; `rate` to HELPER_PID's writes
# a second (the device's answers).
measure() {
  sleep "$warmup"
  alive "$1" "$2" "$3"
  local c0 t0 h0=0 w0=0 c1 t1 h1=0 w1=0 seconds
  c0=$(cpu_ticks "$1"); t0=$(now)
  [ -z "${4:-}" ] || { h0=$(cpu_ticks "$4"); w0=$(writes "$4"); }
  sleep "$span"
  alive "$1" "$2" "$3"
  c1=$(cpu_ticks "$1"); t1=$(now)
  [ -z "${4:-}" ] || { h1=$(cpu_ticks "$4"); w1=$(writes "$4"); }
  seconds=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
  figure=$(percent $((c1 - c0)) "$seconds")
  helper_figure=$(percent $((h1 - h0)) "$seconds")
  rate=$(awk -v w=$((w1 - w0)) -v s="$seconds" 'BEGIN { printf "%.0f", w / s }')
}

# The station with its window on the demo device; sets station_cpu.
measure_station() {
  settings >"$home/sys.txt"
  DISPLAY=$disp VORSA_HOME=$home QT_QPA_PLATFORM=xcb "$vorsa" --demo >"$home/vorsa.log" 2>&1 &
  local spid=$!
  pids+=("$spid")
  local device=
  for _ in $(seq 50); do
    device=$(pgrep -P "$spid" -f vorsa-devsim | head -n1 || true)
    [ -n "$device" ] && break
    sleep 0.1
  done
  measure "$spid" "the station" "$home/vorsa.log" "$device"
  station_cpu=$figure
  echo "station CPU: $figure % of one core over $span s; device answers: $rate per second"
  stop "$spid"
}

# Kst following a file that a generator extends by one row every 10 ms; sets kst_cpu.
measure_kst() {
  local data=$home/live.dat
  python3 - "$data" <<'PY' &
import math, random, sys, time
# Three noisy columns at 100 rows a second, each row written when it is due.
random.seed(1)
with open(sys.argv[1], "w") as out:
    start, n = time.monotonic(), 0
    while True:
        t = n / 100
        out.write("%.2f %.4f %.4f %.4f\n" % (t, math.sin(t) + random.gauss(0, 0.2),
                  math.cos(1.3 * t) + random.gauss(0, 0.2), random.gauss(0, 0.5)))
        out.flush()
        n += 1
        time.sleep(max(0.0, start + n / 100 - time.monotonic()))
PY
  local gpid=$!
  pids+=("$gpid")
  sleep 0.5
  HOME=$home XDG_RUNTIME_DIR=$home DISPLAY=$disp kst2 -qwindowgeometry 1600x1000+0+0 "$data" \
    -f -1 -n 12000 -x 1 -P P1 -y 2 -P P2 -y 3 -P P3 -y 4 >"$home/kst.log" 2>&1 &
  local kpid=$!
  pids+=("$kpid")
  measure "$kpid" "Kst" "$home/kst.log"
  kst_cpu=$figure
  echo "Kst CPU: $figure % of one core over $span s"
  stop "$kpid"
  stop "$gpid"
  rm -f "$data"
}

# The station against a simulator that answers at once, the window's then the headless one.
measure_fast_device() {
  [ -x "$devsim" ] && [ -x "$headless" ] || { echo "no $devsim or $headless" >&2; exit 2; }
  local mode port spid dpid program
  for mode in window headless; do
    "$devsim" --tcp 0 --scenario quake --repeat >"$home/devsim.log" 2>&1 &
    dpid=$!
    pids+=("$dpid")
    for _ in $(seq 50); do
      port=$(sed -n 's/^listening on \([0-9]*\).*/\1/p' "$home/devsim.log")
      [ -n "$port" ] && break
      sleep 0.1
    done
    [ -n "$port" ] || { echo "the simulator did not start:"; cat "$home/devsim.log"; exit 1; }
    settings "$port" >"$home/sys.txt"
    program=$vorsa
    [ "$mode" = headless ] && program=$headless
    DISPLAY=$disp VORSA_HOME=$home QT_QPA_PLATFORM=xcb "$program" --link tcp 127.0.0.1 \
      >"$home/vorsa.log" 2>&1 &
    spid=$!
    pids+=("$spid")
    measure "$spid" "the station" "$home/vorsa.log" "$dpid"
    echo "station ($mode) CPU: $figure % of one core over $span s;" \
      "simulator CPU: $helper_figure %; answers: $rate per second"
    stop "$spid"
    stop "$dpid"
  done
}

Xvfb "$disp" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
pids+=("$!")
sleep 1
echo "load average (1, 5, 15 min) before: $(load); $(nproc) cores"
if [ "$fast" -eq 1 ]; then
  measure_fast_device
else
  for _ in $(seq "$rounds"); do
    measure_station
    if command -v kst2 >/dev/null && command -v python3 >/dev/null; then
      measure_kst
      awk -v s="$station_cpu" -v k="$kst_cpu" 'BEGIN {
        if (k > 0) printf "station / Kst: %.2f\n", s / k }'
    fi
  done
fi
echo "load average (1, 5, 15 min) after: $(load)"
