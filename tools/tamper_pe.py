#!/usr/bin/env python3
"""Flips one byte of a signed PE file where the signature's digest covers it but the
loader never looks: the text of the DOS stub, between the DOS header and the PE header.

  tamper_pe.py <in> <out>
"""
import struct
import sys


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], "rb") as f:
        data = bytearray(f.read())
    if len(data) < 0x40 or data[:2] != b"MZ":
        sys.stderr.write(f"{argv[1]}: not a PE file\n")
        return 1
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if pe > len(data) - 4 or data[pe:pe + 4] != b"PE\0\0":
        sys.stderr.write(f"{argv[1]}: no PE header\n")
        return 1
    at = data.find(b"This program", 0x40, pe)
    if at < 0:
        if pe <= 0x40:
            sys.stderr.write(f"{argv[1]}: no DOS stub to change\n")
            return 1
        at = 0x40
    data[at] ^= 0x20
    with open(argv[2], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
