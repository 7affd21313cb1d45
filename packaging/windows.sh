#!/usr/bin/env bash
# Cross-builds BUILD/qmextract.exe (default build-windows/) with mingw-w64: first
# libsquish from Debian's own source package, into BUILD/libsquish/, then the tool,
# both statically linked so that the .exe needs no DLL beside it.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(mkdir -p "${1:-$ROOT/build-windows}" && cd "${1:-$ROOT/build-windows}" && pwd)"
TOOLCHAIN="$ROOT/packaging/mingw-w64.cmake"
SQUISH="$BUILD/libsquish"
JOBS="${JOBS:-2}"

# The source package comes through a private apt setup under SQUISH/apt, whose
# deb-src entries mirror the machine's own deb entries; the machine's apt setup
# is left as it is.
fetch_squish() {
  local apt="$SQUISH/apt"
  rm -rf "$apt" "$SQUISH/src"
  mkdir -p "$apt/lists/partial" "$apt/sources.list.d" "$SQUISH/src"
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && sed -n 's/^deb[[:space:]]/deb-src /p' "$f"
  done > "$apt/sources.list"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" > "$apt/sources.list.d/${f##*/}"
  done
  local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/sources.list.d"
              -o "Dir::State::Lists=$apt/lists" -o APT::Sandbox::User=root)
  apt-get "${opts[@]}" update && (cd "$SQUISH/src" && apt-get "${opts[@]}" source libsquish)
}

if [ ! -f "$SQUISH/prefix/lib/libsquish.a" ]; then
  mkdir -p "$SQUISH"
  if ! fetch_squish > "$SQUISH/fetch.log" 2>&1; then
    echo "windows: cannot fetch Debian's libsquish source package (apt-get source libsquish); see $SQUISH/fetch.log" >&2
    exit 1
  fi
  SRC="$(find "$SQUISH/src" -mindepth 1 -maxdepth 1 -type d -name 'libsquish-*' | head -n 1)"
  # OpenMP only speeds up compression, which the tool never calls.
  if ! { cmake -S "$SRC" -B "$SQUISH/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
           -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DBUILD_SQUISH_WITH_OPENMP=OFF \
           -DCMAKE_INSTALL_PREFIX="$SQUISH/prefix" &&
         cmake --build "$SQUISH/build" -j "$JOBS" && cmake --install "$SQUISH/build"; } > "$SQUISH/build.log" 2>&1; then
    tail -n 20 "$SQUISH/build.log"
    echo "windows: libsquish did not build; see $SQUISH/build.log" >&2
    exit 1
  fi
fi

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
  -DCMAKE_BUILD_TYPE=Release -DQM_WERROR=ON -DQM_TESTS=OFF -DQM_BENCH=OFF \
  -DSQUISH_INCLUDE_DIR="$SQUISH/prefix/include" -DSQUISH_LIBRARY="$SQUISH/prefix/lib/libsquish.a" > /dev/null
cmake --build "$BUILD" -j "$JOBS" --target qmextract qmbatch
