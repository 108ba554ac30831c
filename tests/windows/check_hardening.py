#!/usr/bin/python3
"""The shipped DLL read as a binary scanner reads it: one rule a line, each
named for what it protects, `ok` or `FAILED` with what breaks it.

    check_hardening.py OBJDUMP DLL SYMBOLS

SYMBOLS is the DLL's symbols file (Quorvat.dll.debug): the DLL is stripped,
and the file names the functions and the stack guard. OBJDUMP is binutils'
for the DLL's target. What the DLL imports from the system is checked
against its allow-list by check_imports.py (windows_imports).

Exit status: 0 every rule holds, 1 some rule fails.
"""
import bisect
import re
import subprocess
import sys

import pefile

DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
NO_SEH = 0x0400
RELOCS_STRIPPED = 0x0001
SCN_CODE = 0x00000020
SCN_SHARED = 0x10000000
SCN_EXECUTE = 0x20000000
SCN_WRITE = 0x80000000

# Runtime code of mingw-w64 (tlssup.c): it runs the thread-local
# initialisers and destructors, and nothing of the module's.
RUNTIME_TLS_CALLBACKS = {"___dyn_tls_init@12", "___dyn_tls_dtor@12"}
GUARD = "___stack_chk_guard"
FAIL = "___stack_chk_fail"
# What the compiler's stack-protector library brings: its guard from the
# crypto provider, its report through a file descriptor.
SSP_IMPORTS = {"CryptAcquireContextA", "CryptGenRandom", "CryptReleaseContext", "_open",
               "_write", "_exit"}
# Functions of that library that the module has no use for.
SSP_FUNCTIONS = {"___chk_fail", "___stack_chk_fail_local"}

SYMBOL = re.compile(r"^\[\s*\d+\]\(sec\s+(-?\d+)\)\(fl \w+\)\(ty\s+(\w+)\)\(scl\s+\d+\) "
                    r"\(nx \d\) 0x([0-9a-f]+) (.+)$")
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\s+(\S+)\s*(.*)$")
# The head of the thread's exception handler chain, as the disassembly
# writes it.
CHAIN_HEAD = {"%fs:0x0", "%fs:0"}
# Instructions that only read their last operand.
READ_ONLY = re.compile(r"^(cmp(?!xchg)\w*|test\w*|btw?l?|push\w*|u?comis[sd]|prefetch\w*)$")
# Instructions that write every memory operand they have.
WRITE_BOTH = re.compile(r"^(xchg|xadd|cmpxchg)\w*$")


class Image:
    def __init__(self, objdump, dll, symbols):
        self.objdump = objdump
        self.pe = pefile.PE(dll)
        self.dll = dll
        self.base = self.pe.OPTIONAL_HEADER.ImageBase
        self.functions, self.names = self.read_symbols(symbols)
        self.starts = [address for address, _ in self.functions]

    def read_symbols(self, path):
        """Functions (address, name) sorted, and every named symbol's
        address."""
        headers = pefile.PE(path, fast_load=True).sections
        listing = subprocess.run([self.objdump, "-t", path], capture_output=True, text=True,
                                 check=True).stdout
        functions, names = [], {}
        for line in listing.splitlines():
            match = SYMBOL.match(line)
            if not match:
                continue
            section, kind, value, name = match.groups()
            section = int(section)
            if section < 1 or section > len(headers):
                continue
            address = self.base + headers[section - 1].VirtualAddress + int(value, 16)
            names[name] = address
            if kind == "20":
                functions.append((address, name))
        return sorted(functions), names

    def function_at(self, address):
        at = bisect.bisect_right(self.starts, address) - 1
        return self.functions[at][1] if at >= 0 else "?"

    def section_name(self, section):
        return section.Name.rstrip(b"\0").decode("latin-1")

    def section_of(self, rva):
        for section in self.pe.sections:
            if section.VirtualAddress <= rva < section.VirtualAddress + max(
                    section.Misc_VirtualSize, section.SizeOfRawData):
                return section
        return None

    def executable(self):
        return [s for s in self.pe.sections if s.Characteristics & SCN_EXECUTE]

    def instructions(self):
        """(address, mnemonic, operands) of every executable section."""
        for section in self.executable():
            listing = subprocess.run(
                [self.objdump, "-D", "--no-show-raw-insn", "-j", self.section_name(section),
                 self.dll], capture_output=True, text=True, check=True).stdout
            for line in listing.splitlines():
                match = INSTRUCTION.match(line)
                if match:
                    yield int(match.group(1), 16), match.group(2), split_operands(match.group(3))


