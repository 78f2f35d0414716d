#!/usr/bin/env bash
# Drives the real window through the accessibility bus alone, as a screen reader or UI
# automation does: starts a private X server, D-Bus session and accessibility bus, the device
# simulator and the station, then runs drive_window.py against them.
#   run_window_through_atspi.sh VORSA VORSA_DEVSIM
# Exits 77 (skipped) with the reason when the machine cannot start an accessibility bus.
set -uo pipefail
vorsa=$1 devsim=$2
here=$(cd "$(dirname "$0")" && pwd)
skip() { echo "skipped: $*"; exit 77; }

for tool in Xvfb dbus-launch /usr/libexec/at-spi-bus-launcher /usr/bin/python3; do
  command -v "$tool" >/dev/null 2>&1 || [ -x "$tool" ] || skip "$tool is missing (xvfb, dbus-x11, at-spi2-core)"
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || skip "python3-pyatspi is missing"

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  [ -n "${DBUS_SESSION_BUS_PID:-}" ] && kill "$DBUS_SESSION_BUS_PID" 2>/dev/null
  wait 2>/dev/null
  if [ -n "${KEEP_ATSPI_RUN:-}" ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# -displayfd picks a free display, so that parallel runs do not collide.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
exec 3>&-
[ -s "$work/display" ] || skip "Xvfb did not start: $(tail -1 "$work/xvfb.log")"
export DISPLAY=:$(head -1 "$work/display")

eval "$(dbus-launch --sh-syntax)" || skip "no D-Bus session could start"
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/atspi.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null 2>&1 && break
  sleep 0.1
done
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
  >/dev/null 2>&1 || skip "the accessibility bus did not start: $(tail -1 "$work/atspi.log")"

# The simulated quake's clock starts with the simulator; its first Pd trigger is 11.5 s in.
"$devsim" --tcp 0 --scenario quake --latency 10 -v >"$work/devsim.out" 2>"$work/devsim.log" &
pids+=($!)
for _ in $(seq 50); do grep -q "listening on" "$work/devsim.out" && break; sleep 0.1; done
port=$(sed -n 's/.*listening on \([0-9]*\).*/\1/p' "$work/devsim.out" | head -1)
[ -n "$port" ] || { echo "the simulator did not start"; cat "$work/devsim.log"; exit 1; }

mkdir -p "$work/home/RecCSV"
# Two event records told apart by their peak on a: the station opens the last one at start.
record() {
  printf '%s\r\n' "#StationCode:9" "#InstrumentKind: CSV  (x)" "#StartTime:$2" \
    "#RecordLength(sec):   120.00 " "#SampleRate(Hz): 100" "#AmplitudeUnit:  gal. DCoffset(corr)" \
    "#AmplitudeMAX. a:   $3" "#AmplitudeMAX. b:   1 ~ -1" "#AmplitudeMAX. c:   2 ~ -3" \
    "#Intensity: 4" "#DataSequence: Time; a; b; c; Pd; Displacement" "#Data: 4F10.3 " \
    "      0.00,     0.125,    -1.000,     2.500,     0.001,     0.002" >"$work/home/RecCSV/$1"
}
record first.csv "2026/03/01 10:00:00" "12.5 ~ -3"
record second.csv "2026/03/02 11:30:00" "7.25 ~ -1"
export VORSA_HOME=$work/home QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
unset QT_QPA_PLATFORM
"$vorsa" >"$work/vorsa.log" 2>&1 &
pids+=($!)

/usr/bin/python3 "$here/drive_window.py" "$port" "$work/devsim.log" "$VORSA_HOME/RecCSV"
status=$?
[ $status -eq 0 ] || { echo "--- station log"; tail -20 "$work/vorsa.log"; }
exit $status
