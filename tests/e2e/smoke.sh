#!/bin/sh
# Runs the real binary through whole sessions: smoke.sh COMMAND...
# (build/qmextract, or wine build-windows/qmextract.exe, which adds the Windows paths).
# Console output is compared without CR; OBJ and BMP bytes must be the same on every platform.
. "$(dirname "$0")/common.sh"

fresh() {  # an empty run folder holding demo.qm
  rm -rf "$WORK/run" && mkdir "$WORK/run" && cp "$SAMPLE" "$WORK/run/demo.qm" && cd "$WORK/run"
}
qm() {  # INPUT: one run; $rc is its status, out.txt its output without CR and with
        # "Error: ..." lines cut before the system's reason
  printf '%s' "$1" > "$WORK/in.txt"
  qm_in
}
qm_in() {  # the same, with the input already in in.txt
  rc=0
  eval "$CMD" < "$WORK/in.txt" > "$WORK/raw.txt" || rc=$?
  tr -d '\r' < "$WORK/raw.txt" | sed 's/^\(Error: [^:]*\): .*/\1/' > "$WORK/out.txt"
}
outputs_in() {  # FOLDER: the OBJ and BMPs of out in FOLDER are the sample's
  (cd "$1" && sha256sum -c "$EXPECTED/demo.sha256")
}
only() {  # NAMES...: the run folder holds exactly these names
  [ "$(LC_ALL=C ls -A | tr '\n' ' ')" = "$* " ]
}
crlf_lines() {  # console lines end in CR LF on Windows, in LF elsewhere
  [ "$(tr -cd '\r' < "$WORK/raw.txt" | wc -c)" -eq $((WINDOWS * $(tr -cd '\n' < "$WORK/raw.txt" | wc -c))) ]
}
sample_session() {  # WHAT FOLDER: status 0, the sample's transcript, its outputs in FOLDER
  check "$1: status 0" [ "$rc" -eq 0 ]
  check "$1: transcript" diff -u "$EXPECTED/demo.txt" "$WORK/out.txt"
  check "$1: OBJ and BMP bytes" outputs_in "$2"
}

fresh; qm 'demo.qm
out
'
sample_session "sample" .
check "sample: console line ends" crlf_lines

fresh; qm 'demo.qm
nodir/out
'
check "missing save folder: status 1" [ "$rc" -eq 1 ]
check "missing save folder: transcript" diff -u "$EXPECTED/missing-folder.txt" "$WORK/out.txt"
check "missing save folder: no file left" only demo.qm

fresh; mkdir out.obj; qm 'demo.qm
out
'
check "OBJ name taken by a folder: status 1" [ "$rc" -eq 1 ]
check "OBJ name taken by a folder: Error line" grep -qx 'Error: could not write out.obj' "$WORK/out.txt"
check "OBJ name taken by a folder: the reason" grep -q '^Error: could not write out.obj: .' "$WORK/raw.txt"
check "OBJ name taken by a folder: no stray file" only demo.qm out.obj out_tex0.bmp out_tex1.bmp out_tex2.bmp
check "OBJ name taken by a folder: folder kept empty" rmdir out.obj

fresh; qm 'hero
'
check "missing model file: status 1" [ "$rc" -eq 1 ]
check "missing model file: Error line" grep -qx 'Error: cannot open model file hero' "$WORK/out.txt"
check "missing model file: nothing written" only demo.qm

# Paths with blanks, typed as they are or quoted as file managers quote them,
# and unquoted save paths with blanks; the pause waits for a line of its own.
fresh; mkdir "my models" "my out"; cp demo.qm "my models/"
for answers in "'my models/demo.qm' 
'my out/out' 
" '"my models/demo.qm" "my out/out"
' 'my models/demo.qm
my out/out  
'; do
  qm "$answers
the pause's line
"
  sample_session "blank in a folder name: $(echo $answers)" "my out"
done
check "blank in a folder name: outputs" [ "$(ls "my out" | wc -l)" -eq 4 ]

# A save path that names a folder is refused before anything is written.
fresh; mkdir sub; qm 'demo.qm
sub/
'
check "folder as save path: status 1" [ "$rc" -eq 1 ]
check "folder as save path: Error line" grep -qx 'Error: the save file path sub/ names a folder; add a name for the files, as in sub/model' "$WORK/out.txt"
check "folder as save path: nothing written" only demo.qm sub

# A second run into the same save path replaces every output.
fresh; qm 'demo.qm
out
'; qm 'demo.qm
out
'
sample_session "second run into the same path" .

