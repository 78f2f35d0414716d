#!/usr/bin/env bash
# CPU cost of the live view: the station on its demo device (about 100 samples per second),
# both real-time charts at 120 s, a 1600x1000 screen under Xvfb. CPU time of the station's
# process from /proc/PID/stat over a measured span after a warm-up; the machine's load is
# printed beside it, since other work on a shared machine slows everything down.
#
#   bench/live-cpu.sh [BUILD_DIR] [SECONDS]      (defaults: build 30)
# Needs: xvfb. Prints one line per figure; exits 1 when the station did not keep running.
set -euo pipefail
build=${1:-build}
span=${2:-30}
warmup=8
vorsa=$(realpath "$build/station/vorsa")
[ -x "$vorsa" ] || { echo "no $vorsa: build first" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "missing Xvfb: apt-get install xvfb" >&2; exit 2; }

home=$(mktemp -d)
disp=:$(( 300 + RANDOM % 400 ))
xpid=; spid=
cleanup() {
  [ -n "$spid" ] && kill "$spid" 2>/dev/null || true
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT

# Both charts at 120 s, a readable range; the rest of the settings take their defaults.
printf 'Acc range:10\r\nPd range:0.5\r\nX-axis range:120\r\ndisplacement range:3\r\n' >"$home/sys.txt"

Xvfb "$disp" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 & xpid=$!
sleep 1
DISPLAY=$disp VORSA_HOME=$home QT_QPA_PLATFORM=xcb "$vorsa" --demo >"$home/vorsa.log" 2>&1 & spid=$!

ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
writes() { awk '/^syscw/ { print $2 }' "/proc/$1/io"; }

sleep "$warmup"
kill -0 "$spid" 2>/dev/null || { echo "the station ended:"; cat "$home/vorsa.log"; exit 1; }
device=$(pgrep -P "$spid" -f vorsa-devsim | head -n1 || true)
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
c0=$(cpu_ticks "$spid"); t0=$(date +%s.%N)
[ -n "$device" ] && w0=$(writes "$device")
sleep "$span"
kill -0 "$spid" 2>/dev/null || { echo "the station ended:"; cat "$home/vorsa.log"; exit 1; }
c1=$(cpu_ticks "$spid"); t1=$(date +%s.%N)
[ -n "$device" ] && w1=$(writes "$device")
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

awk -v c="$((c1 - c0))" -v hz="$ticks" -v t0="$t0" -v t1="$t1" 'BEGIN {
  printf "station CPU: %.2f %% of one core over %.1f s\n", 100 * c / hz / (t1 - t0), t1 - t0 }'
if [ -n "$device" ]; then
  awk -v w="$((w1 - w0))" -v t0="$t0" -v t1="$t1" 'BEGIN {
    printf "device answers: %.0f per second (samples per second on the chart)\n", w / (t1 - t0) }'
fi
echo "load average (1, 5, 15 min): before $load_before, after $load_after; $(nproc) cores"
