#!/usr/bin/env bash
# A whole game folder converted four ways, side by side in every round: the README's loop (one
# qmextract process per model, folder by folder, a log per model), qmbatch -j 1, qmbatch -j 2 (its
# result lines to a log), and the floor: reading every model and writing the same output files,
# cat's work in one process (batch_floor). Each side writes into a fresh folder made before the
# timing; the disk is synced before each side, so none pays for the last one's writes; the sides
# take turns going first. Every side's files are compared with the reference made by the loop
# before the rounds (diff -r, the loop's logs left out); any difference stops the run.
# A round's files are then cut to nothing, and deleted only at the end: on ext4 without a journal,
# a file made within 30 s of many deletions in its group costs a search past each deleted inode,
# which would dominate the times. For the same reason, leave 30 s between two runs. Each round
# also shows how many processors other programs kept busy while each side ran (from /proc/stat):
# their work stretches the wall times, -j 2's most (with autogroup scheduling, a session gets its
# share of the processors however many threads it runs), so judge -j 2 on an idle machine.
#
# usage: bench/batch_run.sh [build folder, default build-release] [rounds, default 3]
#                           [models, default 1000]
# Prints each round, then medians and min-max ranges of the times and of the ratios, the goals,
# and one line: BATCH_RUN loop_per_j1=<ratio> j1_per_j2=<ratio> j1_per_floor=<ratio> ...
# Exits 1 when a goal is missed (on wall time: -j 2 is about using both processors).
set -euo pipefail
BUILD=$(cd "${1:-build-release}" && pwd)
ROUNDS=${2:-3}
MODELS=${3:-1000}
for tool in qmextract qmbatch bench/make_game_folder bench/batch_floor; do
    [ -x "$BUILD/$tool" ] || { echo "batch_run.sh: build $BUILD/$tool first" >&2; exit 2; }
done
W=$(mktemp -d "$BUILD/batch_run.XXXXXX")
trap 'rm -rf "$W"' EXIT
cd "$W"
GAME=$W/game
"$BUILD/bench/make_game_folder" "$GAME" "$MODELS"
# The folders that hold models, one a line (a name may hold a blank).
FOLDERS=$(cd "$GAME" && find . -name '*.qm' -printf '%h\n' | sed 's|^\./||' | LC_ALL=C sort -u)

