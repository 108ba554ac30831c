#!/usr/bin/python3
"""Two clean builds of the DLL alone, one after the other in the same
folder, must give the same bytes: the DLL and the symbols file it names.

    check_reproducible.py CMAKE SOURCE_DIR TOOLCHAIN BUILD_TYPE SCRATCH

The folder is the same for both because the DLL keeps its own build path.
"""
import hashlib
import pathlib
import shutil
import subprocess
import sys

FILES = ("module/Quorvat.dll", "module/Quorvat.dll.debug")


def build(cmake, source, toolchain, build_type, scratch):
    shutil.rmtree(scratch, ignore_errors=True)
    steps = ([cmake, "-S", source, "-B", str(scratch), "-G", "Ninja",
              f"-DCMAKE_TOOLCHAIN_FILE={toolchain}", f"-DCMAKE_BUILD_TYPE={build_type}",
              "-DQUORVAT_TESTS=OFF"],
             [cmake, "--build", str(scratch), "--target", "Quorvat"])
    for step in steps:
        done = subprocess.run(step, capture_output=True, text=True)
        if done.returncode != 0:
            sys.exit(f"{' '.join(step)} failed (exit {done.returncode}):\n"
                     f"{done.stdout[-3000:]}{done.stderr[-3000:]}")
    return {name: (scratch / name).read_bytes() for name in FILES}


def main(argv):
    cmake, source, toolchain, build_type, scratch = argv[1:6]
    scratch = pathlib.Path(scratch)
    first = build(cmake, source, toolchain, build_type, scratch)
    second = build(cmake, source, toolchain, build_type, scratch)
    shutil.rmtree(scratch, ignore_errors=True)
    failed = False
    for name in FILES:
        a, b = first[name], second[name]
        if a == b:
            print(f"{name}: {len(a)} bytes, sha256 {hashlib.sha256(a).hexdigest()} both times")
            continue
        failed = True
        offset = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
        print(f"FAILED: {name} differs between two clean builds from byte {offset:#x} on: "
              f"sha256 {hashlib.sha256(a).hexdigest()} ({len(a)} bytes) and "
              f"{hashlib.sha256(b).hexdigest()} ({len(b)} bytes)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
