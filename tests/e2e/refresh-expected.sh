#!/bin/sh
# Writes the smoke test's expected files anew from a binary: refresh-expected.sh BINARY.
# Run it (make expected) after an intended change of output, then read git diff tests/e2e/expected.
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
BIN=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/qmexpected.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
cp "$HERE/../../samples/demo.qm" .
printf 'demo.qm\nout\n' | "$BIN" > "$HERE/expected/demo.txt" || true
sha256sum out.obj out_tex0.bmp out_tex1.bmp out_tex2.bmp > "$HERE/expected/demo.sha256"
printf 'demo.qm\nnodir/out\n' | "$BIN" > "$HERE/expected/missing-folder.txt" || true
echo "refreshed $HERE/expected; review it with git diff"