def split_operands(text):
    text = text.split("#")[0].split("<")[0].strip()
    operands, depth, current = [], 0, ""
    for c in text:
        if c == "," and depth == 0:
            operands.append(current.strip())
            current = ""
            continue
        depth += {"(": 1, ")": -1}.get(c, 0)
        current += c
    if current.strip():
        operands.append(current.strip())
    return operands


def written(mnemonic, operands):
    """The operands an instruction stores to."""
    if WRITE_BOTH.match(mnemonic):
        return operands
    if not operands or READ_ONLY.match(mnemonic):
        return []
    return operands[-1:]


def rule_aslr(image):
    flags = image.pe.OPTIONAL_HEADER.DllCharacteristics
    relocations = image.pe.OPTIONAL_HEADER.DATA_DIRECTORY[5].Size
    if not flags & DYNAMIC_BASE:
        return "DYNAMIC_BASE is not set: the image is always mapped at its preferred address"
    if not relocations or image.pe.FILE_HEADER.Characteristics & RELOCS_STRIPPED:
        return "no relocation table: the loader cannot move the image"
    return None, f"DYNAMIC_BASE, {relocations} bytes of relocations"


def rule_dep(image):
    if not image.pe.OPTIONAL_HEADER.DllCharacteristics & NX_COMPAT:
        return "NX_COMPAT is not set"
    return None, "NX_COMPAT"


def rule_exception_handlers(image):
    if image.pe.OPTIONAL_HEADER.DllCharacteristics & NO_SEH:
        return None, "NO_SEH"
    config = getattr(image.pe, "DIRECTORY_ENTRY_LOAD_CONFIG", None)
    count = getattr(config.struct, "SEHandlerCount", 0) if config else 0
    if count:
        return None, f"a load-config table of {count} handlers"
    return ("neither NO_SEH nor a handler table: Windows takes any address in the image as a "
            "handler")


def rule_handler_chain(image):
    """NO_SEH is honest only if the code never writes the chain's head,
    %fs:0, as a function registering a handler does on entry."""
    found = []
    for address, mnemonic, operands in image.instructions():
        for operand in written(mnemonic, operands):
            if operand in CHAIN_HEAD:
                found.append(f"{image.function_at(address)} at {address:#x}: "
                             f"{mnemonic} {','.join(operands)}")
    if found:
        return "stores to the exception handler chain's head: " + "; ".join(found)
    return None, "no store to %fs:0 in " + ", ".join(
        image.section_name(s) for s in image.executable())


def sections_with(image, flags):
    return [image.section_name(s) for s in image.pe.sections
            if s.Characteristics & flags == flags]


def rule_no_writable_code(image):
    both = sections_with(image, SCN_WRITE | SCN_EXECUTE)
    if both:
        return "writable and executable: " + ", ".join(both)
    return None, "no section both writable and executable"


def rule_no_shared_writable(image):
    shared = sections_with(image, SCN_WRITE | SCN_SHARED)
    if shared:
        return "shared between processes and writable: " + ", ".join(shared)
    return None, "no shared writable section"


def rule_imports_not_executable(image):
    bad = []
    for index, what in ((1, "import table"), (12, "import address table")):
        rva = image.pe.OPTIONAL_HEADER.DATA_DIRECTORY[index].VirtualAddress
        section = image.section_of(rva) if rva else None
        if section is not None and section.Characteristics & SCN_EXECUTE:
            bad.append(f"the {what} is in {image.section_name(section)}, which is executable")
    if bad:
        return "; ".join(bad)
    return None, "import tables in " + image.section_name(
        image.section_of(image.pe.OPTIONAL_HEADER.DATA_DIRECTORY[1].VirtualAddress))


