#!/bin/sh
# Checks a built .deb: it depends on libsquish's package, and the binary unpacked
# from it (dpkg -x) passes the end-to-end smoke test.
set -eu
deb=$1
info=$(dpkg-deb --info "$deb")
echo "$info" | grep '^ Depends:'
echo "$info" | grep -q '^ Depends:.*libsquish' || { echo "package: no libsquish dependency"; exit 1; }
root=$(mktemp -d "${TMPDIR:-/tmp}/qmdeb.XXXXXX")
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
test -f "$root/usr/share/doc/qmextract/README.md" || { echo "package: no README"; exit 1; }
sh "$(dirname "$0")/../tests/e2e/smoke.sh" "$root/usr/bin/qmextract"
