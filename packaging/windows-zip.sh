#!/bin/sh
# Packs the Windows build BUILD (default build-windows/) into
# BUILD/qmextract-<version>-win64.zip: every file that the build's install rules put
# down (the stripped programs, README.txt, LICENSE.txt, THIRD-PARTY-NOTICES.txt), in
# one flat folder. The version is the one CMake was configured with. The zip is
# written by write-zip.py, stamped with SOURCE_DATE_EPOCH (source-date-epoch.sh), so
# the same sources give the same zip, byte for byte.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build-windows}" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
[ -n "$version" ] || { echo "windows-zip: no project version in $BUILD/CMakeCache.txt" >&2; exit 1; }
SOURCE_DATE_EPOCH=$("$ROOT/packaging/source-date-epoch.sh")
export SOURCE_DATE_EPOCH
name=qmextract-$version-win64

stage=$BUILD/zip/$name
rm -rf "$BUILD/zip" "$BUILD"/qmextract-*-win64.zip
cmake --install "$BUILD" --prefix "$stage" --strip > /dev/null
python3 "$ROOT/packaging/write-zip.py" "$stage" "$BUILD/$name.zip"
echo "$BUILD/$name.zip:"
(cd "$stage" && ls -l)
