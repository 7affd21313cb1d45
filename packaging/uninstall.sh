#!/bin/sh
# Removes what `make install` put down: uninstall.sh MANIFEST removes every file
# that CMake listed in MANIFEST (install_manifest.txt), then the tool's own doc
# folder and its subfolders where they are left empty. Shared folders (bin,
# man1, ...) stay.
set -eu
manifest=$1
[ -f "$manifest" ] || { echo "uninstall: no $manifest, so nothing was installed from this build" >&2; exit 1; }
while IFS= read -r f || [ -n "$f" ]; do  # the last line has no line end
  if [ -e "$f" ] || [ -L "$f" ]; then
    rm -f "$f"
    echo "removed $f"
  fi
done < "$manifest"
sed -n 's|^\(.*/doc/qmextract\)/.*|\1|p' "$manifest" | sort -u | while IFS= read -r doc; do
  if [ -d "$doc" ]; then find "$doc" -depth -type d -empty -delete; fi
done
