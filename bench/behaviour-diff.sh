#!/usr/bin/env bash
# Shows what a change of the station's internals changed in what it leaves behind. Two builds
# run in turn, each the same way: headless with a fresh program folder, against a fresh
# simulated device of the second build (the quake scenario, one seed, answers after 10 ms)
# reached through a proxy that writes down every request (bench/wire-count.py), publishing to
# a private mosquitto, all on the same ports for both runs; first in Record mode (the device
# streams, events are written) for SECONDS, then polling for POLL_SECONDS. Then every file of
# the program folders, the headless output, the MQTT messages and the requests of each pair
# of runs are compared (bench/behaviour-diff.py; its top says what it masks: clock times, how
# much of the pre-alarm time a run caught, transaction ids...) and the differences printed.
#
#   bench/behaviour-diff.sh BEFORE_BUILD AFTER_BUILD [SECONDS] [POLL_SECONDS] [SEED]
#                                                                  (defaults 120, 60, 7)
#
# Seconds count from the simulator's start: its quake triggers at about 11.5 s and an event
# file holds 30 s before and 90 s after that, so a Record run shorter than 105 s leaves no
# event file; a poll run shorter than 55 s ends before the event's summary. The runs stay in a
# temporary folder, or in BEHAVIOUR_DIFF_KEEP when that names a folder.
# Ends with 0 when nothing differs, 1 when something does, 2 when a run could not be made.
# Needs python3; mosquitto for the MQTT part (without it, said so and skipped).
set -euo pipefail
[ $# -ge 2 ] || { sed -n '2,/^set /p' "$0" | sed '$d'; exit 2; }
before=$(realpath "$1")
after=$(realpath "$2")
seconds=${3:-120}
poll_seconds=${4:-60}
seed=${5:-7}
here=$(dirname "$(realpath "$0")")
simulator=$after/devsim/vorsa-devsim
for program in "$before/station/vorsa-headless" "$after/station/vorsa-headless" "$simulator"; do
  [ -x "$program" ] || { echo "no $program: build it first" >&2; exit 2; }
done
command -v python3 >/dev/null || { echo "missing python3" >&2; exit 2; }
broker=$(command -v mosquitto || ls /usr/sbin/mosquitto 2>/dev/null || true)

out=${BEHAVIOUR_DIFF_KEEP:-$(mktemp -d)}
mkdir -p "$out"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ -n "${BEHAVIOUR_DIFF_KEEP:-}" ] || rm -rf "$out"
}
trap cleanup EXIT

# Two free ports, one for the proxy and one for the broker, the same for every run.
read -r wire_port mqtt_port < <(python3 -c 'import socket
ends = [socket.socket() for _ in range(2)]
for end in ends:
    end.bind(("127.0.0.1", 0))
print(*(end.getsockname()[1] for end in ends))')

# Waits for "listening on PORT" in a log and prints the port.
listening_port() {
  for _ in $(seq 100); do grep -q '^listening on' "$1" && break; sleep 0.1; done
  awk '/^listening on/ { print $3; exit }' "$1"
}

# Waits until something accepts connections on a port of 127.0.0.1.
await_port() {
  python3 - "$1" <<'EOF'
import socket, sys, time
for _ in range(50):
    try:
        socket.create_connection(("127.0.0.1", int(sys.argv[1]))).close()
        sys.exit(0)
    except OSError:
        time.sleep(0.1)
sys.exit("nothing listens on port " + sys.argv[1])
EOF
}

# One run of a build for some seconds, with the station's options after those, into
# $out/NAME: home/ (the program folder), station.log, requests.txt, mqtt.txt, simulator.log.
run_station() {
  local name=$1 build=$2 length=$3 run=$out/$1 started
  shift 3
  rm -rf "$run"
  mkdir -p "$run/home"
  # The same starting folder for both: the link's port, and event files exported as miniSEED.
  printf 'Port:%s\r\n' "$wire_port" >"$run/home/sys.txt"
  printf '[miniseed]\nexportEventFiles=true\n' >"$run/home/vorsa.ini"
  local mqtt_option=()
  if [ -n "$broker" ]; then
    printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$mqtt_port" \
      >"$run/broker.conf"
    "$broker" -c "$run/broker.conf" >"$run/broker.log" 2>&1 &
    pids+=($!)
    await_port "$mqtt_port"
    python3 "$here/mqtt-watch.py" "$mqtt_port" 'vorsa/#' >"$run/mqtt.txt" 2>&1 &
    pids+=($!)
    mqtt_option=(--mqtt "127.0.0.1:$mqtt_port")
  fi
  "$simulator" --tcp 0 --scenario quake --seed "$seed" --latency 10 >"$run/simulator.log" 2>&1 &
  pids+=($!)
  started=$(date +%s)
  local device
  device=$(listening_port "$run/simulator.log")
  [ -n "$device" ] || { echo "the simulator did not start:" >&2; cat "$run/simulator.log" >&2
                       exit 2; }
  python3 "$here/wire-count.py" "$device" "$wire_port" --requests "$run/requests.txt" \
    >"$run/proxy.log" 2>&1 &
  pids+=($!)
  [ -n "$(listening_port "$run/proxy.log")" ] || { cat "$run/proxy.log" >&2; exit 2; }
  VORSA_HOME=$run/home "$build/station/vorsa-headless" "$@" "${mqtt_option[@]}" 127.0.0.1 \
    >"$run/station.log" 2>&1 &
  local station=$!
  echo "$name: $build $*, $length s from $(date -u '+%H:%M:%S UTC')" >&2
  sleep $((length - ($(date +%s) - started)))
  kill -TERM "$station"
  wait "$station" || echo "$name: the station ended with status $?" >&2
  sleep 1 # the last MQTT messages reach the watcher
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
}

run_station before-record "$before" "$seconds" --record
run_station after-record "$after" "$seconds" --record
run_station before-poll "$before" "$poll_seconds"
run_station after-poll "$after" "$poll_seconds"
[ -n "$broker" ] || echo "no mosquitto on this machine: the MQTT messages are not compared"
status=0
python3 "$here/behaviour-diff.py" "$out/before-record" "$out/after-record" || status=1
python3 "$here/behaviour-diff.py" --poll "$out/before-poll" "$out/after-poll" || status=1
exit "$status"
