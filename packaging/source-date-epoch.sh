#!/bin/sh
# Prints the time every release file is stamped with, as seconds since 1970
# (SOURCE_DATE_EPOCH): the environment's SOURCE_DATE_EPOCH where it is set, else
# noon UTC on the date of the newest entry of CHANGELOG.md ("## <version> (<date>)").
#
# That date is part of the sources, so the same sources give the same stamp whether
# they come from a clone or from the release tarball, which holds no .git (a commit
# time would need one); it is the release date the man page and the package's
# changelog show. Noon UTC is the same calendar day in nearly every time zone.
set -eu
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  echo "$SOURCE_DATE_EPOCH"
  exit 0
fi
changelog=$(cd "$(dirname "$0")/.." && pwd)/CHANGELOG.md
day=$(grep -m 1 '^## ' "$changelog" | sed -n 's/^## [^ ]* (\([0-9]\{4\}-[0-9]\{2\}-[0-9]\{2\}\)).*/\1/p')
[ -n "$day" ] || { echo "source-date-epoch: no entry of the form '## <version> (<yyyy-mm-dd>)' in $changelog" >&2; exit 1; }
date -u -d "$day 12:00:00" +%s
