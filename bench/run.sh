#!/usr/bin/env bash
# make bench: a Release build in build-release/, the benchmarks (medians of 10 interleaved
# repetitions), the whole run against its floor, then one table of goals; exits 1 when a goal
# is missed. Everything runs under nice, on one processor where taskset exists (QM_BENCH_CPU,
# default 0): the processors of a virtual machine can differ in speed.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=build-release
RUN=(nice)
command -v taskset > /dev/null && RUN+=(taskset -c "${QM_BENCH_CPU:-0}")

cmake --preset release -B "$BUILD" > /dev/null
nice cmake --build "$BUILD" -j 2 --target qmextract qmbench make_big_model copy_floor
# The benchmarks time the product's own allocator: the tests' counting one must not be linked in.
if nm -C "$BUILD/bench/qmbench" | grep -q ' [TW] operator new('; then
    echo "bench/run.sh: qmbench defines its own operator new; it must use the product's" >&2
    exit 1
fi
"${RUN[@]}" "$BUILD/bench/qmbench" --benchmark_repetitions=10 \
    --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
    --benchmark_out="$BUILD/bench.json" --benchmark_out_format=json
"${RUN[@]}" bench/whole_run.sh "$BUILD" | tee "$BUILD/whole_run.txt"
echo
python3 bench/report.py "$BUILD/bench.json" "$BUILD/whole_run.txt"
