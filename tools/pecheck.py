#!/usr/bin/env python3
"""Checks on the shipped PE files of the i686 build.

  pecheck.py [--objdump X] imports  <pe>...          only system DLLs imported
  pecheck.py               manifest <exe>...         an RT_MANIFEST resource is embedded
  pecheck.py [--objdump X] no-entry <dll>            AddressOfEntryPoint is 0
  pecheck.py               size     <pe> <max-bytes> the file fits its budget
  pecheck.py [--objdump X] exports  <dll> <names>    export names equal the list (one a line)
  pecheck.py               folder   <dir>            imports of every PE, manifest of every .exe
  pecheck.py               resources <pe>            lists the resources (for people)

Exit code 0 when the check holds, 1 when it fails, 2 on a usage error.
"""
import argparse
import os
import re
import struct
import subprocess
import sys

SYSTEM_DLLS = {
    "kernel32", "user32", "gdi32", "advapi32", "shell32", "shlwapi", "comctl32",
    "comdlg32", "ole32", "oleaut32", "wintrust", "crypt32", "setupapi", "wininet",
    "version", "powrprof", "msvcrt", "uxtheme", "msimg32",
}
RT_MANIFEST = 24
IMAGE_DIRECTORY_ENTRY_RESOURCE = 2


class PeError(Exception):
    pass


class Reader:
    """Bounds-checked little-endian reads over the bytes of one file."""

    def __init__(self, data: bytes):
        self.data = data

    def take(self, offset: int, size: int) -> bytes:
        if offset < 0 or size < 0 or offset + size > len(self.data):
            raise PeError(f"{size} bytes at 0x{offset:X} lie outside the file ({len(self.data)} bytes)")
        return self.data[offset:offset + size]

    def u16(self, offset: int) -> int:
        return struct.unpack_from("<H", self.take(offset, 2))[0]

    def u32(self, offset: int) -> int:
        return struct.unpack_from("<I", self.take(offset, 4))[0]


class Pe:
    def __init__(self, path: str):
        with open(path, "rb") as f:
            self.r = Reader(f.read())
        r = self.r
        if r.take(0, 2) != b"MZ":
            raise PeError("no MZ header")
        pe = r.u32(0x3C)
        if r.take(pe, 4) != b"PE\0\0":
            raise PeError("no PE signature")
        coff = pe + 4
        sections = r.u16(coff + 2)
        optional_size = r.u16(coff + 16)
        opt = coff + 20
        magic = r.u16(opt)
        if magic == 0x10B:
            dirs_at = opt + 96
        elif magic == 0x20B:
            dirs_at = opt + 112
        else:
            raise PeError(f"unknown optional header magic 0x{magic:X}")
        self.entry_point = r.u32(opt + 16)
        count = r.u32(dirs_at - 4)
        self.directories = []
        for i in range(min(count, 16)):
            at = dirs_at + 8 * i
            if at + 8 > opt + optional_size:
                break
            self.directories.append((r.u32(at), r.u32(at + 4)))
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            at = table + 40 * i
            name = r.take(at, 8).rstrip(b"\0").decode("latin-1")
            vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", r.take(at + 8, 16))
            self.sections.append((name, va, max(vsize, rawsize), rawsize, rawptr))

    def offset(self, rva: int) -> int:
        for _, va, span, rawsize, rawptr in self.sections:
            if va <= rva < va + span:
                if rva - va >= rawsize:
                    raise PeError(f"RVA 0x{rva:X} has no file data")
                return rawptr + rva - va
        raise PeError(f"RVA 0x{rva:X} lies in no section")

    def resources(self):
        """Every resource as (type, name, language, data); ids are ints, names str."""
        if len(self.directories) <= IMAGE_DIRECTORY_ENTRY_RESOURCE:
            return []
        rva, size = self.directories[IMAGE_DIRECTORY_ENTRY_RESOURCE]
        if rva == 0 or size == 0:
            return []
        base = self.offset(rva)
        r = self.r

        def entries(table):
            named, ids = r.u16(base + table + 12), r.u16(base + table + 14)
            for i in range(named + ids):
                at = base + table + 16 + 8 * i
                name, target = r.u32(at), r.u32(at + 4)
                if name & 0x80000000:
                    s = base + (name & 0x7FFFFFFF)
                    key = r.take(s + 2, 2 * r.u16(s)).decode("utf-16-le")
                else:
                    key = name & 0xFFFF
                yield key, target

        found = []
        seen = set()

        def subdir(target):
            if not target & 0x80000000:
                raise PeError("resource tree too shallow")
            table = target & 0x7FFFFFFF
            if table in seen:
                raise PeError("resource tree has a loop")
            seen.add(table)
            return table

        for rtype, t1 in entries(0):
            for name, t2 in entries(subdir(t1)):
                for lang, leaf in entries(subdir(t2)):
                    if leaf & 0x80000000:
                        raise PeError("resource tree too deep")
                    data_rva, data_size = r.u32(base + leaf), r.u32(base + leaf + 4)
                    found.append((rtype, name, lang, r.take(self.offset(data_rva), data_size)))
        return found


