"""Each rule of `pecheck.py hardening` fails on a file made without what it checks,
and only that rule (or the rules that read the same missing thing).

Two kinds of negative cases, whichever is honest for the rule:
- a header bit or field that the rule reads, changed in a copy of a shipped file
  (the shipped files themselves pass every rule: pe_hardening_*);
- a tiny PE built like a shipped file but without one flag or with one import
  (a tiny PE with every flag passes: test_tiny_pe_with_every_flag_passes).

Run by ctest in the i686 product tree (cmake/PeChecks.cmake), which names the
shipped files, the i686 compilers and a scratch folder in the environment.
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import unittest
from pathlib import Path

import pefile

ROOT = Path(__file__).resolve().parents[2]
PECHECK = ROOT / "tools" / "pecheck.py"
PE_DIRECTORIES = ROOT / "tools" / "pe_directories.py"
WORK = Path(os.environ.get("CW_WORK_DIR", "/tmp/pecheck_rules"))
CC = os.environ.get("CW_CC", "i686-w64-mingw32-gcc-posix")
CXX = os.environ.get("CW_CXX", "i686-w64-mingw32-g++-posix")
DLLTOOL = os.environ.get("CW_DLLTOOL", "i686-w64-mingw32-dlltool")

_LINE = re.compile(r"^.*: ([a-z-]+): (ok|FAIL|n/a)\b")


def failing_rules(path: Path):
    """The rules `pecheck.py hardening` fails for one file."""
    run = subprocess.run([sys.executable, str(PECHECK), "hardening", str(path)], capture_output=True, text=True)
    states = {m.group(1): m.group(2) for m in map(_LINE.match, run.stdout.splitlines()) if m}
    if not states:
        raise AssertionError("pecheck said nothing: %s %s" % (run.stdout, run.stderr))
    failing = {rule for rule, state in states.items() if state == "FAIL"}
    if (run.returncode != 0) != bool(failing):
        raise AssertionError("exit code %d with failing rules %s" % (run.returncode, failing))
    return failing


# --------------------------------------------------------------------------
# Copies of the shipped files with one field changed

DLL = pefile.DLL_CHARACTERISTICS
SCN = pefile.SECTION_CHARACTERISTICS
LOAD_CONFIG = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG"]

# Each change writes the bytes of one field of the file; pefile only says where.


def put(data, offset, fmt, value):
    struct.pack_into(fmt, data, offset, value)


def clear_dll_flag(name):
    def change(pe, data):
        at = pe.OPTIONAL_HEADER.get_field_absolute_offset("DllCharacteristics")
        put(data, at, "<H", pe.OPTIONAL_HEADER.DllCharacteristics & ~DLL["IMAGE_DLLCHARACTERISTICS_" + name])
    return change


def set_subsystem_version(major, minor):
    def change(pe, data):
        put(data, pe.OPTIONAL_HEADER.get_field_absolute_offset("MajorSubsystemVersion"), "<H", major)
        put(data, pe.OPTIONAL_HEADER.get_field_absolute_offset("MinorSubsystemVersion"), "<H", minor)
    return change


def add_section_flag(section, flag):
    def change(pe, data):
        for s in pe.sections:
            if s.Name.rstrip(b"\0") == section:
                put(data, s.get_field_absolute_offset("Characteristics"), "<I", s.Characteristics | SCN[flag])
                return
        raise AssertionError("no section %r" % section)
    return change


def set_load_config_directory_size(size):
    def change(pe, data):
        entry = pe.OPTIONAL_HEADER.DATA_DIRECTORY[LOAD_CONFIG]
        put(data, entry.get_field_absolute_offset("Size"), "<I", size)
    return change


def load_config_offset(pe, field_offset):
    return pe.get_offset_from_rva(pe.OPTIONAL_HEADER.DATA_DIRECTORY[LOAD_CONFIG].VirtualAddress + field_offset)


def set_load_config_field(field_offset, fmt, value):
    def change(pe, data):
        put(data, load_config_offset(pe, field_offset), fmt, value)
    return change


def set_cookie_value(value):
    """The value the security cookie starts with in the file."""
    def change(pe, data):
        address = struct.unpack_from("<I", data, load_config_offset(pe, 0x3C))[0]
        put(data, pe.get_offset_from_rva(address - pe.OPTIONAL_HEADER.ImageBase), "<I", value)
    return change


# rule, shipped file ("exe" or "dll"), change, what the change stands for
CHANGED_FIELDS = [
    ("dynamic-base", "exe", clear_dll_flag("DYNAMIC_BASE"), "linked with --disable-dynamicbase"),
    ("nx", "exe", clear_dll_flag("NX_COMPAT"), "linked with --disable-nxcompat"),
    ("tsaware", "exe", clear_dll_flag("TERMINAL_SERVER_AWARE"), "linked without --tsaware"),
    ("no-seh", "dll", clear_dll_flag("NO_SEH"), "linked without --no-seh"),
    ("subsystem-version", "exe", set_subsystem_version(4, 0), "GNU ld's default subsystem version"),
    ("writable-executable", "exe", add_section_flag(b".text", "IMAGE_SCN_MEM_WRITE"), "code that can be written"),
    ("shared-writable", "dll", add_section_flag(b".data", "IMAGE_SCN_MEM_SHARED"), "data shared by all processes"),
    ("load-config", "exe", set_load_config_directory_size(64), "a directory size other than the structure's"),
    ("dependent-load-flags", "exe", set_load_config_field(0x36, "<H", 0), "no DependentLoadFlags"),
    ("security-cookie", "dll", set_cookie_value(0), "a guard the loader leaves alone (libssp's)"),
    ("seh-table", "exe", set_load_config_field(0x44, "<I", 1), "a handler table in a NO_SEH image"),
]


# --------------------------------------------------------------------------
# Tiny PEs built like the shipped files

TINY_SOURCE = r"""
#include <windows.h>
#include <string.h>

