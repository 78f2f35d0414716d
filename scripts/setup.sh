#!/usr/bin/env bash
# Installs what the build needs (Debian 12), builds, then either starts the station
# against the built-in simulated device ("run") or runs every test ("test").
set -euo pipefail
mode=${1:-run}
cd "$(dirname "$0")/.."

packages=(cmake g++ pkg-config ccache qt6-base-dev qt6-serialport-dev qt6-multimedia-dev
          libqcustomplot-dev libmodbus-dev libmseed-dev libmosquitto-dev mosquitto libbenchmark-dev
          socat xvfb fonts-wqy-microhei)
bash scripts/install-packages.sh "${packages[@]}"

# The test run is CI's: there a compiler warning fails the build.
werror=$([ "$mode" = test ] && echo ON || echo OFF)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORSA_WERROR="$werror" >/dev/null
cmake --build build -j2

case "$mode" in
  test)
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
    ctest --test-dir build --output-on-failure -j2 --timeout 300
    bash scripts/package-check.sh
    ;;
  run)
    shift || true
    exec build/station/vorsa --demo "$@"
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
