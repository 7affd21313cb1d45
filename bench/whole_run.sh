#!/usr/bin/env bash
# Whole runs of the real binary on the big model against its floor: reading the model and writing
# the same bytes (as many files, of the same sizes, read from the page cache as the model is) into
# a fresh folder. The floor is copy_floor, cat's work in one process as the tool is one; cat
# itself, one process per file, is timed beside it. Output folders are made before the timing and
# removed after it; nothing is deleted inside a timed command. The sides take turns going first.
#
# usage: bench/whole_run.sh [build folder, default build-release] [rounds, default 10]
# Prints each round, then the medians (ratios also as min-max over the rounds) in one line:
# WHOLE_RUN cpu=<ratio> wall=<ratio> cpu_range=<min>-<max> ... peak_kib=<k> model_bytes=<n>
set -euo pipefail
BUILD=$(cd "${1:-build-release}" && pwd)
ROUNDS=${2:-10}
W=$(mktemp -d "$BUILD/whole_run.XXXXXX")
trap 'rm -rf "$W"' EXIT
cd "$W"
"$BUILD/bench/make_big_model" big.qm
printf '%s\nout\n\n' "$W/big.qm" > answers
# One run makes the files to copy; one more, in a fresh folder, gives the tool's peak memory.
mkdir ref peak
(cd ref && "$BUILD/qmextract" < ../answers > /dev/null)
(cd peak && /usr/bin/time -f %M -o ../peak_kib "$BUILD/qmextract" < ../answers > /dev/null)
FILES=$(cd ref && ls)

qm() { "$BUILD/qmextract" < "$W/answers" > /dev/null; }
floor() { "$BUILD/bench/copy_floor" "$W/big.qm" "$W/ref" $FILES; }
cats() {
    cat "$W/big.qm" > /dev/null
    for f in $FILES; do cat "$W/ref/$f" > "$f"; done
}
TIMEFORMAT='%R %U %S'
SIDES=(qm floor cats qm floor)
for r in $(seq "$ROUNDS"); do
    mkdir qm floor cats
    for side in "${SIDES[@]:r % 3:3}"; do
        { time (cd $side && $side); } 2>> $side.times
    done
    diff -r floor ref > /dev/null  # both floors wrote the tool's bytes
    diff -r cats ref > /dev/null
    rm -rf qm floor cats
done

echo "model $(stat -c %s big.qm) bytes; output $(cat ref/* | wc -c) bytes in $(echo $FILES | wc -w) files"
paste -d' ' qm.times floor.times cats.times | awk -v peak="$(cat peak_kib)" -v model="$(stat -c %s big.qm)" '
    function median(a, n,   i, j, t) {  # sorts a[1..n]
        for (i = 2; i <= n; i++)
            for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
        return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    {
        qc[NR] = 1000 * ($2 + $3); fc[NR] = 1000 * ($5 + $6); kc[NR] = 1000 * ($8 + $9)
        qw[NR] = 1000 * $1; fw[NR] = 1000 * $4
        cr[NR] = qc[NR] / fc[NR]; wr[NR] = qw[NR] / fw[NR]; kr[NR] = qc[NR] / kc[NR]
        printf "round %d: cpu (wall) ms: qmextract %.0f (%.0f), floor %.0f (%.0f), cat %.0f (%.0f);", NR, qc[NR], qw[NR], fc[NR], fw[NR], kc[NR], 1000 * $7
        printf " qmextract / floor cpu %.2f wall %.2f, / cat cpu %.2f\n", cr[NR], wr[NR], kr[NR]
    }
    END {  # median() sorts, so [1] and [NR] are then the range
        c = median(cr, NR); w = median(wr, NR); k = median(kr, NR)
        printf "WHOLE_RUN cpu=%.2f wall=%.2f cat_cpu=%.2f cpu_range=%.2f-%.2f wall_range=%.2f-%.2f cat_cpu_range=%.2f-%.2f",
               c, w, k, cr[1], cr[NR], wr[1], wr[NR], kr[1], kr[NR]
        printf " qm_cpu_ms=%.0f floor_cpu_ms=%.0f cat_cpu_ms=%.0f peak_kib=%d model_bytes=%d\n",
               median(qc, NR), median(fc, NR), median(kc, NR), peak, model
    }'
