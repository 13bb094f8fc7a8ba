#!/usr/bin/env python3
"""Checks on the shipped PE files of the i686 build, read with pefile (Debian's
python3-pefile).

  pecheck.py imports   <pe>...          static imports KnownDLLs only, delay imports system DLLs only
  pecheck.py hardening <pe>...          every hardening rule and the import rules, one line each
  pecheck.py manifest  <exe>...         an RT_MANIFEST resource is embedded
  pecheck.py no-entry  <dll>            AddressOfEntryPoint is 0
  pecheck.py size      <pe> <max-bytes> the file fits its budget
  pecheck.py exports   <dll> <names>    export names equal the list (one a line, # a comment)
  pecheck.py folder    <dir>            hardening of every PE, manifest of every .exe
  pecheck.py resources <pe>             lists the resources (for people)

A rule's line reads "<file>: <rule>: ok", "... FAIL <why>" or "... n/a <why>".
Exit code 0 when every check holds, 1 when one fails, 2 on a usage error.
"""
import argparse
import os
import struct
import sys

import pefile

# The DLLs Windows always maps from its system folder (the KnownDLLs list of
# Windows 10 and 11, plus ntdll and kernelbase, which the loader itself brings).
# A program's folder cannot hold a copy of these that would be loaded instead.
KNOWN_DLLS = {
    "advapi32", "clbcatq", "combase", "comdlg32", "coml2", "difxapi", "gdi32", "gdiplus", "imagehlp", "imm32",
    "kernel32", "kernelbase", "msctf", "msvcrt", "normaliz", "nsi", "ntdll", "ole32", "oleaut32", "psapi",
    "rpcrt4", "sechost", "setupapi", "shcore", "shell32", "shlwapi", "user32", "wldap32", "ws2_32",
}
# System DLLs outside that list that the programs may load on first use, from the
# system folder (common/delay_load.cpp).
SYSTEM_DLLS = KNOWN_DLLS | {
    "comctl32", "crypt32", "msftedit", "powrprof", "uxtheme", "version", "wininet", "wintrust",
}
# comctl32 version 6 is a side-by-side assembly: a program whose manifest depends on
# it gets the system's copy whatever lies beside it.
COMMON_CONTROLS = b'name="Microsoft.Windows.Common-Controls"'

RT_MANIFEST = 24
LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800
DEFAULT_COOKIE = {pefile.OPTIONAL_HEADER_MAGIC_PE: 0xBB40E64E, pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS: 0x00002B992DDFA232}
DIR_LOAD_CONFIG = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG"]
DIR_BASERELOC = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]
# Offset of DependentLoadFlags in the load configuration (winnt.h: Reserved1 before
# Windows 10's headers named it).
DEPENDENT_LOAD_FLAGS_AT = {pefile.OPTIONAL_HEADER_MAGIC_PE: 0x36, pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS: 0x4E}

DLL_CHARACTERISTICS = pefile.DLL_CHARACTERISTICS
SECTION = pefile.SECTION_CHARACTERISTICS


