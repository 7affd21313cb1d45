#!/bin/sh
# Checks a built .deb: lintian reports no error and no warning (its info tags are
# shown); the package holds the binary, man page, copyright, changelog, README and
# sample model and depends on libsquish's package; the binary unpacked from it
# (dpkg -x) extracts the unpacked sample from another folder and passes the
# end-to-end smoke test.
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
deb=$1
fail() { echo "package: $*" >&2; exit 1; }

echo "lintian $(basename "$deb"):"
lintian --display-info --fail-on error,warning "$deb" || fail "lintian reports errors or warnings"

info=$(dpkg-deb --info "$deb")
echo "$info" | grep '^ Depends:'
echo "$info" | grep -q '^ Depends:.*libsquish' || fail "no libsquish dependency"
contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')
echo "$contents"
for f in ./usr/bin/qmextract ./usr/share/man/man1/qmextract.1.gz ./usr/share/doc/qmextract/copyright \
         ./usr/share/doc/qmextract/changelog.gz ./usr/share/doc/qmextract/README.md.gz \
         ./usr/share/doc/qmextract/examples/demo.qm; do
  echo "$contents" | grep -qxF "$f" || fail "no $f"
done

root=$(mktemp -d "${TMPDIR:-/tmp}/qmdeb.XXXXXX")
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root/unpacked"
# The man page's example, run from a folder of its own with the unpacked files.
mkdir "$root/elsewhere"
(cd "$root/elsewhere" &&
  printf '%s\n%s\n' "$root/unpacked/usr/share/doc/qmextract/examples/demo.qm" out |
    "$root/unpacked/usr/bin/qmextract" > log.txt &&
  sha256sum --quiet -c "$HERE/../tests/e2e/expected/demo.sha256") || fail "the unpacked sample was not extracted as expected"
echo "package: the unpacked binary extracts the unpacked sample from another folder"
sh "$HERE/../tests/e2e/smoke.sh" "$root/unpacked/usr/bin/qmextract"
