#!/bin/sh
# Builds the Debian package from a built tree: make-deb.sh BUILD writes
# BUILD/qmextract_<version>_<arch>.deb.
#
# BUILD must be configured with CMAKE_INSTALL_PREFIX=/usr (make package-build does
# so, with dpkg-buildflags' hardening flags). The package holds what the build's
# install rules put down, in Debian's form: the binary stripped, the man page and
# README compressed, LICENSE as a machine-readable copyright file and CHANGELOG.md
# as a Debian changelog. The dependencies are found by dpkg-shlibdeps.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "$1" && pwd)
fail() { echo "package: $*" >&2; exit 1; }

cache=$BUILD/CMakeCache.txt
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$cache")
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$cache")
[ -n "$version" ] || fail "no project version in $cache"
[ "$prefix" = /usr ] || fail "$BUILD is configured for $prefix, not /usr"
newest=$(sed -n 's/^## \([^ ]*\) .*/\1/p' "$ROOT/CHANGELOG.md" | head -n 1)
[ "$newest" = "$version" ] || fail "the newest entry of CHANGELOG.md is $newest, not $version"
arch=$(dpkg --print-architecture)
maintainer=$(sed -n 's/^Maintainer: //p' "$ROOT/packaging/control.in")

stage=$BUILD/deb
rm -rf "$stage" "$BUILD"/qmextract_*.deb
DESTDIR=$stage cmake --install "$BUILD" > /dev/null
doc=$stage/usr/share/doc/qmextract

# As dh_strip and dh_compress would leave them.
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$stage/usr/bin/qmextract"
gzip -9n "$stage/usr/share/man/man1/qmextract.1" "$doc/README.md"
rm "$doc/LICENSE" "$doc/CHANGELOG.md"

# copyright: LICENSE in the machine-readable format (MIT is "Expat" there).
{
  echo "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
  echo "Upstream-Name: qmextract"
  echo "Upstream-Contact: $maintainer"
  echo
  echo "Files: *"
  sed -n 's/^Copyright (c) /Copyright: /p' "$ROOT/LICENSE" | head -n 1
  echo "License: Expat"
  sed -n '/^Permission/,$p' "$ROOT/LICENSE" | sed 's/^$/./; s/^/ /'
} > "$doc/copyright"

# changelog.gz: each "## <version> (<date>)" entry of CHANGELOG.md as a Debian
# changelog entry, its "- " items as "* " items, dated at noon UTC.
awk -v who="$maintainer" '
  function trailer() { if (open) print "\n -- " who "  " stamp }
  /^## / {
    trailer()
    if (open) print ""
    day = $3; gsub(/[()]/, "", day)
    cmd = "date -u -R -d \"" day " 12:00\""; cmd | getline stamp; close(cmd)
    print "qmextract (" $2 ") unstable; urgency=medium\n"
    open = 1; next
  }
  !open || /^$/ { next }
  { gsub(/`/, "") }
  /^- / { print "  * " substr($0, 3); next }
  /^  / { print "    " substr($0, 3); next }
  { print "  " $0 }
  END { trailer() }
' "$ROOT/CHANGELOG.md" | gzip -9n > "$doc/changelog.gz"

# Modes as dpkg expects them, whatever the umask.
find "$stage" -type d -exec chmod 0755 {} +
find "$stage" -type f -exec chmod 0644 {} +
chmod 0755 "$stage/usr/bin/qmextract"

# dpkg-shlibdeps wants to run beside a debian/control.
shlib=$BUILD/deb-shlibdeps
rm -rf "$shlib" && mkdir -p "$shlib/debian" && : > "$shlib/debian/control"
depends=$(cd "$shlib" && dpkg-shlibdeps -O "$stage/usr/bin/qmextract" | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || fail "dpkg-shlibdeps found no dependencies"
size=$(du -sk "$stage/usr" | cut -f 1)

mkdir "$stage/DEBIAN"
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@SIZE@/$size/" -e "s/@DEPENDS@/$depends/" \
  "$ROOT/packaging/control.in" > "$stage/DEBIAN/control"
(cd "$stage" && find usr -type f | LC_ALL=C sort | xargs md5sum) > "$stage/DEBIAN/md5sums"
chmod 0644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
dpkg-deb --root-owner-group --build "$stage" "$BUILD/qmextract_${version}_$arch.deb"
