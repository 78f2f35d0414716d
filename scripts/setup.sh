#!/usr/bin/env bash
# Installs what the build needs (Debian 12), builds into build/, then either starts the station
# against the built-in simulated device ("run") or runs every test ("test"). Both modes share
# one configuration of build/, so switching between them rebuilds only what the other lacks.
set -euo pipefail
mode=${1:-run}
case "$mode" in
  run) targets=(--target vorsa vorsa-headless vorsa-devsim) ;; # what `vorsa --demo` starts
  test) targets=() ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
cd "$(dirname "$0")/.."

packages=(cmake g++ pkg-config ccache qt6-base-dev qt6-serialport-dev qt6-multimedia-dev
          libqcustomplot-dev libmodbus-dev libmseed-dev libmosquitto-dev mosquitto libbenchmark-dev
          libsystemd-dev socat xvfb fonts-wqy-microhei pandoc)
# The tests also drive the window through the accessibility bus, on a private X server.
[ "$mode" = test ] && packages+=(dbus-x11 at-spi2-core python3-pyatspi)
bash scripts/install-packages.sh "${packages[@]}"

[ -e build/CMakeCache.txt ] ||
  echo "setup: the first build takes a while on 2 cores: about 4 minutes for the station," \
       "8 with the tests; later builds compile only what changed"
# A compiler warning fails CI's build (.ci/run sets VORSA_WERROR=ON), not a newcomer's.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORSA_WERROR="${VORSA_WERROR:-OFF}" \
  >/dev/null
cmake --build build -j2 "${targets[@]}"

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
esac
