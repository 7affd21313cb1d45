#!/bin/sh
# Compares two builds of the release files: compare-release.sh DIR1 DIR2 fails unless
# both folders hold the same files (make release's tarball, .deb, zip and SHA256SUMS)
# and each pair is identical, byte for byte (cmp). For a pair that differs it shows
# where: diffoscope's report where diffoscope is installed, else the first differing
# offsets.
set -eu
a=$1
b=$2
names_a=$(cd "$a" && LC_ALL=C ls)
names_b=$(cd "$b" && LC_ALL=C ls)
if [ "$names_a" != "$names_b" ]; then
  echo "compare: $a holds" $names_a "but $b holds" $names_b >&2
  exit 1
fi
[ -n "$names_a" ] || { echo "compare: $a is empty" >&2; exit 1; }
status=0
for f in $names_a; do
  if cmp "$a/$f" "$b/$f"; then
    echo "identical: $f ($(wc -c < "$a/$f") bytes, SHA-256 $(sha256sum < "$a/$f" | cut -c 1-16)...)"
    continue
  fi
  status=1
  if command -v diffoscope > /dev/null; then
    diffoscope "$a/$f" "$b/$f" || true
  else
    echo "first differing bytes (offset from 1, octal values in $a and $b):"
    cmp -l "$a/$f" "$b/$f" | head -n 20 || true
    echo "(apt-get install diffoscope shows what they are)"
  fi
done
exit $status
