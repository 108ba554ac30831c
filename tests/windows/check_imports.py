#!/usr/bin/python3
"""What the shipped binaries import, and under which names the module asks
the host library for its functions.

    check_imports.py MAPPING MICROSOFT_HOST MODULE ALLOW_LIST FILE=DLL,DLL... [FILE=...]

- each FILE imports exactly the DLLs listed for it (the C and C++ runtimes
  are linked in), and never an XInput library;
- MODULE imports from the other DLLs exactly the functions of ALLOW_LIST
  (`DLL function` a line): nothing that was not added to it on purpose;
- MODULE imports nothing from ScriptHook.dll but names of MAPPING's right
  side: no g++ name;
- MAPPING's right side is exactly what MICROSOFT_HOST, built from the header
  by a compiler in Microsoft mode, exports for the header's classes: a
  function of the header missing from the mapping, or a name no such host
  exports, fails.
"""
import importlib.machinery
import importlib.util
import os
import re
import sys

HEADER_CLASSES = {"ScriptThread", "ScriptHookManager", "NativeInvoke"}
# A member's decorated name: `?Name@Class@@...`, or `??<code>Class@@...` for
# constructors, destructors, operators and the compiler's own.
MEMBER = re.compile(r"^\?(?:\?_?[0-9A-Z]|[A-Za-z_]\w*@)(\w+)@@")
# Exports the compiler makes for itself rather than for a declaration: the
# virtual table and the implicit assignment operators.
COMPILER_MADE = ("??_7", "??4")


def check_host_module():
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                        "check-host")
    loader = importlib.machinery.SourceFileLoader("check_host", path)
    module = importlib.util.module_from_spec(importlib.util.spec_from_loader("check_host", loader))
    loader.exec_module(module)
    return module


def mapped_names(path):
    names = {}
    with open(path, encoding="ascii") as mapping:
        for line in mapping:
            if "==" in line and not line.lstrip().startswith(";"):
                symbol, decorated = (part.strip() for part in line.split("=="))
                names[symbol] = decorated
    return names


def allowed_imports(path):
    allowed = set()
    with open(path, encoding="ascii") as listing:
        for line in listing:
            if line.strip() and not line.startswith("#"):
                dll, function = line.split()
                allowed.add((dll.lower(), function))
    return allowed


def system_imports(pe, host_dll):
    """What the module imports from DLLs other than ScriptHook.dll."""
    found = set()
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode("latin-1").lower()
        if dll == host_dll:
            continue
        for symbol in entry.imports:
            name = symbol.name.decode("latin-1") if symbol.name else f"#{symbol.ordinal}"
            found.add((dll, name))
    return found


def main(argv):
    if len(argv) < 5:
        print(__doc__.split("\n\n")[1].strip(), file=sys.stderr)
        return 2
    mapping_path, ms_host_path, module_path, allow_path = argv[1:5]
    checks = argv[5:]
    pe_tables = check_host_module()
    failures = []

    for check in checks:
        path, _, allowed = check.rpartition("=")
        pe = pe_tables.load(path)
        dlls = sorted({entry.dll.decode("latin-1").lower() for entry in pe.DIRECTORY_ENTRY_IMPORT})
        want = sorted(name.lower() for name in allowed.split(","))
        if dlls != want:
            failures.append(f"{path} imports {dlls}, expected {want}")
        # The pad's library is found at run time: with a static import the DLL
        # would not load at all where there is none.
        for dll in dlls:
            if dll.startswith("xinput"):
                failures.append(f"{path} imports {dll}; XInput must be found at run time")

    allowed = allowed_imports(allow_path)
    imported = system_imports(pe_tables.load(module_path), pe_tables.HOST_DLL)
    for dll, name in sorted(imported - allowed):
        failures.append(f"{module_path} imports {name} from {dll}, which {allow_path} "
                        "does not list")
    for dll, name in sorted(allowed - imported):
        failures.append(f"{module_path} no longer imports {name} from {dll}: "
                        f"take it off {allow_path}")

    decorated = set(mapped_names(mapping_path).values())
    for name in pe_tables.host_imports(pe_tables.load(module_path)):
        if name not in decorated:
            kind = "a g++ name" if name.startswith("_Z") else "a name not in the mapping"
            failures.append(f"{module_path} imports {name} from ScriptHook.dll: {kind}")

    header = {
        name
        for name in pe_tables.exports(pe_tables.load(ms_host_path))
        if (member := MEMBER.match(name)) and member.group(1) in HEADER_CLASSES
        and not name.startswith(COMPILER_MADE)
    }
    for name in sorted(header - decorated):
        failures.append(f"{name}, a function of the header, is missing from {mapping_path}")
    for name in sorted(decorated - header):
        failures.append(f"{name} of {mapping_path} is no export of the Microsoft-mode host")

    for failure in failures:
        print(f"FAILED: {failure}")
    if not failures:
        print(f"imports as expected; {len(header)} host functions mapped")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
