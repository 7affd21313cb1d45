#!/usr/bin/env bash
# Release build in build-release/, all benchmarks interleaved with repetitions,
# the whole-run comparison with cat, then one table of goals and ratios.
# Exits 1 when a goal is missed. Builds with nice and at most two jobs, so
# that a shared machine stays usable.
#
# The measurements run on one processor (QM_BENCH_CPU, default 0) where
# taskset exists: the processors of a virtual machine can differ in speed, and
# a process moving between them would mix two speeds into one ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=build-release
JOBS=2
PIN=()
command -v taskset > /dev/null && PIN=(taskset -c "${QM_BENCH_CPU:-0}")

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_BENCH=ON -DQM_TESTS=OFF > /dev/null
nice cmake --build "$BUILD" -j "$JOBS" --target qmextract qmbench make_big_model phase_times check_all_floats

echo "Benchmarks (medians of ${QM_BENCH_REPETITIONS:-5} interleaved repetitions):"
nice "${PIN[@]}" "$BUILD/bench/qmbench" --benchmark_repetitions="${QM_BENCH_REPETITIONS:-5}" \
    --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
    --benchmark_out="$BUILD/bench.json" --benchmark_out_format=json | grep -E 'median|^Benchmark|^-'

echo
echo "Whole run against cat:"
nice "${PIN[@]}" bench/whole_run.sh "$BUILD" 5 | tee "$BUILD/whole_run.txt"

echo
python3 bench/report.py "$BUILD/bench.json" "$BUILD/whole_run.txt"