def rule_stack_cookies(image):
    guard, fail = image.names.get(GUARD), image.names.get(FAIL)
    if guard is None or fail is None:
        return f"no {GUARD} and {FAIL} in the module"
    readers, checkers = set(), set()
    guard_operand = f"{guard:#x}"
    for address, mnemonic, operands in image.instructions():
        if any(guard_operand in operand for operand in operands):
            readers.add(image.function_at(address))
        if mnemonic.startswith("call") and operands in ([f"{fail:#x}"], [f"{fail:x}"]):
            checkers.add(image.function_at(address))
    protected = readers & checkers
    if not protected:
        return "no function compares the stack guard and calls the failure routine"
    return None, f"{len(protected)} functions check the stack guard"


def rule_no_stack_protector_library(image):
    bad = []
    for entry in getattr(image.pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode("latin-1")
        for symbol in entry.imports:
            name = symbol.name.decode("latin-1") if symbol.name else ""
            if name in SSP_IMPORTS or name.startswith("Crypt") or dll.lower() == "advapi32.dll":
                bad.append(f"imports {name or symbol.ordinal} from {dll}")
    bad += [f"links {name}" for name in sorted(SSP_FUNCTIONS & image.names.keys())]
    if bad:
        return "the compiler's stack-protector library is in: " + "; ".join(bad)
    return None, "guard and failure routine of the module's own, no crypto or file imports"


def rule_entry_point(image):
    rva = image.pe.OPTIONAL_HEADER.AddressOfEntryPoint
    section = image.section_of(rva)
    name = image.function_at(image.base + rva)
    if section is None or image.section_name(section) != ".text" or not (
            section.Characteristics & SCN_CODE and section.Characteristics & SCN_EXECUTE):
        where = image.section_name(section) if section else "no section"
        return f"the entry point {name} ({rva:#x}) lies in {where}, not the code section"
    return None, f"{name} in .text"


def rule_tls_callbacks(image):
    tls = getattr(image.pe, "DIRECTORY_ENTRY_TLS", None)
    if tls is None:
        return None, "no TLS directory"
    callbacks, at = [], tls.struct.AddressOfCallBacks
    while at:
        address = image.pe.get_dword_at_rva(at - image.base)
        if not address:
            break
        callbacks.append(image.function_at(address))
        at += 4
    foreign = [name for name in callbacks if name not in RUNTIME_TLS_CALLBACKS]
    if foreign:
        return "callbacks not of the runtime run before the entry point: " + ", ".join(foreign)
    return None, "the runtime's own: " + ", ".join(callbacks)


RULES = [
    ("aslr", rule_aslr),
    ("dep", rule_dep),
    ("exception-handlers", rule_exception_handlers),
    ("handler-chain-untouched", rule_handler_chain),
    ("no-writable-code", rule_no_writable_code),
    ("no-shared-writable-data", rule_no_shared_writable),
    ("imports-not-executable", rule_imports_not_executable),
    ("stack-cookies", rule_stack_cookies),
    ("no-stack-protector-library", rule_no_stack_protector_library),
    ("entry-point-in-code", rule_entry_point),
    ("tls-callbacks-runtime-only", rule_tls_callbacks),
]


def main(argv):
    if len(argv) != 4:
        print(__doc__.split("\n\n")[1].strip(), file=sys.stderr)
        return 2
    image = Image(*argv[1:4])
    failed = 0
    for name, rule in RULES:
        result = rule(image)
        if isinstance(result, tuple):
            print(f"ok      {name}: {result[1]}")
        else:
            print(f"FAILED  {name}: {result}")
            failed += 1
    print(f"{len(RULES) - failed} of {len(RULES)} rules hold for {image.dll}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
