#!/bin/sh
# Writes the source tarball: dist.sh DIR removes the release files an earlier run of
# make release left in DIR and writes DIR/qmextract-<version>.tar.gz, the files committed at HEAD under the folder
# qmextract-<version>/ (git archive), the version taken from project() in
# CMakeLists.txt. Entries carry HEAD's commit time (git archive's choice), modes 0644
# and 0755 and no owner; gzip stores no name and no time. So one commit gives one
# tarball, byte for byte, whatever the clone, the umask or the time zone.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: dist.sh DIR}
fail() { echo "dist: $*" >&2; exit 1; }
git -C "$ROOT" rev-parse --verify -q HEAD > /dev/null || fail "$ROOT is not a git clone with a commit"
version=$(sed -n 's/^project(qmextract VERSION \([^ )]*\).*/\1/p' "$ROOT/CMakeLists.txt")
[ -n "$version" ] || fail "no version in the project() line of CMakeLists.txt"
git -C "$ROOT" diff --quiet HEAD -- || echo "dist: the tarball holds HEAD, not the uncommitted changes" >&2

name=qmextract-$version
mkdir -p "$out"
rm -f "$out"/qmextract-*.tar.gz "$out"/qmextract_*.deb "$out"/qmextract-*-win64.zip "$out/SHA256SUMS"
git -C "$ROOT" -c tar.umask=0022 archive --format=tar --prefix="$name/" HEAD | gzip -9n > "$out/$name.tar.gz"
echo "$out/$name.tar.gz"
