#!/bin/sh
# Checks a built .deb: lintian reports no error and no warning (its info tags are
# shown); the package depends on libsquish's package and holds the copyright,
# changelog, README and sample model, and for every program in /usr/bin its man page
# and the line "<program> <version>" that `strings` finds; the binary unpacked from
# it (dpkg -x) extracts the unpacked sample from another folder and passes the
# end-to-end smoke tests.
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
deb=$1
fail() { echo "package: $*" >&2; exit 1; }
version=$(dpkg-deb --field "$deb" Version)

echo "lintian $(basename "$deb"):"
lintian --display-info --fail-on error,warning "$deb" || fail "lintian reports errors or warnings"

info=$(dpkg-deb --info "$deb")
echo "$info" | grep '^ Depends:'
echo "$info" | grep -q '^ Depends:.*libsquish' || fail "no libsquish dependency"
contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')
echo "$contents"
programs=$(echo "$contents" | sed -n 's|^\./usr/bin/\([^/]\{1,\}\)$|\1|p')
[ -n "$programs" ] || fail "no program in /usr/bin"
for f in ./usr/share/doc/qmextract/copyright ./usr/share/doc/qmextract/changelog.gz \
         ./usr/share/doc/qmextract/README.md.gz ./usr/share/doc/qmextract/examples/demo.qm; do
  echo "$contents" | grep -qxF "$f" || fail "no $f"
done
for p in $programs; do
  echo "$contents" | grep -qxF "./usr/share/man/man1/$p.1.gz" || fail "no man page for $p"
done

root=$(mktemp -d "${TMPDIR:-/tmp}/qmdeb.XXXXXX")
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root/unpacked"
for p in $programs; do
  strings -a "$root/unpacked/usr/bin/$p" | grep -qxF "$p $version" || fail "no '$p $version' in /usr/bin/$p"
  echo "package: /usr/bin/$p holds '$p $version'"
done
# The man page's example, run from a folder of its own with the unpacked files.
mkdir "$root/elsewhere"
(cd "$root/elsewhere" &&
  printf '%s\n%s\n' "$root/unpacked/usr/share/doc/qmextract/examples/demo.qm" out |
    "$root/unpacked/usr/bin/qmextract" > log.txt &&
  sha256sum --quiet -c "$HERE/../tests/e2e/expected/demo.sha256") || fail "the unpacked sample was not extracted as expected"
echo "package: the unpacked binary extracts the unpacked sample from another folder"
sh "$HERE/../tests/e2e/smoke.sh" "$root/unpacked/usr/bin/qmextract"
sh "$HERE/../tests/e2e/batch_smoke.sh" "$root/unpacked/usr/bin/qmbatch"
