#!/usr/bin/env python3
"""Enters two tables that GNU ld (binutils 2.40) links but does not name in the PE
header: the load configuration (the symbol _load_config_used, common/load_config.c)
and the delay-import descriptors of dlltool's delay-load libraries (one
_DELAY_IMPORT_DESCRIPTOR_<library> each, ended by cw_delay_import_end,
common/delay_load.cpp). Their addresses come from the linker's map file, so this
works on stripped files too.

  pe_directories.py <pe> <map>

The load configuration directory gets the size the structure gives in its first
field. The delay-import descriptors must lie one after another, followed by the
empty one; anything else fails the build (exit code 1).
"""
import array
import re
import struct
import sys

LOAD_CONFIG = 10
DELAY_IMPORT = 13
DELAY_DESCRIPTOR_SIZE = 32  # ImgDelayDescr: eight 32-bit fields on both machines

SYMBOL = re.compile(r"^\s+0x([0-9a-fA-F]+)\s+(\S+)\s*$")


class Failure(Exception):
    pass


def map_symbols(map_text):
    """Symbol name -> address, as the map's symbol lines give them."""
    symbols = {}
    for line in map_text.splitlines():
        m = SYMBOL.match(line)
        if m:
            symbols[m.group(2)] = int(m.group(1), 16)
    return symbols


def find(symbols, name):
    """The address of a C symbol, with or without i686's leading underscore."""
    for candidate in (name, "_" + name):
        if candidate in symbols:
            return symbols[candidate]
    return None


class Image:
    def __init__(self, data: bytearray):
        self.data = data
        if data[:2] != b"MZ":
            raise Failure("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise Failure("no PE signature")
        sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
        opt = pe + 24
        self.checksum_at = opt + 64
        magic = struct.unpack_from("<H", data, opt)[0]
        if magic == 0x10B:
            self.image_base = struct.unpack_from("<I", data, opt + 28)[0]
            self.directories = opt + 96
        elif magic == 0x20B:
            self.image_base = struct.unpack_from("<Q", data, opt + 24)[0]
            self.directories = opt + 112
        else:
            raise Failure(f"unknown optional header magic 0x{magic:X}")
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            self.sections.append((va, vsize, rawsize, rawptr))

    def rva(self, address):
        return address - self.image_base

    def read(self, rva, size):
        for va, vsize, rawsize, rawptr in self.sections:
            if va <= rva and rva + size <= va + min(vsize, rawsize):
                return bytes(self.data[rawptr + rva - va:rawptr + rva - va + size])
        raise Failure(f"{size} bytes at RVA 0x{rva:X} have no file data")

    def set_directory(self, index, rva, size):
        struct.pack_into("<II", self.data, self.directories + 8 * index, rva, size)

    def update_checksum(self):
        """The header checksum the linker wrote, made anew over the changed bytes:
        16-bit words summed with their carries folded in, the field itself left
        out, plus the file's length."""
        struct.pack_into("<I", self.data, self.checksum_at, 0)
        words = array.array("H", bytes(self.data) + b"\0" * (len(self.data) % 2))
        if sys.byteorder != "little":
            words.byteswap()
        total = sum(words)
        while total >> 16:
            total = (total & 0xFFFF) + (total >> 16)
        struct.pack_into("<I", self.data, self.checksum_at, (total + len(self.data)) & 0xFFFFFFFF)


def enter_load_config(image, symbols):
    address = find(symbols, "_load_config_used")
    if address is None:
        return "no load configuration"
    rva = image.rva(address)
    size = struct.unpack("<I", image.read(rva, 4))[0]
    if size < 64:
        raise Failure(f"_load_config_used gives the size {size}, too small for a load configuration")
    image.read(rva, size)  # all of it lies in the file
    image.set_directory(LOAD_CONFIG, rva, size)
    return f"load configuration at 0x{rva:X}, {size} bytes"


def enter_delay_imports(image, symbols):
    descriptors = sorted(image.rva(a) for n, a in symbols.items() if "_DELAY_IMPORT_DESCRIPTOR_" in n)
    if not descriptors:
        return "no delay imports"
    end = find(symbols, "cw_delay_import_end")
    if end is None:
        raise Failure("delay imports without cw_delay_import_end: link the delay_load objects")
    end = image.rva(end)
    expected = [descriptors[0] + DELAY_DESCRIPTOR_SIZE * i for i in range(len(descriptors) + 1)]
    if descriptors + [end] != expected:
        raise Failure("the delay-import descriptors do not lie one after another before cw_delay_import_end: "
                      + ", ".join(f"0x{r:X}" for r in descriptors + [end]))
    if image.read(end, DELAY_DESCRIPTOR_SIZE) != bytes(DELAY_DESCRIPTOR_SIZE):
        raise Failure("cw_delay_import_end is not an empty descriptor")
    size = DELAY_DESCRIPTOR_SIZE * (len(descriptors) + 1)
    image.set_directory(DELAY_IMPORT, descriptors[0], size)
    return f"{len(descriptors)} delay-import descriptors at 0x{descriptors[0]:X}"


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    pe_path, map_path = argv[1], argv[2]
    try:
        with open(map_path, encoding="utf-8", errors="replace") as f:
            symbols = map_symbols(f.read())
        with open(pe_path, "rb") as f:
            image = Image(bytearray(f.read()))
        notes = [enter_load_config(image, symbols), enter_delay_imports(image, symbols)]
        if struct.unpack_from("<I", image.data, image.checksum_at)[0]:
            image.update_checksum()
    except (OSError, struct.error, Failure) as e:
        sys.stderr.write(f"{pe_path}: {e}\n")
        return 1
    with open(pe_path, "r+b") as f:
        f.write(image.data)
    print(f"{pe_path}: " + "; ".join(notes))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
