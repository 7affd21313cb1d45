#!/bin/sh
# Installs what a build holds: [DESTDIR=<folder>] install.sh BUILD [PREFIX]
#
# Runs BUILD's install rules (cmake --install --strip) under the prefix BUILD was
# configured with, below DESTDIR where that is set, and records what it wrote in
# BUILD/install-record.txt for uninstall.sh: the DESTDIR, every file with its SHA-256
# (DESTDIR included in the path) and the folders that did not exist before.
# Nothing is compiled: a build that is missing or not up to date is refused, and so
# are a PREFIX other than the build's and a file that a Debian package owns.
set -eu
BUILD=${1%/}
PREFIX=${2:-}
fail() { echo "install: $*" >&2; exit 1; }

cache=$BUILD/CMakeCache.txt
[ -f "$cache" ] && [ -f "$BUILD/cmake_install.cmake" ] || fail "nothing is built in $BUILD/; run make first"
# Whether the Ninja build BUILD is up to date, found without building anything: no
# input of CMake's own (CMakeLists.txt, the .in files, CHANGELOG.md, the source
# globs, which VerifyGlobs.cmake checks) is newer than build.ninja, and a dry run of
# build.ninja without the statement that regenerates it (a dry run stops there)
# has no work to do.
up_to_date() {
  if [ -f "$BUILD/CMakeFiles/VerifyGlobs.cmake" ]; then cmake -P "$BUILD/CMakeFiles/VerifyGlobs.cmake" > /dev/null; fi
  inputs=$(sed -n 's/^build build\.ninja: RERUN_CMAKE //p' "$BUILD/build.ninja" | tr ' ' '\n' | grep -vx '|')
  # shellcheck disable=SC2086
  newer=$(cd "$BUILD" && find $inputs -newer build.ninja 2> /dev/null | head -n 1)
  [ -z "$newer" ] || return 1
  awk '/^build build\.ninja:/ { skip = 1; next } skip && /^ / { next } { skip = 0; print }' \
    "$BUILD/build.ninja" > "$BUILD/.install-check.ninja"
  pending=$(cd "$BUILD" && ninja -f .install-check.ninja -n 2>&1) || true
  rm -f "$BUILD/.install-check.ninja"
  case $pending in *"no work to do"*) return 0 ;; esac
  return 1
}
if grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$cache" && ! up_to_date; then
  fail "$BUILD/ is not up to date with the sources; run make first (install compiles nothing)"
fi
configured=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$cache")
if [ -n "$PREFIX" ] && [ "$PREFIX" != "$configured" ]; then
  fail "$BUILD/ was configured for $configured, not $PREFIX; run make PREFIX=$PREFIX first"
fi

destdir=${DESTDIR:-}
case $destdir in
  '' | /*) ;;
  *) destdir=$PWD/$destdir ;;
esac
destdir=${destdir%/}

# The files the install rules write, from an install into a scratch folder.
work=$(mktemp -d "${TMPDIR:-/tmp}/qminstall.XXXXXX")
trap 'rm -rf "$work"' EXIT
DESTDIR=$work/root cmake --install "$BUILD" --strip > /dev/null
(cd "$work/root" && find . ! -type d | sed 's|^\.||' | LC_ALL=C sort) > "$work/files"

# No file of a Debian package is overwritten.
if [ -z "$destdir" ] && command -v dpkg-query > /dev/null; then
  owned=$(tr '\n' '\0' < "$work/files" | xargs -0 dpkg-query -S 2>/dev/null |
    sed -n 's/^\([^:]*\): \(\/.*\)$/\2 belongs to the Debian package \1/p' | head -n 1)
  [ -z "$owned" ] || fail "$owned; nothing installed (remove the package, or make PREFIX=<another folder>)"
fi

# The folders this install creates; uninstall.sh removes them where they are left empty.
# Those that an earlier install to the same place created are this one's too.
record=$BUILD/install-record.txt
: > "$work/folders"
while IFS= read -r f; do
  d=$(dirname "$destdir$f")
  while [ ! -e "$d" ] && ! grep -qxF "$d" "$work/folders"; do
    echo "$d" >> "$work/folders"
    d=$(dirname "$d")
  done
done < "$work/files"
if [ -f "$record" ]; then
  earlier=$(sed -n 's/^# destdir //p' "$record")
  if [ "$earlier" = "$destdir" ]; then
    sed -n 's/^# folder //p' "$record" | while IFS= read -r d; do
      if [ -d "$d" ]; then echo "$d"; fi
    done >> "$work/folders"
  else
    echo "install: the record of the earlier install into DESTDIR=${earlier:-(none)} is replaced; make uninstall will not remove those files"
  fi
fi

DESTDIR=$destdir cmake --install "$BUILD" --strip
{
  echo "# make install of $BUILD/: make uninstall removes these files where unchanged,"
  echo "# then these folders where empty, deepest first"
  echo "# destdir $destdir"
  LC_ALL=C sort -u -r "$work/folders" | sed 's/^/# folder /'
  while IFS= read -r f; do printf '%s\0' "$destdir$f"; done < "$work/files" | xargs -0 sha256sum
} > "$record.new"
mv "$record.new" "$record"
echo "install: recorded in $record"