class Image:
    """One PE file and the facts the rules read from it."""

    def __init__(self, path):
        self.path = path
        self.pe = pefile.PE(path)
        self.pe.parse_data_directories()
        opt = self.pe.OPTIONAL_HEADER
        self.magic = opt.Magic
        self.is_dll = bool(self.pe.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_DLL"])
        self.is_i386 = self.pe.FILE_HEADER.Machine == pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]
        exports = getattr(self.pe, "DIRECTORY_ENTRY_EXPORT", None)
        # A resource-only library (battery.dll) is mapped as data: nothing of it runs.
        self.runs_code = opt.AddressOfEntryPoint != 0 or bool(exports and exports.symbols)

    def dll_flag(self, name):
        return bool(self.pe.OPTIONAL_HEADER.DllCharacteristics & DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_" + name])

    def static_imports(self):
        return [entry.dll.decode("ascii", "replace") for entry in getattr(self.pe, "DIRECTORY_ENTRY_IMPORT", [])]

    def delay_imports(self):
        return [entry.dll.decode("ascii", "replace") for entry in getattr(self.pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]

    def manifests(self):
        found = []
        for rtype in resource_types(self.pe):
            if rtype.id != RT_MANIFEST:
                continue
            for name in rtype.directory.entries:
                for lang in name.directory.entries:
                    found.append((name.id, self.pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)))
        return found

    def load_config(self):
        """(directory size, structure bytes) or None."""
        entry = self.pe.OPTIONAL_HEADER.DATA_DIRECTORY[DIR_LOAD_CONFIG]
        if entry.VirtualAddress == 0 or entry.Size == 0:
            return None
        size_field = struct.unpack("<I", self.pe.get_data(entry.VirtualAddress, 4))[0]
        return entry.Size, self.pe.get_data(entry.VirtualAddress, max(size_field, 4))

    def section_of(self, rva):
        for section in self.pe.sections:
            if section.VirtualAddress <= rva < section.VirtualAddress + max(section.Misc_VirtualSize, 1):
                return section
        return None


def resource_types(pe):
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    return root.entries if root else []


def resource_label(entry):
    return entry.name.string.decode("utf-16-le") if entry.name else entry.id


def section_name(section):
    return section.Name.rstrip(b"\0").decode("latin-1")


def base(name):
    return os.path.splitext(name.lower())[0]


# --------------------------------------------------------------------------
# Rules: each takes an Image and returns (state, detail), state "ok", "FAIL", "n/a".

def rule_static_imports(image):
    common_controls = any(COMMON_CONTROLS in data for _, data in image.manifests())
    allowed = KNOWN_DLLS | ({"comctl32"} if common_controls else set())
    dlls = image.static_imports()
    bad = [d for d in dlls if base(d) not in allowed]
    if bad:
        return "FAIL", "imports DLLs outside KnownDLLs at start: " + ", ".join(bad)
    return "ok", ", ".join(dlls) or "nothing"


def rule_delay_imports(image):
    dlls = image.delay_imports()
    bad = [d for d in dlls if base(d) not in SYSTEM_DLLS]
    if bad:
        return "FAIL", "delay-loads DLLs that are not system DLLs: " + ", ".join(bad)
    return "ok", ", ".join(dlls) or "none"


def rule_dynamic_base(image):
    return ("ok", "") if image.dll_flag("DYNAMIC_BASE") else ("FAIL", "no ASLR (DYNAMIC_BASE clear)")


def rule_relocations(image):
    if not image.runs_code:
        return "n/a", "no code"
    stripped = image.pe.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_RELOCS_STRIPPED"]
    entry = image.pe.OPTIONAL_HEADER.DATA_DIRECTORY[DIR_BASERELOC]
    if stripped or entry.Size == 0:
        return "FAIL", "no base relocations: the loader cannot move the image"
    return "ok", ""


def rule_nx(image):
    return ("ok", "") if image.dll_flag("NX_COMPAT") else ("FAIL", "not NX compatible (NX_COMPAT clear)")


def rule_tsaware(image):
    if image.is_dll:
        return "n/a", "a library"
    return ("ok", "") if image.dll_flag("TERMINAL_SERVER_AWARE") else ("FAIL", "not Terminal-Server aware")


def rule_no_seh(image):
    if not image.is_i386:
        return "n/a", "not i386"
    return ("ok", "") if image.dll_flag("NO_SEH") else ("FAIL", "NO_SEH clear and no safe handler table")


def rule_subsystem_version(image):
    opt = image.pe.OPTIONAL_HEADER
    version = (opt.MajorSubsystemVersion, opt.MinorSubsystemVersion)
    return ("ok", "6.0") if version == (6, 0) else ("FAIL", "subsystem version %d.%d, not 6.0" % version)


def rule_writable_executable(image):
    w, x = SECTION["IMAGE_SCN_MEM_WRITE"], SECTION["IMAGE_SCN_MEM_EXECUTE"]
    bad = [section_name(s) for s in image.pe.sections if s.Characteristics & w and s.Characteristics & x]
    return ("FAIL", "writable and executable: " + ", ".join(bad)) if bad else ("ok", "")


def rule_shared_writable(image):
    w, shared = SECTION["IMAGE_SCN_MEM_WRITE"], SECTION["IMAGE_SCN_MEM_SHARED"]
    bad = [section_name(s) for s in image.pe.sections if s.Characteristics & w and s.Characteristics & shared]
    return ("FAIL", "shared and writable: " + ", ".join(bad)) if bad else ("ok", "")


def rule_load_config(image):
    if not image.runs_code:
        return "n/a", "no code"
    config = image.load_config()
    if config is None:
        return "FAIL", "no load configuration"
    directory_size, data = config
    size_field = struct.unpack_from("<I", data, 0)[0]
    if directory_size != size_field:
        return "FAIL", f"directory size {directory_size} differs from the structure's size {size_field}"
    return "ok", f"{size_field} bytes"


def _config_field(image, offset, fmt):
    config = image.load_config()
    if config is None or len(config[1]) < offset + struct.calcsize(fmt):
        return None
    return struct.unpack_from(fmt, config[1], offset)[0]


def _cookie_layout(image):
    """(offset of SecurityCookie, of SEHandlerTable, of SEHandlerCount, field format)."""
    if image.magic == pefile.OPTIONAL_HEADER_MAGIC_PE:
        return 0x3C, 0x40, 0x44, "<I"
    return 0x58, 0x60, 0x68, "<Q"


def rule_dependent_load_flags(image):
    if not image.runs_code:
        return "n/a", "no code"
    if image.load_config() is None:
        return "FAIL", "no load configuration"
    flags = _config_field(image, DEPENDENT_LOAD_FLAGS_AT[image.magic], "<H")
    if flags is None or not flags & LOAD_LIBRARY_SEARCH_SYSTEM32:
        return "FAIL", "DependentLoadFlags lack LOAD_LIBRARY_SEARCH_SYSTEM32"
    return "ok", f"0x{flags:X}"


def rule_security_cookie(image):
    if not image.runs_code:
        return "n/a", "no code"
    cookie_at, _, _, fmt = _cookie_layout(image)
    address = _config_field(image, cookie_at, fmt)
    if not address:
        return "FAIL", "no security cookie"
    rva = address - image.pe.OPTIONAL_HEADER.ImageBase
    section = image.section_of(rva)
    if section is None or not section.Characteristics & SECTION["IMAGE_SCN_MEM_WRITE"]:
        return "FAIL", f"security cookie 0x{address:X} is not in a writable section of the image"
    value = struct.unpack(fmt, image.pe.get_data(rva, struct.calcsize(fmt)))[0]
    if value != DEFAULT_COOKIE[image.magic]:
        return "FAIL", f"security cookie starts as 0x{value:X}: the loader would not make it random"
    return "ok", f"at 0x{address:X} in {section_name(section)}"


def rule_seh_table(image):
    if not image.runs_code or not image.is_i386:
        return "n/a", "no code" if not image.runs_code else "not i386"
    if image.load_config() is None:
        return "FAIL", "no load configuration"
    _, table_at, count_at, fmt = _cookie_layout(image)
    table, count = _config_field(image, table_at, fmt), _config_field(image, count_at, fmt)
    if table is None or count is None:
        return "FAIL", "the load configuration ends before the handler table fields"
    if table or count:
        return "FAIL", f"a safe handler table (0x{table:X}, {count} entries) in an image marked NO_SEH"
    return "ok", ""


def rule_stack_protector(image):
    """i686 code reads the guard by its absolute address, so every protected function
    leaves a base relocation in code whose target is the security cookie."""
    if not image.runs_code:
        return "n/a", "no code"
    if not image.is_i386:
        return "n/a", "not i386"
    cookie_at, _, _, fmt = _cookie_layout(image)
    address = _config_field(image, cookie_at, fmt)
    if not address:
        return "FAIL", "no security cookie to look for"
    uses = 0
    for block in getattr(image.pe, "DIRECTORY_ENTRY_BASERELOC", []):
        for entry in block.entries:
            if entry.type != pefile.RELOCATION_TYPE["IMAGE_REL_BASED_HIGHLOW"]:
                continue
            section = image.section_of(entry.rva)
            if section is None or not section.Characteristics & SECTION["IMAGE_SCN_MEM_EXECUTE"]:
                continue
            if struct.unpack("<I", image.pe.get_data(entry.rva, 4))[0] == address:
                uses += 1
    if uses == 0:
        return "FAIL", "no code reads the stack guard: built without the stack protector"
    return "ok", f"{uses} reads of the guard"


HARDENING_RULES = [
    ("static-imports", rule_static_imports),
    ("delay-imports", rule_delay_imports),
    ("dynamic-base", rule_dynamic_base),
    ("relocations", rule_relocations),
    ("nx", rule_nx),
    ("tsaware", rule_tsaware),
    ("no-seh", rule_no_seh),
    ("subsystem-version", rule_subsystem_version),
    ("writable-executable", rule_writable_executable),
    ("shared-writable", rule_shared_writable),
    ("load-config", rule_load_config),
    ("dependent-load-flags", rule_dependent_load_flags),
    ("security-cookie", rule_security_cookie),
    ("seh-table", rule_seh_table),
    ("stack-protector", rule_stack_protector),
]
IMPORT_RULES = HARDENING_RULES[:2]


def run_rules(paths, rules):
    ok = True
    for path in paths:
        image = Image(path)
        for name, rule in rules:
            state, detail = rule(image)
            print(f"{path}: {name}: {state}" + (f" {detail}" if detail else ""))
            ok = ok and state != "FAIL"
    return ok


# --------------------------------------------------------------------------
# The other checks


def check_manifest(paths):
    ok = True
    for path in paths:
        manifests = Image(path).manifests()
        if not manifests or not any(data.strip() for _, data in manifests):
            print(f"{path}: no embedded manifest (RT_MANIFEST)")
            ok = False
        else:
            print(f"{path}: manifest {manifests[0][0]}, {len(manifests[0][1])} bytes")
    return ok


def check_no_entry(path):
    entry = Image(path).pe.OPTIONAL_HEADER.AddressOfEntryPoint
    if entry != 0:
        print(f"{path}: entry point 0x{entry:X}, expected none")
        return False
    print(f"{path}: no entry point")
    return True


def check_size(path, budget):
    size = os.path.getsize(path)
    print(f"{path}: {size} bytes, budget {budget}")
    return size <= budget


def exported_names(path):
    exports = getattr(Image(path).pe, "DIRECTORY_ENTRY_EXPORT", None)
    return [s.name.decode("ascii", "replace") for s in exports.symbols if s.name] if exports else []


def check_exports(path, names_file):
    with open(names_file, encoding="utf-8") as f:
        expected = {line.strip() for line in f if line.strip() and not line.lstrip().startswith("#")}
    actual = exported_names(path)
    ok = True
    duplicates = sorted({n for n in actual if actual.count(n) > 1})
    if duplicates:
        print(f"{path}: exported more than once: {', '.join(duplicates)}")
        ok = False
    for label, names in (("missing", expected - set(actual)), ("unexpected", set(actual) - expected)):
        if names:
            print(f"{path}: {label} exports: {', '.join(sorted(names))}")
            ok = False
    if ok:
        print(f"{path}: {len(actual)} exports as listed")
    return ok


def list_resources(path):
    for rtype in resource_types(Image(path).pe):
        for name in rtype.directory.entries:
            for lang in name.directory.entries:
                print(f"type {resource_label(rtype)!s:>6}  name {resource_label(name)!s:>6}  "
                      f"lang {lang.id:5}  {lang.data.struct.Size} bytes")


def shipped_pes(folder):
    return sorted(os.path.join(folder, n) for n in os.listdir(folder)
                  if n.lower().endswith((".exe", ".dll")) and os.path.isfile(os.path.join(folder, n)))


def main(argv):
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("check")
    p.add_argument("args", nargs="+")
    a = p.parse_args(argv[1:])
    try:
        if a.check == "imports":
            ok = run_rules(a.args, IMPORT_RULES)
        elif a.check == "hardening":
            ok = run_rules(a.args, HARDENING_RULES)
        elif a.check == "manifest":
            ok = check_manifest(a.args)
        elif a.check == "no-entry" and len(a.args) == 1:
            ok = check_no_entry(a.args[0])
        elif a.check == "size" and len(a.args) == 2:
            ok = check_size(a.args[0], int(a.args[1]))
        elif a.check == "exports" and len(a.args) == 2:
            ok = check_exports(a.args[0], a.args[1])
        elif a.check == "folder" and len(a.args) == 1:
            files = shipped_pes(a.args[0])
            if not files:
                print(f"{a.args[0]}: no PE files")
                return 1
            ok = run_rules(files, HARDENING_RULES)
            ok = check_manifest([f for f in files if f.lower().endswith(".exe")]) and ok
        elif a.check == "resources" and len(a.args) == 1:
            list_resources(a.args[0])
            ok = True
        else:
            p.print_usage(sys.stderr)
            return 2
    except (OSError, pefile.PEFormatError, struct.error) as e:
        print(f"error: {e}")
        return 1
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