# The batch recipe in README.md is packaging/convert.bat, as shipped.
same_recipe() {
  awk '/^```bat$/ { on = 1; next } /^```$/ { on = shown = 0 } on && /^@echo off/ { shown = 1 } shown' \
    "$HERE/../../README.md" | diff - "$HERE/../../packaging/convert.bat"
}
check "README.md holds packaging/convert.bat" same_recipe

# Paths are UTF-8 bytes, on Windows too.
fresh; mkdir modèles; cp demo.qm modèles/; qm 'modèles/demo.qm
modèles/out
'
sample_session "non-ASCII path" modèles

# Out of memory: a 64 MB file whose one texture needs 256 MB of pixels, under a
# 300 MB address-space limit, is an Error line and status 1, never an abort.
# (Skipped where the binary cannot start under the limit, as under AddressSanitizer.)
if [ "$WINDOWS" -eq 0 ] && (ulimit -v 300000 && eval "$CMD" < /dev/null 2>/dev/null | grep -q '^Press Enter'); then
  fresh; head -c $((24 + 64 * 1024 * 1024)) /dev/zero > big.qm
  printf '\000\040\000\040\000\000\000\000\001\000\000\000\020' | dd of=big.qm conv=notrunc 2>/dev/null
  printf '\231' | dd of=big.qm bs=1 seek=23 conv=notrunc 2>/dev/null
  printf 'big.qm\nout\n' > "$WORK/in.txt"
  rc=0; (ulimit -v 300000; eval "$CMD") < "$WORK/in.txt" > "$WORK/out.txt" 2> "$WORK/err.txt" || rc=$?
  check "out of memory: status 1" [ "$rc" -eq 1 ]
  check "out of memory: Error line" grep -qx 'Error: could not write out_tex0.bmp: texture N1 needs more memory than is free for its 8192 x 8192 pixels' "$WORK/out.txt"
  check "out of memory: nothing on standard error" [ ! -s "$WORK/err.txt" ]
  # The scans of a 64 MB file whose matrix tables, index list and vertex records
  # all span it need 245 MB more: under the limit they fail as a whole.
  fresh; head -c $((64 * 1024 * 1024)) /dev/zero > big.qm
  for field in 76 84 192; do printf '\377\377\377\177' | dd of=big.qm bs=1 seek=$field conv=notrunc 2>/dev/null; done
  printf '\300\377\377\003' | dd of=big.qm bs=1 seek=108 conv=notrunc 2>/dev/null
  rc=0; (ulimit -v 300000; eval "$CMD") < "$WORK/in.txt" > "$WORK/out.txt" 2> "$WORK/err.txt" || rc=$?
  check "out of memory in the scans: status 1" [ "$rc" -eq 1 ]
  check "out of memory in the scans: Error line" grep -qx 'Error: not enough memory to analyse model file big.qm' "$WORK/out.txt"
  check "out of memory in the scans: nothing written" only big.qm demo.qm
fi

if [ "$WINDOWS" -eq 1 ]; then
  # Backslashes, answers typed with CR LF, and a drive letter (Z: is the root under Wine).
  cr=$(printf '\r')
  fresh; mkdir sub; cp demo.qm sub/; qm "sub\\demo.qm$cr
sub\\out$cr
"
  sample_session "backslash path, CR LF answers" sub
  fresh; drive="Z:$(pwd | tr / '\\')"; qm "$drive\\demo.qm
$drive\\out
"
  sample_session "drive letter path" .

  # Where games install: a folder with blanks and brackets on C:, given quoted
  # ("Copy as path") and unquoted, with an unquoted save path holding blanks.
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX/drive_c" ]; then
    game="$WINEPREFIX/drive_c/Program Files (x86)/qmsmoke game"
    rm -rf "$game"; mkdir -p "$game/models" "$game/export"; cp "$SAMPLE" "$game/models/demo.qm"
    win='C:\Program Files (x86)\qmsmoke game'
    fresh; qm "\"$win\\models\\demo.qm\"$cr
\"$win\\export\\out\"$cr
"
    sample_session "quoted C:\\Program Files (x86) path" "$game/export"
    rm -f "$game/export/"*; qm "$win\\models\\demo.qm
$win\\export\\out
"
    sample_session "unquoted C:\\Program Files (x86) path" "$game/export"
    qm "$win\\models\\heor.qm
"
    check "mistyped unquoted path: named as typed" grep -qF "Error: cannot open model file $win\\models\\heor.qm: " "$WORK/raw.txt"
    rm -rf "$game"
  fi

  # Device names and characters Windows does not allow are refused up front.
  for name in con 'out\Nul.txt' 'a*b' 'a?b' 'CONIN$' 'conout$.txt' 'COM¹' 'lpt³.x'; do
    fresh; qm "demo.qm
