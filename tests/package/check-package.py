#!/usr/bin/env python3
# Makes the package into WORK as `cpack --preset win32` makes it and checks
# what a player unpacks: exactly the DLL, the settings file and the text, the
# DLL the very file the build made, both texts with Windows line ends
# throughout.
#   check-package.py CPACK CPACK_CONFIG WORK VERSION DLL
import pathlib
import shutil
import subprocess
import sys
import zipfile


def main():
    cpack, config, work, version, dll = sys.argv[1:6]
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
    print(f"{package}: {', '.join(names)}")


main()
