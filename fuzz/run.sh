#!/usr/bin/env bash
# Builds the libFuzzer target with clang into build-fuzz/ and runs it for a bounded time from the committed corpus.
#
# Environment: FUZZ_SECONDS (default 60), FUZZ_BUILD (default build-fuzz),
# CXX_FUZZ (default clang++).
# New corpus entries go to a temporary folder, never into the repository.
# Exits non-zero on any crash, leak, timeout, out-of-memory or broken bound;
# the input that did it is kept under $FUZZ_BUILD/artifacts/.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${FUZZ_BUILD:-$ROOT/build-fuzz}"
SECONDS_PER_TARGET="${FUZZ_SECONDS:-60}"
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

GENERATOR=()
if command -v ninja >/dev/null 2>&1; then GENERATOR=(-G Ninja); fi

echo "== Building the fuzz target with $CXX_FUZZ into $BUILD"
cmake -S "$ROOT" -B "$BUILD" "${GENERATOR[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="$CXX_FUZZ" -DQM_FUZZ=ON -DQM_TESTS=OFF -DQM_BENCH=OFF >/dev/null
cmake --build "$BUILD" --target fuzz_model -j 2

WORK="$(mktemp -d "${TMPDIR:-/tmp}/qmfuzz-run.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$BUILD/artifacts"
log="$BUILD/fuzz_model.log"

# Per input: 10 s, 512 MB of resident memory, 64 MB in one allocation. Inputs
# stay small, so any super-linear path or unbounded allocation shows.
echo "== fuzz_model for ${SECONDS_PER_TARGET}s (log: $log)"
set +e
"$BUILD/fuzz/fuzz_model" -timeout=10 -rss_limit_mb=512 -malloc_limit_mb=64 -max_total_time="$SECONDS_PER_TARGET" \
  -print_final_stats=1 -detect_leaks=1 -max_len=32768 -dict="$ROOT/fuzz/model.dict" \
  -artifact_prefix="$BUILD/artifacts/fuzz_model-" "$WORK" "$ROOT/fuzz/corpus/model" >"$log" 2>&1
rc=$?
set -e
grep -E '^#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb' "$log" || true
if [ "$rc" -ne 0 ]; then
  echo "!! fuzz_model failed with exit code $rc; the input is under $BUILD/artifacts/:" >&2
  grep -E 'ERROR|SUMMARY|bound broken|differs|Test unit written' "$log" | head -20 >&2 || true
  exit 1
fi
