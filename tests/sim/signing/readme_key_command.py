#!/usr/bin/env python3
"""Runs the command line README's Security section gives publishers to compute an
UPDATE_PUBLISHER_KEYS value, on each certificate file given (PEM and DER), and
checks that it prints exactly the expected 64 hex digits.

  readme_key_command.py <README.md> <expected-file> <certificate>...
"""
import re
import subprocess
import sys

PLACEHOLDER = "maker.crt"


def readme_command(readme: str) -> str:
    lines = [line.strip() for line in open(readme, encoding="utf-8")]
    found = [line for line in lines if line.startswith("openssl x509 -in %s " % PLACEHOLDER)]
    if len(found) != 1:
        raise SystemExit("%s: expected one command line starting 'openssl x509 -in %s', found %d"
                         % (readme, PLACEHOLDER, len(found)))
    return found[0]


def main(argv):
    if len(argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    command = readme_command(argv[1])
    expected = open(argv[2], encoding="ascii").read().strip()
    if not re.fullmatch(r"[0-9a-f]{64}", expected):
        raise SystemExit("%s holds no SHA-256 value" % argv[2])
    failed = False
    for certificate in argv[3:]:
        line = command.replace(PLACEHOLDER, "'%s'" % certificate)
        out = subprocess.run(["bash", "-o", "pipefail", "-c", line], stdin=subprocess.DEVNULL,
                             capture_output=True, text=True, timeout=60)
        printed = out.stdout
        if out.returncode != 0 or printed != expected + "\n":
            failed = True
            print("%s: printed %r (exit %d, %s), expected %s" % (certificate, printed, out.returncode,
                                                                 out.stderr.strip(), expected))
        else:
            print("%s: %s" % (certificate, printed.strip()))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