#ifdef IMPORT_FUNCTION
IMPORT_DECLARATION
#endif

/* A local array: the stack protector guards this function. */
__attribute__((noinline)) int Copy(const char* text) {
    char buffer[64];
    strcpy(buffer, text);
    return buffer[1];
}

int main(int argc, char** argv) {
#ifdef IMPORT_FUNCTION
    if (argc > 5) return (int)(INT_PTR)IMPORT_FUNCTION;
#endif
    return Copy(argc > 1 ? argv[1] : "ab");
}
"""

COMPILE_FLAGS = ["-Os", "-ffunction-sections", "-fdata-sections", "-fstack-protector-strong", "-D_FORTIFY_SOURCE=2"]
LINK_FLAGS = ["-static", "-s", "-Wl,--gc-sections", "-fstack-protector-strong", "-Wl,--dynamicbase",
              "-Wl,--nxcompat", "-Wl,--tsaware", "-Wl,--no-seh", "-Wl,--major-subsystem-version,6",
              "-Wl,--minor-subsystem-version,0", "-Wl,--undefined=__load_config_used"]

VERSION_IMPORT = {"IMPORT_DECLARATION": "__declspec(dllimport) DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR, LPDWORD);",
                  "IMPORT_FUNCTION": "GetFileVersionInfoSizeW(L\"x\", 0)"}
COMCTL32_IMPORT = {"IMPORT_DECLARATION": "__declspec(dllimport) void WINAPI InitCommonControls(void);",
                   "IMPORT_FUNCTION": "(InitCommonControls(), 0)"}
PLANTED_IMPORT = {"IMPORT_DECLARATION": "__declspec(dllimport) int WINAPI PlantedMarker(void);",
                  "IMPORT_FUNCTION": "PlantedMarker()"}

# rule(s) that fail, how the tiny PE is built, what it stands for
BUILT_WITHOUT = [
    ({"stack-protector"}, dict(drop_compile=["-fstack-protector-strong"]), "compiled without the stack protector"),
    # Without relocations the linker clears DYNAMIC_BASE too, and the guard's reads
    # are found through the relocations.
    ({"relocations", "dynamic-base", "stack-protector"}, dict(add_link=["-Wl,--disable-reloc-section"]),
     "linked without relocations"),
    ({"static-imports"}, dict(defines=VERSION_IMPORT, libraries=["-lversion"]),
     "version.dll imported at start"),
    ({"static-imports"}, dict(defines=COMCTL32_IMPORT, libraries=["-lcomctl32"]),
     "comctl32.dll imported at start without the manifest that makes it the system's"),
    ({"delay-imports"}, dict(defines=PLANTED_IMPORT, delay="planted"),
     "a DLL that is not a system DLL loaded on first use"),
]


class PecheckRules(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        WORK.mkdir(parents=True)
        cls.shipped = {"exe": Path(os.environ["CW_SHIPPED_EXE"]), "dll": Path(os.environ["CW_SHIPPED_DLL"])}
        (WORK / "tiny.c").write_text(TINY_SOURCE)
        # The shipped files' stack guard and load configuration, built once.
        cls.hardening_objects = []
        for source in ("load_config.c", "stack_guard.c"):
            obj = WORK / (source + ".o")
            cls.compile(CC, ROOT / "common" / source, obj, ["-Os", "-fno-stack-protector"])
            cls.hardening_objects.append(obj)
        cls.delay_hooks = WORK / "delay_load.o"
        cls.compile(CXX, ROOT / "common" / "delay_load.cpp", cls.delay_hooks, ["-Os", "-std=c++17"])

    @staticmethod
    def compile(compiler, source, obj, flags):
        subprocess.run([compiler, "-c", "-I" + str(ROOT), *flags, str(source), "-o", str(obj)], check=True)

    def tiny_pe(self, name, drop_compile=(), add_link=(), defines=None, libraries=(), delay=None) -> Path:
        """A console program built with the shipped files' flags, objects and post-link step."""
        out = WORK / (name + ".exe")
        flags = [f for f in COMPILE_FLAGS if f not in drop_compile]
        flags += ["-D%s=%s" % item for item in (defines or {}).items()]
        obj = WORK / (name + ".o")
        self.compile(CC, WORK / "tiny.c", obj, flags)
        objects = [obj, *self.hardening_objects]
        link = [*LINK_FLAGS, *add_link, "-Wl,-Map=%s" % (WORK / (name + ".map"))]
        if delay:
            # A delay-load library made as cmake/DelayImports.cmake makes them.
            definition = WORK / (delay + ".def")
            definition.write_text("LIBRARY %s.dll\nEXPORTS\nPlantedMarker@0\n" % delay)
            library = WORK / ("lib%s_delay.a" % delay)
            subprocess.run([DLLTOOL, "--kill-at", "--input-def", str(definition), "--dllname", delay + ".dll",
                            "--output-delaylib", str(library)], check=True, cwd=WORK)
            objects += [self.delay_hooks, library]
            link += ["-Wl,--undefined=_cw_delay_import_end", "-Wl,--undefined=_PlantedMarker@0"]
        subprocess.run([CXX, *map(str, objects), *link, *libraries, "-o", str(out)], check=True)
        subprocess.run([sys.executable, str(PE_DIRECTORIES), str(out), str(WORK / (name + ".map"))], check=True,
                       stdout=subprocess.DEVNULL)
        return out

    def test_changed_field_fails_its_rule_only(self):
        for rule, kind, change, meaning in CHANGED_FIELDS:
            with self.subTest(rule, meaning=meaning):
                data = bytearray(self.shipped[kind].read_bytes())
                pe = pefile.PE(data=bytes(data))
                change(pe, data)
                pe.close()
                out = WORK / ("%s.%s" % (rule, kind))
                out.write_bytes(data)
                self.assertEqual({rule}, failing_rules(out))

    def test_tiny_pe_with_every_flag_passes(self):
        self.assertEqual(set(), failing_rules(self.tiny_pe("every_flag")))

    def test_tiny_pe_built_without_fails_its_rule(self):
        for index, (rules, build, meaning) in enumerate(BUILT_WITHOUT):
            with self.subTest(meaning):
                self.assertEqual(rules, failing_rules(self.tiny_pe("without%d" % index, **build)))


if __name__ == "__main__":
    unittest.main()
