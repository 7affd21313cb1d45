#!/bin/sh
# Packs the Windows build BUILD (default build-windows/) into
# BUILD/qmextract-<version>-win64.zip: the stripped qmextract.exe, README.txt,
# LICENSE.txt and THIRD-PARTY-NOTICES.txt in one flat folder, as the build's
# install rules lay them out. The version is the one CMake was configured with;
# every entry is dated to the newest CHANGELOG.md entry, so the same sources give
# the same zip.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build-windows}" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
[ -n "$version" ] || { echo "windows-zip: no project version in $BUILD/CMakeCache.txt" >&2; exit 1; }
date=$(sed -n 's/^## [^ ]* (\([0-9-]*\)).*/\1/p' "$ROOT/CHANGELOG.md" | head -n 1)
name=qmextract-$version-win64

stage=$BUILD/zip/$name
rm -rf "$BUILD/zip" "$BUILD"/qmextract-*-win64.zip
cmake --install "$BUILD" --prefix "$stage" --strip > /dev/null
(cd "$stage" && cmake -E tar cf "$BUILD/$name.zip" --format=zip --mtime="$date 12:00:00" -- *)
echo "$BUILD/$name.zip:"
(cd "$stage" && ls -l)
