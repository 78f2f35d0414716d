#!/usr/bin/env bash
# Builds the Debian package from build/, has lintian check it, unpacks it into a temporary
# folder, runs the unpacked programs' --version and checks that the manual is where Help
# opens it.
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
# Help > Doc and Help > Setup open the manual's pages installed beside the program.
manual=$("$unpacked/usr/bin/vorsa" --manual)
expected="$(realpath "$unpacked")/usr/share/doc/vorsa/manual/index.html"
[ "$manual" = "$expected" ] || { echo "Help > Doc opens $manual, not $expected" >&2; exit 1; }
for page in index installation troubleshooting; do
  grep -q "</html>" "$unpacked/usr/share/doc/vorsa/manual/$page.html"
done
grep -q 'href="installation.html"' "$manual"
echo "package checked"