def objdump_p(objdump: str, path: str) -> str:
    run = subprocess.run([objdump, "-p", path], capture_output=True, text=True)
    if run.returncode != 0:
        raise PeError(f"{objdump} -p failed: {run.stderr.strip()}")
    return run.stdout


def imported_dlls(objdump: str, path: str):
    return re.findall(r"^\s*DLL Name:\s*(\S+)", objdump_p(objdump, path), re.M)


def exported_names(objdump: str, path: str):
    text = objdump_p(objdump, path)
    # "[Ordinal/Name Pointer] Table" lists every named export as "[   n] Name".
    part = re.search(r"\[Ordinal/Name Pointer\] Table.*?\n(.*?)(?:\n\s*\n|\Z)", text, re.S)
    if not part:
        return []
    return re.findall(r"^\s*\[\s*\d+\]\s+(\S+)", part.group(1), re.M)


def check_imports(objdump, paths):
    ok = True
    for path in paths:
        dlls = imported_dlls(objdump, path)
        bad = [d for d in dlls if os.path.splitext(d.lower())[0] not in SYSTEM_DLLS]
        if bad:
            print(f"{path}: imports non-system DLLs: {', '.join(bad)}")
            ok = False
        else:
            print(f"{path}: imports {', '.join(dlls) or 'nothing'}")
    return ok


def check_manifest(paths):
    ok = True
    for path in paths:
        manifests = [res for res in Pe(path).resources() if res[0] == RT_MANIFEST]
        if not manifests or not any(res[3].strip() for res in manifests):
            print(f"{path}: no embedded manifest (RT_MANIFEST)")
            ok = False
        else:
            print(f"{path}: manifest {manifests[0][1]}, {len(manifests[0][3])} bytes")
    return ok


def check_no_entry(objdump, path):
    m = re.search(r"^AddressOfEntryPoint\s+([0-9a-fA-F]+)", objdump_p(objdump, path), re.M)
    if not m:
        print(f"{path}: objdump shows no AddressOfEntryPoint")
        return False
    entry = int(m.group(1), 16)
    if entry != 0 or Pe(path).entry_point != 0:
        print(f"{path}: entry point 0x{entry:X}, expected none")
        return False
    print(f"{path}: no entry point")
    return True


def check_size(path, budget):
    size = os.path.getsize(path)
    print(f"{path}: {size} bytes, budget {budget}")
    return size <= budget


def check_exports(objdump, path, names_file):
    with open(names_file, encoding="utf-8") as f:
        expected = {line.strip() for line in f if line.strip() and not line.lstrip().startswith("#")}
    actual = exported_names(objdump, path)
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


def shipped_pes(folder):
    return sorted(os.path.join(folder, n) for n in os.listdir(folder)
                  if n.lower().endswith((".exe", ".dll")) and os.path.isfile(os.path.join(folder, n)))


def main(argv):
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    p.add_argument("check")
    p.add_argument("args", nargs="+")
    a = p.parse_args(argv[1:])
    try:
        if a.check == "imports":
            ok = check_imports(a.objdump, a.args)
        elif a.check == "manifest":
            ok = check_manifest(a.args)
        elif a.check == "no-entry" and len(a.args) == 1:
            ok = check_no_entry(a.objdump, a.args[0])
        elif a.check == "size" and len(a.args) == 2:
            ok = check_size(a.args[0], int(a.args[1]))
        elif a.check == "exports" and len(a.args) == 2:
            ok = check_exports(a.objdump, a.args[0], a.args[1])
        elif a.check == "folder" and len(a.args) == 1:
            files = shipped_pes(a.args[0])
            if not files:
                print(f"{a.args[0]}: no PE files")
                return 1
            ok = check_imports(a.objdump, files)
            ok = check_manifest([f for f in files if f.lower().endswith(".exe")]) and ok
        elif a.check == "resources" and len(a.args) == 1:
            for rtype, name, lang, data in Pe(a.args[0]).resources():
                print(f"type {rtype!s:>6}  name {name!s:>6}  lang {lang:5}  {len(data)} bytes")
            ok = True
        else:
            p.print_usage(sys.stderr)
            return 2
    except (OSError, PeError) as e:
        print(f"error: {e}")
        return 1
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