$name
"
    check "save path $name: status 1" [ "$rc" -eq 1 ]
    check "save path $name: Error line" grep -qF "Error: the save file path $name " "$WORK/out.txt"
    check "save path $name: nothing written" only demo.qm
  done

  # A save name that fits, whose last BMP name would not, is refused up front.
  fresh; long=$(printf '%0247d' 0); qm "demo.qm
$long
"
  check "save name past the limit with its outputs: Error line" grep -qF "Error: the save file path $long is too long for its outputs: the file name ${long}_tex2.bmp has 256 characters, 1 more than a name may have" "$WORK/raw.txt"
  check "save name past the limit with its outputs: nothing written" only demo.qm
  fresh; qm 'demo.qm
"out "
'
  check "save path ending in a blank: shown in quotes" grep -qxF 'Error: the save file path "out " ends in a blank, which Windows drops from file names' "$WORK/out.txt"
  fresh; qm 'demo.qm
.
'
  check "save path naming a folder: the hint" grep -qxF 'Error: the save file path . names a folder; add a name for the files, as in .\model' "$WORK/out.txt"

  # Answers from files: in the ANSI code page (no console is attached to a
  # pipe), after a UTF-8 byte-order mark, and in UTF-16 with its mark.
  fresh; mkdir modèles; cp demo.qm modèles/
  printf 'mod\350les\\demo.qm\r\nmod\350les\\out\r\n' > "$WORK/in.txt"
  qm_in
  sample_session "answers in code page 1252" modèles
  fresh; qm "$(printf '\357\273\277')demo.qm
out
"
  sample_session "answers after a UTF-8 byte-order mark" .
  fresh; printf '\377\376' > "$WORK/in.txt"
  printf 'demo.qm\r\nout\r\n' | iconv -f UTF-8 -t UTF-16LE >> "$WORK/in.txt"
  qm_in
  sample_session "UTF-16 answers" .
  fresh; printf 'demo.qm\r\nout\r\n' | iconv -f UTF-8 -t UTF-16LE > "$WORK/in.txt"
  qm_in
  sample_session "UTF-16 answers without a byte-order mark (cmd /u)" .

  # The batch recipe, run by Wine's cmd beside a copy of the .exe, on a folder
  # with a non-ASCII name, a name with a blank and a corrupt model: the good
  # ones are converted, the corrupt one is named, no answers file is left.
  fresh; mkdir models; cp demo.qm "models/ведьма ü.qm"; cp demo.qm "models/a b.qm"
  head -c 2400 demo.qm > models/bad.qm
  cp "$EXE" qmextract.exe
  here="Z:$(pwd | tr / '\\')"
  M="$here\\models" O="$here\\export" awk '
    /^set "models=/ { print "set \"models=" ENVIRON["M"] "\"\r"; next }
    /^set "out=/ { print "set \"out=" ENVIRON["O"] "\"\r"; next }
    { print $0 "\r" }' "$HERE/../../packaging/convert.bat" > convert.bat
  "$1" cmd /c "$here\\convert.bat" 2> /dev/null | iconv -f UTF-16LE -t UTF-8 | tr -d '\r' > "$WORK/out.txt"
  check "batch recipe: the corrupt model named" [ "$(cat "$WORK/out.txt")" = "failed: $here\\models\\bad.qm" ]
  for name in "ведьма ü" "a b"; do
    check "batch recipe: $name converted" sh -c "sed 's/out/$name/' '$EXPECTED/demo.sha256' | (cd export && sha256sum -c)"
  done
  check "batch recipe: no answers file left" [ -z "$(ls "$WINEPREFIX"/drive_c/users/*/Temp/ | grep qmextract-answers)" ]

  # Typed into a console window: Wine gives a program in a pseudo-terminal a
  # console, read as wide characters, so a name outside the console's code page (437) can be typed.
  if command -v script > /dev/null 2>&1; then
    fresh; mkdir модели; cp demo.qm модели/; mkfifo "$WORK/keys"
    script -qc "$CMD" /dev/null < "$WORK/keys" > "$WORK/raw.txt" 2>&1 &
    exec 3> "$WORK/keys"
    type_after() {  # TEXT KEYS: types KEYS once TEXT is on the screen
      n=0
      while ! grep -q "$1" "$WORK/raw.txt" && [ $n -lt 300 ]; do sleep 0.1; n=$((n + 1)); done
      printf "$2" >&3
    }
    type_after 'model path:' 'модели\\demo.qm\r'
    type_after 'Save file path:' 'модели\\out\r'
    type_after 'Press Enter' '\r'
    exec 3>&-
    wait
    check "typed into a console: completion line" grep -q 'Save has been done successfully.' "$WORK/raw.txt"
    check "typed into a console: OBJ and BMP bytes" outputs_in модели
  fi
fi

echo "smoke: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
