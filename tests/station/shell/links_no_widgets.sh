#!/bin/sh
# Fails when the program named by $1 needs a Qt Widgets library, directly (its dynamic
# section) or through the libraries it loads.
set -eu
program=$1
needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
case "$needed" in
  *libQt6Core.so*) ;;
  *) echo "no Qt libraries read from the dynamic section of $program" >&2; exit 1 ;;
esac
if printf '%s\n' "$needed" | grep -q 'Widgets'; then
  echo "$program needs a Widgets library:" >&2
  printf '%s\n' "$needed" >&2
  exit 1
fi
if ldd "$program" | grep -q 'Widgets'; then
  echo "$program loads a Widgets library through another library" >&2
  exit 1
fi