# The README's loop, once per folder, into the current folder.
loop() {
    local d f name
    while IFS= read -r d; do
        mkdir -p "$d"
        for f in "$GAME/$d"/*.qm; do
            name=$(basename "$f" .qm)
            printf '"%s"\n"%s"\n' "$f" "$d/$name" | "$BUILD/qmextract" > "$d/$name.log" ||
                echo "failed: $f"
        done
    done <<< "$FOLDERS"
}
j1() { "$BUILD/qmbatch" -j 1 -o . "$GAME" > "$W/j1.log"; }
j2() { "$BUILD/qmbatch" -j 2 -o . "$GAME" > "$W/j2.log"; }
floor() { "$BUILD/bench/batch_floor" "$W/list" "$GAME" "$W/ref"; }
same() { diff -r -x '*.log' "$1" ref > /dev/null || { echo "batch_run.sh: $1 differs from the reference" >&2; exit 1; }; }

mkdir ref
(cd ref && loop)
# The floor's list: each model, then its outputs, in qmbatch's order.
(cd "$GAME" && find . -name '*.qm' | sed 's|^\./||' | LC_ALL=C sort) | while IFS= read -r m; do
    echo "M $m"
    echo "O ${m%.qm}.obj"
    for ((t = 0; ; t++)); do
        [ -f "ref/${m%.qm}_tex$t.bmp" ] || break
        echo "O ${m%.qm}_tex$t.bmp"
    done
done > list
bytes() { find "$@" -printf '%s\n' | awk '{ n++; s += $1 } END { printf "%d files, %.1f MB", n, s / 1e6 }'; }
echo "game folder: $(bytes "$GAME" -name '*.qm'); output: $(bytes ref -type f ! -name '*.log')"

TIMEFORMAT='%R %U %S'
HZ=$(getconf CLK_TCK)
# Processor time used by the whole machine so far, in seconds.
busy() { awk -v hz="$HZ" '/^cpu / { print ($2 + $3 + $4 + $7 + $8 + $9) / hz }' /proc/stat; }
SIDES=(loop j1 j2 floor loop j1 j2)
for r in $(seq "$ROUNDS"); do
    for side in "${SIDES[@]:r % 4:4}"; do
        mkdir "$side.$r"
        sync
        before=$(busy)
        { time (cd "$side.$r" && "$side"); } 2> time.txt
        # wall, user, system, then the processor time of the machine meanwhile
        echo "$(cat time.txt) $(busy) $before" | awk '{ print $1, $2, $3, $4 - $5 }' >> "$side.times"
    done
    for side in loop j1 j2 floor; do same "$side.$r"; done
    find loop.$r j1.$r j2.$r floor.$r -type f -exec truncate -s 0 {} +
    paste -d' ' loop.times j1.times j2.times floor.times | tail -n 1 | awk -v r="$r" '
        function side(name, k) {  # wall (cpu, processors kept busy by others)
            others = ($(k + 3) - $(k + 1) - $(k + 2)) / $k
            return sprintf("%s %.2f (%.2f, %.1f)", name, $k, $(k + 1) + $(k + 2), others < 0 ? 0 : others)
        }
        { printf "round %d: wall s (cpu s, others'"'"' processors): %s, %s, %s, %s\n", r,
                 side("loop", 1), side("-j 1", 5), side("-j 2", 9), side("floor", 13) }'
done

paste -d' ' loop.times j1.times j2.times floor.times | awk '
    function median(a, n,   i, j, t) {  # sorts a[1..n]
        for (i = 2; i <= n; i++)
            for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
        return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    # "median (min-max)" of a[1..n], which it sorts.
    function show(a, n, digits,   m) {
        m = median(a, n)
        return sprintf("%." digits "f (%." digits "f-%." digits "f)", m, a[1], a[n])
    }
    {
        lw[NR] = $1; j1w[NR] = $5; j2w[NR] = $9; fw[NR] = $13
        lc[NR] = $2 + $3; j1c[NR] = $6 + $7; j2c[NR] = $10 + $11; fc[NR] = $14 + $15
        o[NR] = ($12 - j2c[NR]) / $9; if (o[NR] < 0) o[NR] = 0
        a[NR] = $1 / $5; b[NR] = $5 / $9; c[NR] = $5 / $13
        ac[NR] = lc[NR] / j1c[NR]; cc[NR] = j1c[NR] / fc[NR]
    }
    END {
        n = NR
        print "Medians (min-max) over " n " rounds, seconds:"
        printf "  wall: loop %s, -j 1 %s, -j 2 %s, floor %s\n", show(lw, n, 2), show(j1w, n, 2), show(j2w, n, 2), show(fw, n, 2)
        printf "  cpu:  loop %s, -j 1 %s, -j 2 %s, floor %s\n", show(lc, n, 2), show(j1c, n, 2), show(j2c, n, 2), show(fc, n, 2)
        A = median(a, n); B = median(b, n); C = median(c, n)
        printf "Ratios, wall, per round: loop / -j 1 %s, -j 1 / -j 2 %s, -j 1 / floor %s\n", show(a, n, 2), show(b, n, 2), show(c, n, 2)
        printf "Ratios, cpu, per round:  loop / -j 1 %s, -j 1 / floor %s\n", show(ac, n, 2), show(cc, n, 2)
        printf "Processors kept busy by other programs during -j 2: %s\n", show(o, n, 1)
        ok1 = A >= 2; ok2 = B >= 1.7; ok3 = C <= 2.5
        printf "Goal: -j 1 at least 2x faster than the loop   %.2fx  %s\n", A, ok1 ? "pass" : "FAIL"
        printf "Goal: -j 2 at least 1.7x faster than -j 1     %.2fx  %s\n", B, ok2 ? "pass" : "FAIL"
        printf "Goal: -j 1 within 2.5x of the floor           %.2fx  %s\n", C, ok3 ? "pass" : "FAIL"
        printf "BATCH_RUN loop_per_j1=%.2f j1_per_j2=%.2f j1_per_floor=%.2f loop_per_j1_range=%.2f-%.2f j1_per_j2_range=%.2f-%.2f j1_per_floor_range=%.2f-%.2f",
               A, B, C, a[1], a[n], b[1], b[n], c[1], c[n]
        printf " loop_s=%.2f j1_s=%.2f j2_s=%.2f floor_s=%.2f others_j2=%.1f rounds=%d\n", median(lw, n), median(j1w, n), median(j2w, n), median(fw, n), median(o, n), n
        exit !(ok1 && ok2 && ok3)
    }'
