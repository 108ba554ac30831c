#!/usr/bin/env python3
# Makes the package into WORK as `cpack --preset win32` makes it and checks
# what a player unpacks: exactly the DLL, the settings file and the text, the
# DLL the very file the build made, both texts plain ASCII with Windows line
# ends throughout, the settings file the one whose effect the shipped
# settings' scenario checks, the text naming its version and telling a
# player to attach the log. That DLL carries no debug sections and no
# symbol table, and names the symbols file beside it in the build (with its
# checksum), which the symbols' zip holds alone.
#   check-package.py CPACK CPACK_CONFIG WORK VERSION DLL SYMBOLS_ZIP SHIPPED_SCENARIO
import json
import pathlib
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib


def section_names(image):
    """The DLL's section names, the long ones read from the string table."""
    pe_offset = struct.unpack_from("<I", image, 0x3C)[0]
    count, symbols, symbol_count, optional = struct.unpack_from("<2xH4xIIH", image, pe_offset + 4)
    strings = symbols + 18 * symbol_count
    table = pe_offset + 24 + optional
    names = {}
    for i in range(count):
        header = table + 40 * i
        name = image[header:header + 8].rstrip(b"\0").decode("ascii")
        if name.startswith("/"):
            start = strings + int(name[1:])
            name = image[start:image.index(b"\0", start)].decode("ascii")
        size, offset = struct.unpack_from("<II", image, header + 16)
        names[name] = image[offset:offset + size]
    return names, symbol_count


def check_stripped(dll):
    image = pathlib.Path(dll).read_bytes()
    sections, symbol_count = section_names(image)
    debug = sorted(name for name in sections if name.startswith((".debug", ".zdebug")))
    if debug or symbol_count:
        sys.exit(f"{dll} is not stripped: {symbol_count} symbols, sections {debug}")
    link = sections.get(".gnu_debuglink", b"")
    name = link[:link.find(b"\0")].decode("ascii") if b"\0" in link else ""
    symbols = pathlib.Path(dll).with_name(name) if name else None
    if symbols is None or not symbols.is_file():
        sys.exit(f"{dll} names no symbols file beside it (.gnu_debuglink {link!r})")
    crc = struct.unpack_from("<I", link, (len(name) + 4) & ~3)[0]
    if crc != zlib.crc32(symbols.read_bytes()):
        sys.exit(f"{dll} names {symbols} with another checksum than the file's")
    return symbols


def check_symbols_zip(package, symbols):
    with zipfile.ZipFile(package) as archive:
        names = archive.namelist()
        if names != [symbols.name] or archive.read(symbols.name) != symbols.read_bytes():
            sys.exit(f"{package} holds {names}, expected {symbols} alone")


def main():
    cpack, config, work, version, dll, symbols_zip, scenario = sys.argv[1:8]
    check_symbols_zip(symbols_zip, check_stripped(dll))
    work = pathlib.Path(work)
    shutil.rmtree(work, ignore_errors=True)
    made = subprocess.run([cpack, "--config", config, "-B", str(work)],
                          capture_output=True, text=True)
    package = work / f"Quorvat-{version}-win32.zip"
    if made.returncode != 0 or not package.is_file():
        sys.exit(f"cpack made no {package} (exit {made.returncode}):\n{made.stdout}{made.stderr}")

    with zipfile.ZipFile(package) as archive:
        names = sorted(archive.namelist())
        expected = ["Quorvat-ReadMe.txt", "Quorvat.dll", "Quorvat.ini"]
        if names != expected:
            sys.exit(f"{package} holds {names}, expected {expected}")
        if archive.read("Quorvat.dll") != pathlib.Path(dll).read_bytes():
            sys.exit(f"the Quorvat.dll in {package} is not {dll}")
        for text in ("Quorvat.ini", "Quorvat-ReadMe.txt"):
            rest = archive.read(text).replace(b"\r\n", b"")
            if b"\r" in rest or b"\n" in rest:
                sys.exit(f"{text} in {package} has a line not ended by CR LF")
            if not archive.read(text).isascii():
                sys.exit(f"{text} in {package} is not plain ASCII")
        settings = json.loads(pathlib.Path(scenario).read_text())["settings"]
        if archive.read("Quorvat.ini") != settings.encode("ascii"):
            sys.exit(f"the Quorvat.ini in {package} is not the file {scenario} runs")
        readme = archive.read("Quorvat-ReadMe.txt").decode("ascii")
        if readme.split("\r\n", 1)[0] != f"Quorvat {version}" or "@" in readme:
            sys.exit(f"the Quorvat-ReadMe.txt in {package} doesn't name version {version}")
        if "IF SOMETHING DOESN'T WORK" not in readme or "attach Quorvat.log" not in readme:
            sys.exit(f"the Quorvat-ReadMe.txt in {package} doesn't say where the log is and "
                     "to attach it")
    print(f"{package}: {', '.join(names)}")


main()
