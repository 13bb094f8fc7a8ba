#!/usr/bin/env python3
"""Prints the REGEDIT4 lines (CR LF, no header) that make a Wine prefix trust the
certificates in <root.crt> (PEM, one or more, or a single DER certificate) as roots,
and no longer trust those of <previous.crt> (what the prefix was told to trust
before) that <root.crt> lacks.

  trust_root.py <root.crt> [<previous.crt>]

Each certificate becomes the machine Root store entry that CertAddEncodedCertificateToStore
would write: key ...\\Root\\Certificates\\<SHA-1 upper hex>, REG_BINARY "Blob" holding the
property records 3 (SHA-1 hash) and 32 (DER certificate). A missing or empty file
prints nothing; a file that holds no certificate is an error.
"""
import base64
import hashlib
import re
import struct
import sys

ROOT_KEY = r"HKEY_LOCAL_MACHINE\Software\Microsoft\SystemCertificates\Root\Certificates"
CERT_SHA1_HASH_PROP_ID = 3
CERT_CERT_PROP_ID = 32
PEM = re.compile(rb"-----BEGIN CERTIFICATE-----(.*?)-----END CERTIFICATE-----", re.S)
BYTES_PER_LINE = 25


def certificates(data: bytes):
    blocks = PEM.findall(data)
    if blocks:
        return [base64.b64decode(b"".join(block.split()), validate=True) for block in blocks]
    if data[:1] == b"\x30":  # a DER SEQUENCE
        return [data]
    return []


def record(prop_id: int, value: bytes) -> bytes:
    return struct.pack("<III", prop_id, 1, len(value)) + value


def reg_entry(der: bytes) -> str:
    sha1 = hashlib.sha1(der).digest()
    blob = record(CERT_SHA1_HASH_PROP_ID, sha1) + record(CERT_CERT_PROP_ID, der)
    octets = [f"{b:02x}" for b in blob]
    rows = [",".join(octets[i:i + BYTES_PER_LINE]) for i in range(0, len(octets), BYTES_PER_LINE)]
    value = '"Blob"=hex:' + ",\\\r\n  ".join(rows)
    return f"[{ROOT_KEY}\\{sha1.hex().upper()}]\r\n{value}\r\n\r\n"


def removal(der: bytes) -> str:
    return f"[-{ROOT_KEY}\\{hashlib.sha1(der).hexdigest().upper()}]\r\n\r\n"


def read_certificates(path: str):
    """The certificates of `path`; none for a missing or empty file; None after an error."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except FileNotFoundError:
        return []
    if not data.strip():
        return []
    try:
        ders = certificates(data)
    except ValueError as e:
        sys.stderr.write(f"{path}: bad PEM data: {e}\n")
        return None
    if not ders:
        sys.stderr.write(f"{path}: no certificate found\n")
        return None
    return ders


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    ders = read_certificates(argv[1])
    previous = read_certificates(argv[2]) if len(argv) == 3 else []
    if ders is None:
        return 1
    # A previous file that cannot be read any more untrusts nothing.
    gone = [der for der in previous or [] if der not in ders]
    text = "".join(removal(der) for der in gone) + "".join(reg_entry(der) for der in ders)
    sys.stdout.buffer.write(text.encode("ascii"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
