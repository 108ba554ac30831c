#!/usr/bin/env python3
# Requires the DLL's version resource, the one Windows shows in the file's
# properties, to carry the given version in both its numeric and its text
# form, with the product name Quorvat.
#   check-version-resource.py DLL MAJOR.MINOR.PATCH
import sys

import pefile


def main():
    dll, version = sys.argv[1], sys.argv[2]
    pe = pefile.PE(dll)
    if not getattr(pe, "VS_FIXEDFILEINFO", None):
        sys.exit(f"{dll}: no version resource")
    major, minor, patch = (int(part) for part in version.split("."))
    fixed = pe.VS_FIXEDFILEINFO[0]
    want = ((major << 16) | minor, patch << 16)
    problems = []
    for what, got in (("file", (fixed.FileVersionMS, fixed.FileVersionLS)),
                      ("product", (fixed.ProductVersionMS, fixed.ProductVersionLS))):
        if got != want:
            problems.append(f"{what} version {got[0] >> 16}.{got[0] & 0xFFFF}."
                            f"{got[1] >> 16}.{got[1] & 0xFFFF}, expected {version}.0")
    strings = {}
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    for key, value in (("FileVersion", version), ("ProductVersion", version),
                       ("ProductName", "Quorvat")):
        if strings.get(key) != value:
            problems.append(f"{key} {strings.get(key)!r}, expected {value!r}")
    if problems:
        sys.exit(f"{dll}: " + "; ".join(problems))
    print(f"{dll}: version {version}, {strings.get('FileDescription', '')}")


main()
