#!/usr/bin/env bash
# Cross-builds the Windows programs into BUILD (default build-windows/) with mingw-w64:
# first libsquish from Debian's source package at the version pinned below, into
# BUILD/libsquish/, then the programs, all statically linked so that each .exe needs
# no DLL beside it. The .exe files are stamped with SOURCE_DATE_EPOCH
# (source-date-epoch.sh), so the same sources give the same bytes.
#
# Environment: JOBS (default 2); WERROR=ON makes warnings errors (CI's builds);
# QM_SQUISH_SOURCES, a folder with the pinned source package's files (the .dsc and the
# files it names), default BUILD/libsquish/sources: what is not there is fetched into
# it with apt-get source, through a private apt setup whose deb-src entries mirror the
# machine's own deb entries (the machine's apt setup is left as it is).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(mkdir -p "${1:-$ROOT/build-windows}" && cd "${1:-$ROOT/build-windows}" && pwd)"
TOOLCHAIN="$ROOT/packaging/mingw-w64.cmake"
SQUISH="$BUILD/libsquish"
SOURCES="${QM_SQUISH_SOURCES:-$SQUISH/sources}"
JOBS="${JOBS:-2}"
fail() { echo "windows: $*" >&2; exit 1; }

# The libsquish built into the .exe: Debian's source package at this version (the
# upstream release with Debian's patches), pinned by the SHA-256 of its .dsc, which
# holds the checksums of the other files (dpkg-source checks them on unpacking).
# THIRD-PARTY-NOTICES, which the zip carries, names the same version.
SQUISH_VERSION=1.15-3
SQUISH_DSC_SHA256=4bb0642f92b18ec35ec596f638fe5887820041b16e4c27feefe5c6a374701645
DSC="$SOURCES/libsquish_$SQUISH_VERSION.dsc"

grep -qF "libsquish $SQUISH_VERSION " "$ROOT/THIRD-PARTY-NOTICES" ||
  fail "THIRD-PARTY-NOTICES does not name libsquish $SQUISH_VERSION, the version the .exe is built with"

dsc_matches() { [ -f "$DSC" ] && [ "$(sha256sum < "$DSC" | cut -d ' ' -f 1)" = "$SQUISH_DSC_SHA256" ]; }

fetch_squish() {
  local apt="$SQUISH/apt"
  rm -rf "$apt"
  mkdir -p "$apt/lists/partial" "$apt/sources.list.d" "$SOURCES"
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && sed -n 's/^deb[[:space:]]/deb-src /p' "$f"
  done > "$apt/sources.list"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" > "$apt/sources.list.d/${f##*/}"
  done
  local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/sources.list.d"
              -o "Dir::State::Lists=$apt/lists" -o APT::Sandbox::User="$(id -un)")
  apt-get "${opts[@]}" update &&
    (cd "$SOURCES" && apt-get "${opts[@]}" source --download-only "libsquish=$SQUISH_VERSION")
}

if ! dsc_matches; then
  mkdir -p "$SQUISH"
  if ! fetch_squish > "$SQUISH/fetch.log" 2>&1; then
    fail "cannot get the source of libsquish $SQUISH_VERSION (apt-get source libsquish=$SQUISH_VERSION; see $SQUISH/fetch.log); to build without fetching, put libsquish_$SQUISH_VERSION.dsc and the files it names into a folder and set QM_SQUISH_SOURCES to it"
  fi
  dsc_matches || fail "$DSC is not the pinned one (SHA-256 $SQUISH_DSC_SHA256)"
fi

if [ "$(cat "$SQUISH/prefix/VERSION" 2>/dev/null)" != "$SQUISH_VERSION" ]; then
  rm -rf "$SQUISH/src" "$SQUISH/build" "$SQUISH/prefix"
  mkdir -p "$SQUISH"
  # OpenMP only speeds up compression, which the tool never calls.
  if ! { dpkg-source -x "$DSC" "$SQUISH/src" &&
         cmake -S "$SQUISH/src" -B "$SQUISH/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
           -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DBUILD_SQUISH_WITH_OPENMP=OFF \
           -DCMAKE_INSTALL_PREFIX="$SQUISH/prefix" &&
         cmake --build "$SQUISH/build" -j "$JOBS" && cmake --install "$SQUISH/build"; } > "$SQUISH/build.log" 2>&1; then
    tail -n 20 "$SQUISH/build.log"
    fail "libsquish $SQUISH_VERSION did not build; see $SQUISH/build.log"
  fi
  echo "$SQUISH_VERSION" > "$SQUISH/prefix/VERSION"
fi

SOURCE_DATE_EPOCH="$("$ROOT/packaging/source-date-epoch.sh")"
export SOURCE_DATE_EPOCH  # the linker's PE time stamp
(cd "$ROOT" && cmake --preset windows -B "$BUILD" -DQM_WERROR="${WERROR:-OFF}" \
  -DSQUISH_INCLUDE_DIR="$SQUISH/prefix/include" -DSQUISH_LIBRARY="$SQUISH/prefix/lib/libsquish.a" > /dev/null)
cmake --build "$BUILD" -j "$JOBS"
