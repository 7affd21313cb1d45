#!/bin/sh
# Checks the Windows zip: check-zip.sh ZIP DIR unpacks ZIP into DIR (emptied first)
# and fails unless every entry is stamped with SOURCE_DATE_EPOCH (source-date-epoch.sh)
# and carries no extra field; the zip holds exactly README.txt, LICENSE.txt,
# THIRD-PARTY-NOTICES.txt (the repository's, naming the libsquish built in),
# convert.bat, demo.qm (the sample) and the two programs; the text files have
# CR LF line ends; and every .exe is stripped, with its icon, manifest, a version
# resource that names it, the zip's version and the copyright line of LICENSE, and
# the line "<program> <version>" that `strings` finds.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
zip=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
dir=$2
fail() { echo "zip: $*" >&2; exit 1; }
version=$(basename "$zip" | sed -n 's/^qmextract-\(.*\)-win64\.zip$/\1/p')
[ -n "$version" ] || fail "$zip is not named qmextract-<version>-win64.zip"

SOURCE_DATE_EPOCH=$("$ROOT/packaging/source-date-epoch.sh") python3 - "$zip" <<'PY' || fail "entries not as write-zip.py writes them"
import os, sys, time, zipfile
epoch = int(os.environ["SOURCE_DATE_EPOCH"])
for info in zipfile.ZipFile(sys.argv[1]).infolist():
    if info.extra or info.date_time[:5] != time.gmtime(epoch)[:5]:
        sys.exit(f"zip: {info.filename}: date {info.date_time}, {len(info.extra)} bytes of extra fields")
PY

rm -rf "$dir" && mkdir -p "$dir"
(cd "$dir" && cmake -E tar xf "$zip")
names=$(cd "$dir" && LC_ALL=C ls -A | tr '\n' ' ')
echo "zip contents: $names"
[ "$names" = "LICENSE.txt README.txt THIRD-PARTY-NOTICES.txt convert.bat demo.qm qmbatch.exe qmextract.exe " ] ||
  fail "unexpected contents"
cmp -s "$dir/demo.qm" "$ROOT/samples/demo.qm" || fail "demo.qm is not samples/demo.qm"
tr -d '\r' < "$dir/THIRD-PARTY-NOTICES.txt" | cmp -s - "$ROOT/THIRD-PARTY-NOTICES" ||
  fail "THIRD-PARTY-NOTICES.txt is not the repository's THIRD-PARTY-NOTICES"
grep -A 1 -m 1 ' hold libsquish ' "$dir/THIRD-PARTY-NOTICES.txt" | tr -d '\r'

for f in LICENSE.txt README.txt THIRD-PARTY-NOTICES.txt convert.bat; do
  lines=$(tr -cd '\n' < "$dir/$f" | wc -c)
  crlf=$(grep -c "$(printf '\r')\$" "$dir/$f" || true)
  [ "$lines" -gt 0 ] && [ "$crlf" -eq "$lines" ] || fail "$f: $crlf of $lines line ends are CR LF"
  [ "$(tail -c 1 "$dir/$f" | od -An -c | tr -d ' ')" = '\n' ] || fail "$f: the last line has no line end"
done

copyright=$(grep -m 1 '^Copyright ' "$ROOT/LICENSE")
for exe in "$dir"/*.exe; do
  name=$(basename "$exe")
  program=${name%.exe}
  echo "$name: $(wc -c < "$exe") bytes"
  x86_64-w64-mingw32-objdump -h "$exe" | grep -q '\.debug' && fail "$name has debug sections"
  x86_64-w64-mingw32-objdump -t "$exe" | grep -q '^no symbols' || fail "$name has a symbol table"
  # Resource types at the top of the resource tree: 3 icon, 0xe icon group, 0x10 version, 0x18 manifest.
  types=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[0-9a-f]\{3\}   Entry: ID: 0x0000\([0-9a-f]*\),.*/\1/p' | tr '\n' ' ')
  [ "$types" = "03 0e 10 18 " ] || fail "$name: resource types '$types', not icon, icon group, version and manifest"
  strings=$(x86_64-w64-mingw32-strings -el "$exe" | sed -n '/^StringFileInfo$/,/^VarFileInfo$/p')
  echo "version resource:" $strings
  for s in ProductName qmextract FileVersion ProductVersion "$version" OriginalFilename "$name" \
           "$copyright. MIT License."; do
    echo "$strings" | grep -qxF "$s" || fail "$name: no '$s' in its version resource"
  done
  x86_64-w64-mingw32-strings -a "$exe" | grep -qxF "$program $version" || fail "$name: no '$program $version' in it"
  echo "$name holds '$program $version'"
done
echo "zip: $(basename "$zip") checked"
