#!/usr/bin/env python3
"""Turns the readable UTF-8 sources of battery.dll into the bytes its resources hold.

  make_resources.py txt <in.txt> <out.bin>   UTF-16LE, byte order mark, CR LF after every line
  make_resources.py rtf <in.rtf> <out.rtf>   RTF with every non-ASCII character as \\uN?

The programs stop reading a list at its last line end, so every line, the last
one included, gets CR LF; an empty line in a list source is refused as a slip.
"""
import sys


def txt(source: str) -> bytes:
    text = source.replace("\r\n", "\n")
    if "\r" in text:
        raise ValueError("stray CR in a list source")
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    for number, line in enumerate(lines, 1):
        if not line:
            raise ValueError(f"line {number} is empty")
    return b"\xff\xfe" + "".join(line + "\r\n" for line in lines).encode("utf-16-le")


def rtf(source: str) -> bytes:
    out = []
    for ch in source:
        if ord(ch) < 0x80:
            out.append(ch)
            continue
        # RTF's \u takes a signed 16-bit value; "?" is the fallback for old readers.
        units = ch.encode("utf-16-le")
        for i in range(0, len(units), 2):
            unit = int.from_bytes(units[i:i + 2], "little")
            out.append(f"\\u{unit - 0x10000 if unit >= 0x8000 else unit}?")
    return "".join(out).encode("ascii")


def main(argv):
    if len(argv) != 4 or argv[1] not in ("txt", "rtf"):
        sys.stderr.write(__doc__)
        return 2
    mode, src, dst = argv[1:]
    with open(src, encoding="utf-8", newline="") as f:
        source = f.read()
    if source.startswith("\ufeff"):
        source = source[1:]
    try:
        data = txt(source) if mode == "txt" else rtf(source)
    except ValueError as e:
        sys.stderr.write(f"{src}: {e}\n")
        return 1
    with open(dst, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
