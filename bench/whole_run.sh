#!/usr/bin/env bash
# Whole runs of the real binary on the big model against cat reading the model
# and writing the same output bytes, all files under /tmp.
#
# usage: bench/whole_run.sh [build folder with qmextract and bench/, default build-release] [runs, default 5]
# Prints each run, the medians, the ratio, the peak memory of the tool, and one
# timed run split into its steps. The last line reads:
# WHOLE_RUN cpu_ratio=<r> wall_ratio=<r> qm_wall_ms=<t> cat_wall_ms=<t> peak_kib=<k> model_bytes=<n>
set -euo pipefail
BUILD=$(cd "${1:-build-release}" && pwd)
RUNS=${2:-5}
WORK=$(mktemp -d /tmp/qmwhole.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

"$BUILD/bench/make_big_model" "$WORK/big.qm"
mkdir -p "$WORK/qm" "$WORK/cat"
cat "$WORK/big.qm" > /dev/null   # in the page cache for both sides

ln -s "$WORK/big.qm" "$WORK/qm/big.qm"
# One run to learn the output files, which cat then copies.
(cd "$WORK/qm" && printf 'big.qm\nout\n\n' | "$BUILD/qmextract" > /dev/null)
OUTPUTS=$(cd "$WORK/qm" && ls out.obj out_tex*.bmp)
OUT_BYTES=$(cd "$WORK/qm" && cat $OUTPUTS | wc -c)

# Prints "<wall seconds> <user+system seconds> <peak resident KiB>" for the
# command given; the peak is that of its largest process (the tool, not bash).
timed() {
    /usr/bin/time -f '%e %U %S %M' -o "$WORK/time" "$@" > /dev/null
    awk '{ printf "%s %.3f %d\n", $1, $2 + $3, $4 }' "$WORK/time"
}

run_qm() { cd "$WORK/qm" && rm -f out.obj out_tex*.bmp && printf 'big.qm\nout\n\n' | "$BUILD/qmextract"; }
run_cat() {
    cd "$WORK/cat" && rm -f out.obj out_tex*.bmp
    cat "$WORK/big.qm" > /dev/null
    for f in $OUTPUTS; do cat "$WORK/qm/$f" > "$f"; done
}
export -f run_qm run_cat
export WORK BUILD OUTPUTS

echo "model $(stat -c %s "$WORK/big.qm") bytes, output $OUT_BYTES bytes in $(echo $OUTPUTS | wc -w) files"
: > "$WORK/qm.times"
: > "$WORK/cat.times"
for r in $(seq "$RUNS"); do   # interleaved, so load changes hit both sides
    timed bash -c run_qm >> "$WORK/qm.times"
    timed bash -c run_cat >> "$WORK/cat.times"
    echo "run $r: qmextract $(tail -1 "$WORK/qm.times")  cat $(tail -1 "$WORK/cat.times")  (wall s, cpu s, peak KiB)"
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
QW=$(cut -d' ' -f1 "$WORK/qm.times" | median)
QC=$(cut -d' ' -f2 "$WORK/qm.times" | median)
CW=$(cut -d' ' -f1 "$WORK/cat.times" | median)
CC=$(cut -d' ' -f2 "$WORK/cat.times" | median)
PEAK=$(cut -d' ' -f3 "$WORK/qm.times" | sort -n | tail -1)
MODEL=$(stat -c %s "$WORK/big.qm")

echo "one run split into its steps (same files, same folder):"
(cd "$WORK/qm" && rm -f out.obj out_tex*.bmp && "$BUILD/bench/phase_times" big.qm out)

awk -v qw="$QW" -v qc="$QC" -v cw="$CW" -v cc="$CC" -v peak="$PEAK" -v model="$MODEL" 'BEGIN {
    printf "median wall: qmextract %.0f ms, cat %.0f ms; median cpu: qmextract %.0f ms, cat %.0f ms\n",
           qw * 1000, cw * 1000, qc * 1000, cc * 1000
    printf "peak memory of qmextract: %.1f MB for a %.1f MB model\n", peak * 1024 / 1e6, model / 1e6
    printf "WHOLE_RUN cpu_ratio=%.2f wall_ratio=%.2f qm_wall_ms=%.0f cat_wall_ms=%.0f peak_kib=%d model_bytes=%d\n",
           qc / (cc > 0 ? cc : 0.001), qw / (cw > 0 ? cw : 0.001), qw * 1000, cw * 1000, peak, model }'
