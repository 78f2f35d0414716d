#!/usr/bin/env bash
# Builds the Debian package from build/, has lintian check it, unpacks it into a temporary
# folder and runs the unpacked programs' --version.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh dpkg-dev file lintian

rm -f build/vorsa_*.deb
(cd build && cpack -G DEB >/dev/null)
deb=$(ls build/vorsa_*.deb)
echo "package: $deb"
lintian --fail-on error "$deb"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg -x "$deb" "$unpacked"
for program in usr/bin/vorsa usr/bin/vorsa-devsim usr/bin/linkbench \
               usr/libexec/vorsa/vorsa-headless; do
  "$unpacked/$program" --version
done
# The window's program hands --headless over to the headless one beside it once installed.
"$unpacked/usr/bin/vorsa" --headless --version | grep -q headless
echo "package checked"
