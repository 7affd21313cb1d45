#!/bin/sh
# Removes what the last `make install` of a build wrote: [DESTDIR=<folder>] uninstall.sh BUILD
#
# Reads BUILD/install-record.txt (written by install.sh) and removes every file listed
# there, then the folders that install created, where they are left empty. It removes
# nothing at all when DESTDIR is not the one that install used, when a listed file is
# not the one install wrote (its SHA-256 differs) or when a Debian package owns it.
set -eu
BUILD=${1%/}
record=$BUILD/install-record.txt
fail() { echo "uninstall: $*; nothing removed" >&2; exit 1; }
[ -f "$record" ] || fail "no make install of $BUILD/ is recorded ($record)"

destdir=${DESTDIR:-}
case $destdir in
  '' | /*) ;;
  *) destdir=$PWD/$destdir ;;
esac
destdir=${destdir%/}
recorded=$(sed -n 's/^# destdir //p' "$record")
[ "$recorded" = "$destdir" ] ||
  fail "the last make install of $BUILD/ went to DESTDIR=${recorded:-(none)}, not DESTDIR=${destdir:-(none)}"

# Every listed file that is still there must be the one install wrote.
grep -v '^#' "$record" | while IFS= read -r line; do
  sum=${line%% *}
  f=${line#*  }
  if [ -e "$f" ] || [ -L "$f" ]; then
    [ "$(sha256sum < "$f" 2>/dev/null | cut -d ' ' -f 1)" = "$sum" ] ||
      fail "$f is not the file make install wrote (changed or replaced since)"
    if [ -z "$destdir" ] && command -v dpkg-query > /dev/null; then
      owner=$(dpkg-query -S "$f" 2>/dev/null | sed -n 's/^\([^:]*\): \/.*/\1/p' | head -n 1)
      [ -z "$owner" ] || fail "$f belongs to the Debian package $owner"
    fi
  fi
done

grep -v '^#' "$record" | while IFS= read -r line; do
  f=${line#*  }
  if [ -e "$f" ] || [ -L "$f" ]; then
    rm -f "$f"
    echo "removed $f"
  fi
done
sed -n 's/^# folder //p' "$record" | while IFS= read -r d; do
  if [ -d "$d" ] && rmdir "$d" 2> /dev/null; then echo "removed $d/"; fi
done
rm -f "$record"
