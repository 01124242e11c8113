#!/usr/bin/env python3
"""Writes a zip archive whose bytes depend only on the files' names and contents and on one given
time: entries sorted by name, every entry stamped with that time, the same permissions, no extra
fields, no comment, deflated at level 9.

Usage: reproducible_zip.py OUT.zip UNIX_TIME NAME=PATH ...
"""
import sys
import time
import zipfile


def main(argv):
    if len(argv) < 4:
        sys.stderr.write("reproducible_zip: usage: OUT.zip UNIX_TIME NAME=PATH ...\n")
        return 2
    out, stamp, pairs = argv[1], argv[2], argv[3:]
    try:
        when = time.gmtime(int(stamp))
    except ValueError:
        sys.stderr.write("reproducible_zip: the time must be whole seconds since 1970, not '%s'\n" % stamp)
        return 2
    # The format's clock starts in 1980 and keeps even seconds.
    date_time = (max(when.tm_year, 1980),) + tuple(when[1:5]) + (when.tm_sec // 2 * 2,)
    entries = {}
    for pair in pairs:
        name, sep, path = pair.partition("=")
        if not sep or not name or not path:
            sys.stderr.write("reproducible_zip: '%s' is not NAME=PATH\n" % pair)
            return 2
        if name in entries:
            sys.stderr.write("reproducible_zip: '%s' is named twice\n" % name)
            return 2
        entries[name] = path
    with zipfile.ZipFile(out, "w") as archive:
        for name in sorted(entries):
            try:
                with open(entries[name], "rb") as f:
                    data = f.read()
            except OSError as e:
                sys.stderr.write("reproducible_zip: %s: %s\n" % (entries[name], e.strerror))
                return 1
            info = zipfile.ZipInfo(name, date_time)
            info.create_system = 0          # MS-DOS: what a Windows user's tools expect
            info.external_attr = 0x20       # the archive attribute, nothing else
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
