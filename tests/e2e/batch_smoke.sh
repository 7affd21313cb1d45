#!/bin/sh
# Runs the real qmbatch on folders as a user would: batch_smoke.sh COMMAND...
# (build/qmbatch, or wine build-windows/qmbatch.exe, which adds the Windows cases).
# Output is compared without CR; OBJ and BMP bytes must be the sample's on every platform.
. "$(dirname "$0")/common.sh"

batch() {  # ARGS...: one run in $WORK/run; $rc its status, out.txt and err.txt its output without CR
  rc=0
  (cd "$WORK/run" && eval "$CMD" '"$@"') > "$WORK/raw.txt" 2> "$WORK/err.txt" || rc=$?
  tr -d '\r' < "$WORK/raw.txt" > "$WORK/out.txt"
}
sample_in() {  # FOLDER NAME: FOLDER holds NAME.obj and NAME_tex0-2.bmp with the sample's bytes
  sed "s/out/$2/" "$EXPECTED/demo.sha256" | (cd "$1" && sha256sum -c)
}
lines() {  # the result lines and the summary's head, as one text
  sed -n 's/^\(ok\|FAILED\) \([^ ]*\).*/\1 \2/p; s/^\([0-9]* models: [^;]*\);.*/\1/p' "$WORK/out.txt"
}
expect_lines() { [ "$(lines)" = "$1" ]; }

# A folder as a modder has it: a name with a blank, one beyond ASCII, a corrupt model.
rm -rf "$WORK/run" && mkdir -p "$WORK/run/models/sub" && cd "$WORK/run"
cp "$SAMPLE" "models/a b.qm"; cp "$SAMPLE" "models/sub/ведьма.QM"
head -c 2400 "$SAMPLE" > models/bad.qm
sep=/; [ "$WINDOWS" -eq 1 ] && sep='\'
batch models
check "folder: status 1" [ "$rc" -eq 1 ]
check "folder: a line per model, in order, and the summary" expect_lines "ok models${sep}a
FAILED models${sep}bad.qm
ok models${sep}sub${sep}ведьма.QM
3 models: 2 converted, 1 failed, 0 with nothing found"
check "folder: the corrupt model's reason, indented" grep -q '^    Error: could not write models.bad_tex2.bmp: texture N3 has pixel data past the end of the model file$' "$WORK/out.txt"
check "folder: outputs beside a name with a blank" sample_in models "a b"
check "folder: outputs beside a name beyond ASCII" sample_in models/sub "ведьма"
check "folder: nothing on standard error" [ ! -s "$WORK/err.txt" ]

batch -j 2 -o "export" models
check "-o: status 1" [ "$rc" -eq 1 ]
check "-o: the tree mirrored" sample_in export/sub "ведьма"
check "-o: the same bytes as beside" cmp export/bad.obj models/bad.obj

batch nothere
check "usage error: status 2" [ "$rc" -eq 2 ]
check "usage error: one line on standard error" [ "$(tr -d '\r' < "$WORK/err.txt")" = "qmbatch: no such file or folder: nothere" ]
batch --version
check "--version" grep -qx 'qmbatch [0-9]*\.[0-9]*\.[0-9]*' "$WORK/out.txt"

# Ctrl-C: the models in flight finish, no temporary or cut file is left, the
# summary so far is printed, and the status is 130.
if [ "$WINDOWS" -eq 0 ]; then
  rm -rf "$WORK/run" && mkdir -p "$WORK/run/many" && cd "$WORK/run"
  cp "$SAMPLE" many/0.qm
  seq 1 2999 | (cd many && xargs -I{} ln 0.qm {}.qm)
  : > "$WORK/out.txt"
  # A script starts background commands with SIGINT ignored, which the program
  # keeps; env gives it back, as a terminal would. exec, so that the signal
  # goes to the program, not to a shell.
  (eval "exec env --default-signal=INT $CMD -j 2 many") > "$WORK/out.txt" 2> "$WORK/err.txt" &
  pid=$!
  n=0
  while [ ! -s "$WORK/out.txt" ] && [ $n -lt 300 ]; do sleep 0.01; n=$((n + 1)); done
  kill -INT $pid
  rc=0; wait $pid || rc=$?
  check "Ctrl-C: status 130" [ "$rc" -eq 130 ]
  check "Ctrl-C: the summary says so" grep -q '; interrupted, [0-9]* models* not started$' "$WORK/out.txt"
  check "Ctrl-C: no temporary file left" [ -z "$(find many -name '~qm*')" ]
  check "Ctrl-C: every OBJ written is whole" sh -c "for f in many/*.obj; do cmp -s \"\$f\" many/0.obj || exit 1; done"
  check "Ctrl-C: an OBJ for each model listed" [ "$(ls many/*.obj | wc -l)" -eq "$(grep -c '^ok ' "$WORK/out.txt")" ]

  # A reader that goes away (| head) ends the run as it ends Unix tools, with
  # no temporary file left.
  rm -f many/*.obj many/*.bmp
  (eval "$CMD -j 2 many"; echo $? > "$WORK/status") | head -n 1 > /dev/null
  check "closed pipe: ended by SIGPIPE" [ "$(cat "$WORK/status")" -eq 141 ]
  check "closed pipe: no temporary file left" [ -z "$(find many -name '~qm*')" ]
fi

if [ "$WINDOWS" -eq 1 ]; then
  # Arguments beyond the code page arrive whole: they are read as wide characters.
  rm -rf "$WORK/run" && mkdir -p "$WORK/run/модели" && cd "$WORK/run" && cp "$SAMPLE" "модели/демо.qm"
  batch модели
  check "Cyrillic argument: status 0" [ "$rc" -eq 0 ]
  check "Cyrillic argument: outputs" sample_in модели демо

  # Dropped onto the icon: Explorer starts it with the paths and a console window of
  # its own, which must stay until Enter (Wine gives a pseudo-terminal a console).
  if command -v script > /dev/null 2>&1; then
    rm -rf "$WORK/run" && mkdir -p "$WORK/run/drop" && cd "$WORK/run" && cp "$SAMPLE" "drop/hero.qm"
    drop="Z:$(pwd | tr / '\\')\\drop"
    mkfifo "$WORK/keys"
    script -qc "$CMD '$drop'" /dev/null < "$WORK/keys" > "$WORK/raw.txt" 2>&1 &
    exec 3> "$WORK/keys"
    n=0
    while ! grep -q 'Press Enter to exit' "$WORK/raw.txt" && [ $n -lt 300 ]; do sleep 0.1; n=$((n + 1)); done
    sleep 0.5
    check "dropped folder: waits for Enter" kill -0 $!
    printf '\r' >&3
    exec 3>&-
    wait
    check "dropped folder: converted beside itself" sample_in drop hero
    check "dropped folder: the summary shown" grep -q '1 models: 1 converted, 0 failed' "$WORK/raw.txt"
  fi
fi

echo "batch smoke: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
