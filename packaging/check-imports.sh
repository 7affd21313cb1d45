#!/bin/sh
# Fails when the .exe imports a DLL that Windows does not ship (a C++ runtime, libsquish, ...).
set -eu
dlls=$(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p')
echo "imports:" $dlls
[ -n "$dlls" ] || { echo "imports: none found in $1"; exit 1; }
other=$(echo "$dlls" | grep -viE '^(kernel32|msvcrt|ucrtbase|user32|advapi32|shell32|api-ms-win-.*)\.dll$' || true)
[ -z "$other" ] || { echo "imports: not a system DLL:" $other; exit 1; }
