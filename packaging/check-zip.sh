#!/bin/sh
# Checks the Windows zip: check-zip.sh ZIP DIR unpacks ZIP into DIR (emptied first)
# and fails unless it holds exactly qmextract.exe, README.txt, LICENSE.txt,
# THIRD-PARTY-NOTICES.txt, convert.bat, demo.qm and qmbatch.exe, the text files with CR LF line ends, and the .exe
# stripped, with its icon, manifest and a version resource that names the zip's
# version and the copyright line of LICENSE.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
zip=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
dir=$2
fail() { echo "zip: $*" >&2; exit 1; }
version=$(basename "$zip" | sed -n 's/^qmextract-\(.*\)-win64\.zip$/\1/p')
[ -n "$version" ] || fail "$zip is not named qmextract-<version>-win64.zip"

rm -rf "$dir" && mkdir -p "$dir"
(cd "$dir" && cmake -E tar xf "$zip")
names=$(cd "$dir" && LC_ALL=C ls -A | tr '\n' ' ')
echo "zip contents: $names"
[ "$names" = "LICENSE.txt README.txt THIRD-PARTY-NOTICES.txt convert.bat demo.qm qmbatch.exe qmextract.exe " ] || fail "unexpected contents"
cmp -s "$dir/demo.qm" "$ROOT/samples/demo.qm" || fail "demo.qm is not samples/demo.qm"

for f in LICENSE.txt README.txt THIRD-PARTY-NOTICES.txt convert.bat; do
  lines=$(tr -cd '\n' < "$dir/$f" | wc -c)
  crlf=$(grep -c "$(printf '\r')\$" "$dir/$f" || true)
  [ "$lines" -gt 0 ] && [ "$crlf" -eq "$lines" ] || fail "$f: $crlf of $lines line ends are CR LF"
  [ "$(tail -c 1 "$dir/$f" | od -An -c | tr -d ' ')" = '\n' ] || fail "$f: the last line has no line end"
done

for program in qmextract qmbatch; do
  exe=$dir/$program.exe
  echo "$program.exe: $(wc -c < "$exe") bytes"
  x86_64-w64-mingw32-objdump -h "$exe" | grep -q '\.debug' && fail "$program.exe has debug sections"
  x86_64-w64-mingw32-objdump -t "$exe" | grep -q '^no symbols' || fail "$program.exe has a symbol table"
  # Resource types at the top of the resource tree: 3 icon, 0xe icon group, 0x10 version, 0x18 manifest.
  types=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[0-9a-f]\{3\}   Entry: ID: 0x0000\([0-9a-f]*\),.*/\1/p' | tr '\n' ' ')
  [ "$types" = "03 0e 10 18 " ] || fail "$program.exe: resource types '$types', not icon, icon group, version and manifest"
  strings=$(x86_64-w64-mingw32-strings -el "$exe" | sed -n '/^StringFileInfo$/,/^VarFileInfo$/p')
  echo "version resource:" $strings
  copyright=$(grep -m 1 '^Copyright ' "$ROOT/LICENSE")
  for s in ProductName qmextract InternalName "$program" FileVersion ProductVersion "$version" "$copyright. MIT License."; do
    echo "$strings" | grep -qxF "$s" || fail "$program.exe: no '$s' in its version resource"
done
done
echo "zip: $(basename "$zip") checked"
