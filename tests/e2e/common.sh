# What both smoke tests share; sourced with the program's command as "$@"
# (build/qmextract, or wine build-windows/qmextract.exe, which adds the Windows cases).
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
EXPECTED=$HERE/expected
SAMPLE=$HERE/../../samples/demo.qm
WINDOWS=0
case "$*" in *.exe*) WINDOWS=1 ;; esac

# The command, quoted for eval, with relative file names made absolute (the runs change folder).
CMD=
for a do
  if [ -f "$a" ]; then case $a in /*) ;; *) a=$PWD/$a ;; esac; fi
  CMD="$CMD '$(printf '%s' "$a" | sed "s/'/'\\\\''/g")'"
  EXE=$a  # the binary, for copying beside a batch file
done
WORK=$(mktemp -d "${TMPDIR:-/tmp}/qmsmoke.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
: > "$WORK/out.txt"
: > "$WORK/err.txt"
passed=0 failed=0

check() {  # WHAT COMMAND...: counts COMMAND's success, shows its output and the run's when it fails
  what=$1; shift
  if "$@" > "$WORK/check.txt" 2>&1; then passed=$((passed + 1)); else
    failed=$((failed + 1)); echo "FAIL: $what"; head -n 20 "$WORK/check.txt" "$WORK/out.txt" "$WORK/err.txt"
  fi
}
