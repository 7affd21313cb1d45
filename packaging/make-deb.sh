#!/bin/sh
# Builds the Debian package from a built tree: make-deb.sh BUILD writes
# BUILD/qmextract_<version>_<arch>.deb.
#
# BUILD must be configured with CMAKE_INSTALL_PREFIX=/usr (make package-build does
# so, with dpkg-buildflags' flags). The package holds what the build's install rules
# put down, in Debian's form: every program in /usr/bin stripped (unless
# DEB_BUILD_OPTIONS holds nostrip), every man page and the README compressed, LICENSE
# as a machine-readable copyright file and CHANGELOG.md as a Debian changelog. The
# dependencies are found by dpkg-shlibdeps. Every file is dated SOURCE_DATE_EPOCH
# (source-date-epoch.sh) and owned by root, so the same sources and tools give the
# same .deb, byte for byte.
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
SOURCE_DATE_EPOCH=$("$ROOT/packaging/source-date-epoch.sh")
export SOURCE_DATE_EPOCH  # dpkg-deb dates the archive's members with it
arch=$(dpkg --print-architecture)
maintainer=$(sed -n 's/^Maintainer: //p' "$ROOT/packaging/control.in")

# The package's tree, where dpkg-shlibdeps expects it: debian/<package>/ beside a debian/control.
work=$BUILD/deb
stage=$work/debian/qmextract
rm -rf "$work" "$BUILD"/qmextract_*.deb
DESTDIR=$stage cmake --install "$BUILD" > /dev/null
doc=$stage/usr/share/doc/qmextract
programs=$(cd "$stage" && find usr/bin -type f | LC_ALL=C sort)  # names without blanks
[ -n "$programs" ] || fail "the install rules put no program into /usr/bin"

# As dh_strip and dh_compress would leave them.
case " ${DEB_BUILD_OPTIONS:-} " in
  *" nostrip "*) ;;
  *) for p in $programs; do
       strip --remove-section=.comment --remove-section=.note --strip-unneeded "$stage/$p"
     done ;;
esac
find "$stage/usr/share/man" -type f -name '*.[0-9]*' ! -name '*.gz' -exec gzip -9n {} +
gzip -9n "$doc/README.md"
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

mkdir "$stage/DEBIAN"  # also what tells dpkg-shlibdeps that the tree is a package's
# Modes as dpkg expects them, whatever the umask.
find "$stage" -type d -exec chmod 0755 {} +
find "$stage" -type f -exec chmod 0644 {} +
for p in $programs; do chmod 0755 "$stage/$p"; done

printf 'Source: qmextract\n\nPackage: qmextract\nArchitecture: any\n' > "$work/debian/control"
set --
for p in $programs; do set -- "$@" "debian/qmextract/$p"; done
depends=$(cd "$work" && dpkg-shlibdeps -O "$@" | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || fail "dpkg-shlibdeps found no dependencies"
# Installed-Size as dpkg-gencontrol counts it: KiB per file, rounded up, and 1 per
# folder, from the sizes of the files alone (du would count the file system's blocks).
size=$(cd "$stage" && find usr -printf '%y %s\n' |
  awk '$1 == "f" { kib += int(($2 + 1023) / 1024); next } { kib += 1 } END { print kib }')

sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@SIZE@/$size/" -e "s/@DEPENDS@/$depends/" \
  "$ROOT/packaging/control.in" > "$stage/DEBIAN/control"
(cd "$stage" && find usr -type f | LC_ALL=C sort | xargs md5sum) > "$stage/DEBIAN/md5sums"
chmod 0644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
find "$stage" -exec touch --no-dereference --date="@$SOURCE_DATE_EPOCH" {} +
dpkg-deb --root-owner-group -Zxz --build "$stage" "$BUILD/qmextract_${version}_$arch.deb"
