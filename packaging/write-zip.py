#!/usr/bin/env python3
"""Writes a zip of a folder that depends only on the files' paths and bytes:
write-zip.py FOLDER OUT.zip

Every file below FOLDER is stored under its path relative to FOLDER (with forward
slashes), in byte order of those paths, deflated at level 9. Each entry carries the
same modification time, SOURCE_DATE_EPOCH from the environment written as a UTC
date and time, the same permissions (0644, 0755 for .exe and .dll files), no owner,
no extra fields (so no access or change times) and no comment. The time zone, the
umask, the owner and the files' own times of the machine that packs it do not show.
"""
import os
import stat
import sys
import time
import zipfile


def entry_time(epoch):
    """The zip's date and time fields: UTC, even seconds, within the years zip can hold."""
    year, month, day, hour, minute, second = time.gmtime(epoch)[:6]
    if year < 1980:
        return (1980, 1, 1, 0, 0, 0)
    if year > 2107:
        return (2107, 12, 31, 23, 59, 58)
    return (year, month, day, hour, minute, second - second % 2)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: write-zip.py FOLDER OUT.zip")
    folder, out = sys.argv[1], sys.argv[2]
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "")
    if not epoch.isdigit():
        sys.exit("write-zip: SOURCE_DATE_EPOCH is not set to a number of seconds")
    when = entry_time(int(epoch))

    paths = []
    for parent, dirs, files in os.walk(folder):
        for name in files:
            full = os.path.join(parent, name)
            if not stat.S_ISREG(os.lstat(full).st_mode):
                sys.exit(f"write-zip: {full} is not a regular file")
            paths.append(os.path.relpath(full, folder).replace(os.sep, "/"))
    if not paths:
        sys.exit(f"write-zip: no file in {folder}")
    paths.sort(key=lambda p: p.encode())

    with zipfile.ZipFile(out, "w") as archive:
        for path in paths:
            info = zipfile.ZipInfo(path, date_time=when)
            info.create_system = 3  # Unix, so that the permissions below are read
            mode = 0o755 if path.lower().endswith((".exe", ".dll")) else 0o644
            info.external_attr = (stat.S_IFREG | mode) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(folder, path), "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)


if __name__ == "__main__":
    main()
