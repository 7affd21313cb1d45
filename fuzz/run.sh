#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for a bounded time from its committed corpus.
#
# Environment: FUZZ_SECONDS (default 60, for fuzz_model), FUZZ_ANSWERS_SECONDS
# (default 30, for fuzz_answers), FUZZ_BUILD (default build-fuzz), CXX_FUZZ (default clang++).
# New corpus entries go to a temporary folder, never into the repository.
# Exits non-zero on any crash, leak, timeout, out-of-memory or broken bound;
# the input that did it is kept under $FUZZ_BUILD/artifacts/.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${FUZZ_BUILD:-$ROOT/build-fuzz}"
CXX_FUZZ="${CXX_FUZZ:-}"

if [ -z "$CXX_FUZZ" ]; then
  for c in clang++ clang++-14; do
    if command -v "$c" >/dev/null 2>&1; then CXX_FUZZ="$c"; break; fi
  done
fi
if [ -z "$CXX_FUZZ" ]; then
  echo "fuzz/run.sh: clang++ not found (make deps installs clang and libclang-rt-14-dev)" >&2
  exit 2
fi

echo "== Building the fuzz targets with $CXX_FUZZ into $BUILD"
(cd "$ROOT" && cmake --preset fuzz -B "$BUILD" -DCMAKE_CXX_COMPILER="$CXX_FUZZ" >/dev/null)
cmake --build "$BUILD" --target fuzz_model fuzz_answers -j 2

WORK="$(mktemp -d "${TMPDIR:-/tmp}/qmfuzz-run.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$BUILD/artifacts"

# TARGET SECONDS CORPUS DICT MAX_LEN: one bounded run; per input 10 s, 512 MB of
# resident memory, 64 MB in one allocation, so any super-linear path or
# unbounded allocation shows.
run_target() {
  local target=$1 seconds=$2 corpus=$3 dict=$4 max_len=$5
  local log="$BUILD/$target.log"
  mkdir -p "$WORK/$target"
  echo "== $target for ${seconds}s (log: $log)"
  set +e
  "$BUILD/fuzz/$target" -timeout=10 -rss_limit_mb=512 -malloc_limit_mb=64 -max_total_time="$seconds" \
    -print_final_stats=1 -detect_leaks=1 -max_len="$max_len" -dict="$dict" \
    -artifact_prefix="$BUILD/artifacts/$target-" "$WORK/$target" "$corpus" >"$log" 2>&1
  local rc=$?
  set -e
  grep -E '^#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb' "$log" || true
  if [ "$rc" -ne 0 ]; then
    echo "!! $target failed with exit code $rc; the input is under $BUILD/artifacts/:" >&2
    grep -E 'ERROR|SUMMARY|bound broken|differs|fuzz_answers:|Test unit written' "$log" | head -20 >&2 || true
    return 1
  fi
}

run_target fuzz_model "${FUZZ_SECONDS:-60}" "$ROOT/fuzz/corpus/model" "$ROOT/fuzz/model.dict" 32768
run_target fuzz_answers "${FUZZ_ANSWERS_SECONDS:-30}" "$ROOT/fuzz/corpus/answers" "$ROOT/fuzz/answers.dict" 4096
