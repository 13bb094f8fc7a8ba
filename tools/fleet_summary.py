#!/usr/bin/env python3
"""Summarises the CSV reports that Cellwise.exe -logcsv writes across a fleet.

    fleet_summary.py REPORT... [--csv FILE] [--html FILE]

REPORT is a report file, a folder (its *.csv files) or a wildcard pattern
(expanded here, as the Windows command prompt does not). Reports are UTF-16LE;
a byte order mark at the start, or in the middle where reports were joined with
`copy /b` or `cat`, begins a new report. Each machine (product name and
identifying number) counts once, with its latest line, so a pack that was
replaced and checked again shows as done. Lines whose identifying number is
empty or a placeholder the firmware left in it ("0", "To Be Filled By O.E.M.",
"Default string", ...) cannot be told apart: each counts as a machine of its own
and none is merged with another. Malformed lines (torn, cut, unknown exit code,
a value holding ", ") are counted and listed with their line numbers.

Prints the machines checked, the machines by verdict, the target packs by
battery name and the machines whose pack must be replaced. --csv writes that
last list as UTF-8 CSV for a spreadsheet; --html writes one self-contained page
with the same tables and a bar chart of the verdicts.

Exit codes: 0 summarised (also with malformed lines), 1 a report could not be
read or an output not written, 2 bad command line.

Python 3.7 or later, standard library only (Windows or Linux).
"""
import argparse
import csv
import functools
import glob
import html
import os
import re
import sys
import unicodedata
from typing import Dict, List, NamedTuple, Optional, Sequence, Tuple

# Exit codes of Cellwise.exe that a report line can hold, as verdicts.
VERDICTS = ((0, "replace"), (1, "no target"), (3, "library unavailable"), (4, "no battery"))
VERDICT_NAME = dict(VERDICTS)
CODE_OF = {text: code for code, text in VERDICTS}
# Exit codes 0 and 1 come with the batteries found; 3 and 4 with none.
WITH_BATTERIES = (0, 1)

SEPARATOR = ", "
TIME = re.compile(r"\d{4}/(0[1-9]|1[0-2])/(0[1-9]|[12]\d|3[01]) ([01]\d|2[0-3]):[0-5]\d:[0-5]\d\.\d{3}\Z")
LINE_END = re.compile(r"\r\n|\n|\r")
BOM = "\ufeff"

# Identifying numbers that name no machine: what firmware leaves in the field
# when the maker did not fill it (compared without case, blanks collapsed).
PLACEHOLDERS = frozenset(text.casefold() for text in (
    "To Be Filled By O.E.M.", "To Be Filled By OEM", "Default string", "Default", "System Serial Number",
    "Chassis Serial Number", "Base Board Serial Number", "Serial Number", "SerialNumber", "Not Specified",
    "Not Applicable", "Not Available", "None", "N/A", "NA", "Unknown", "Invalid", "Empty", "OEM", "O.E.M.",
    "123456789", "1234567890", "0123456789"))

EXCERPT = 60  # characters of a malformed line shown


class Line(NamedTuple):
    """One well-formed report line."""
    time: str
    code: int
    product: str
    number: str
    batteries: Tuple[Tuple[str, str], ...]  # (name, serial) in the order the line gives them
    source: str
    line_no: int
    order: int  # position among all lines read, for ties of the time stamp


class Malformed(NamedTuple):
    source: str
    line_no: int
    reason: str
    text: str


class Pack(NamedTuple):
    """A pack of a machine whose verdict is replace."""
    time: str
    product: str
    number: str
    name: str
    serial: str
    packs: int  # packs the machine holds: with more than one, the line does not say which is the target


class Summary(NamedTuple):
    files: int
    lines: int
    malformed: List[Malformed]
    machines: int
    identified: int
    unidentified: int
    by_verdict: List[Tuple[str, int, int]]  # verdict, machines, of them without identity
    packs_by_name: List[Tuple[str, int]]
    replace: List[Pack]
    several_packs: int  # machines to replace that hold more than one pack


@functools.lru_cache(maxsize=None)
def usable_identity(number: str) -> bool:
    """False for an empty identifying number, a placeholder, or one character repeated (0, 00000000)."""
    text = " ".join(number.split())
    if not text:
        return False
    if text.casefold() in PLACEHOLDERS:
        return False
    return len(set(text.replace(" ", ""))) > 1


def parse_line(text: str) -> Tuple[Optional[tuple], str]:
    """The fields of a complete report line as (time, code, product, number, batteries), or None and why not."""
    fields = text.split(SEPARATOR)
    if not TIME.match(fields[0]):
        return None, "no time stamp"
    if len(fields) < 4:
        return None, "too few fields"
    code_text = fields[1]
    if not code_text.isdigit() or int(code_text) not in VERDICT_NAME:
        return None, "unknown exit code %r" % code_text[:12]
    code = int(code_text)
    if len(fields) % 2:
        return None, "odd number of fields (a value holding \", \"?)"
    batteries = tuple(zip(fields[4::2], fields[5::2]))
    if code in WITH_BATTERIES and not batteries:
        return None, "exit code %d without a battery" % code
    if code not in WITH_BATTERIES and batteries:
        return None, "exit code %d with batteries" % code
    return (fields[0], code, fields[2].strip(), fields[3].strip(), batteries), ""


def decode(data: bytes) -> str:
    return data.decode("utf-16-le", "replace")


def read_report(data: bytes, source: str, first_order: int = 0) -> Tuple[List[Line], List[Malformed], int]:
    """The lines of one report file (possibly several joined), the malformed ones, and the count of lines."""
    lines: List[Line] = []
    malformed: List[Malformed] = []
    text = decode(data)
    physical = LINE_END.split(text)
    # After the last line end comes "", or the rest of a line that was never ended.
    ended = [True] * (len(physical) - 1) + [False]
    count = 0
    order = first_order
    for line_no, (row, has_end) in enumerate(zip(physical, ended), 1):
        # A byte order mark begins a report: what stood before it on the same line
        # was cut off where the next report was joined on.
        pieces = row.split(BOM) if BOM in row else (row,)
        for i, piece in enumerate(pieces):
            if not piece:
                continue
            count += 1
            complete = has_end if i == len(pieces) - 1 else False
            if not complete:
                reason = "not ended by a line end (cut off)"
                fields = None
            else:
                fields, reason = parse_line(piece)
            if fields is None:
                malformed.append(Malformed(source, line_no, reason, piece[:EXCERPT]))
                continue
            lines.append(Line(*fields, source=source, line_no=line_no, order=order))
            order += 1
    return lines, malformed, count


def summarise(lines: Sequence[Line], malformed: Sequence[Malformed], files: int, line_count: int) -> Summary:
    latest: Dict[Tuple[str, str], Line] = {}
    unidentified: List[Line] = []
    for line in lines:
        if not usable_identity(line.number):
            unidentified.append(line)
            continue
        key = (line.product, line.number)
        held = latest.get(key)
        if held is None or (line.time, line.order) > (held.time, held.order):
            latest[key] = line
    machines = sorted(list(latest.values()) + unidentified, key=lambda l: (l.time, l.order))

    by_verdict = []
    for code, name in VERDICTS:
        by_verdict.append((name, sum(1 for m in machines if m.code == code),
                           sum(1 for m in unidentified if m.code == code)))

    replace: List[Pack] = []
    per_name: Dict[str, int] = {}
    several = 0
    for m in machines:
        if m.code != 0:
            continue
        several += len(m.batteries) > 1
        for name, serial in m.batteries:
            replace.append(Pack(m.time, m.product, m.number, name, serial, len(m.batteries)))
            per_name[name] = per_name.get(name, 0) + 1
    packs_by_name = sorted(per_name.items(), key=lambda item: (-item[1], item[0]))
    return Summary(files, line_count, list(malformed), len(machines), len(latest), len(unidentified), by_verdict,
                   packs_by_name, replace, several)


def expand(arguments: Sequence[str]) -> List[str]:
    """Report files named by the arguments: files, folders (their *.csv) and wildcard patterns."""
    paths: List[str] = []
    for argument in arguments:
        if os.path.isdir(argument):
            paths.extend(sorted(glob.glob(os.path.join(glob.escape(argument), "*.csv"))))
        elif not os.path.exists(argument) and glob.has_magic(argument):
            paths.extend(sorted(glob.glob(argument)))
        else:
            paths.append(argument)
    return paths


def read_reports(paths: Sequence[str]) -> Summary:
    lines: List[Line] = []
    malformed: List[Malformed] = []
    count = 0
    for path in paths:
        with open(path, "rb") as f:
            data = f.read()
        more, bad, n = read_report(data, path, len(lines))
        lines.extend(more)
        malformed.extend(bad)
        count += n
    return summarise(lines, malformed, len(paths), count)


# --------------------------------------------------------------------------
# Output

REPLACE_HEADER = ("Time", "Product", "Identifying number", "Battery name", "Serial", "Packs")


def tables(s: Summary):
    """(title, header, rows) of every table, as text and HTML show them."""
    return [
        ("Machines by verdict", ("Verdict", "Machines", "Without identity"),
         [(name, str(n), str(u)) for name, n, u in s.by_verdict]),
        ("Target packs by battery name", ("Battery name", "Packs"), [(name, str(n)) for name, n in s.packs_by_name]),
        ("Machines whose pack must be replaced", REPLACE_HEADER,
         [(p.time, p.product, p.number, p.name, p.serial, str(p.packs)) for p in s.replace]),
    ]


def width(text: str) -> int:
    """Columns the text takes in a terminal: East Asian wide characters take two."""
    if text.isascii():
        return len(text)
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)


def format_table(header: Sequence[str], rows: Sequence[Sequence[str]]) -> List[str]:
    widths = [max(width(r[i]) for r in [header, *rows]) for i in range(len(header))]

    def row(cells):
        return "  " + "  ".join(c + " " * (w - width(c)) for c, w in zip(cells, widths)).rstrip()
    return [row(header)] + [row(r) for r in rows]


def facts(s: Summary) -> List[str]:
    return [
        "Reports: %d, lines: %d, malformed lines: %d" % (s.files, s.lines, len(s.malformed)),
        "Machines checked: %d" % s.machines,
        "  by product name and identifying number (the latest line of each): %d" % s.identified,
        "  lines without a usable identity (one machine each): %d" % s.unidentified,
    ]


def several_note(s: Summary) -> Optional[str]:
    if not s.several_packs:
        return None
    return ("Machines holding more than one pack: %d (the report does not say which pack is the target, "
            "so each is listed)" % s.several_packs)


def format_text(s: Summary) -> str:
    out = facts(s)
    if s.malformed:
        out += ["", "Malformed lines:"]
        out += ["  %s:%d: %s: %s" % (m.source, m.line_no, m.reason, m.text) for m in s.malformed]
    for title, header, rows in tables(s):
        out += ["", "%s:" % title]
        out += format_table(header, rows) if rows else ["  none"]
    note = several_note(s)
    if note:
        out.append(note)
    return "\n".join(out) + "\n"


# Cells a spreadsheet would take as a formula begin with these; such a cell gets a
# leading apostrophe, so a report line cannot make the sheet run anything.
FORMULA_START = ("=", "+", "-", "@", "\t", "\r")


def spreadsheet_cell(text: str) -> str:
    return "'" + text if text.startswith(FORMULA_START) else text


def write_csv(s: Summary, path: str):
    # UTF-8 with a byte order mark: spreadsheets then read non-ASCII names right.
    with open(path, "w", encoding="utf-8-sig", newline="") as f:
        writer = csv.writer(f, lineterminator="\r\n")
        writer.writerow(REPLACE_HEADER)
        for p in s.replace:
            writer.writerow([spreadsheet_cell(c) for c in (p.time, p.product, p.number, p.name, p.serial)]
                            + [p.packs])


BAR_COLOURS = {"replace": "#c0392b", "no target": "#2e7d32", "library unavailable": "#7f6000",
               "no battery": "#546e7a"}


def verdict_chart(s: Summary) -> str:
    """A horizontal bar per verdict, as inline SVG."""
    label_w, bar_w, row_h = 150, 360, 28
    top = max([n for _, n, _ in s.by_verdict] + [1])
    parts = ['<svg xmlns="http://www.w3.org/2000/svg" role="img" aria-label="Machines by verdict" '
             'width="%d" height="%d" font-family="sans-serif" font-size="13">' % (label_w + bar_w + 60,
                                                                                   row_h * len(s.by_verdict))]
    for i, (name, n, _) in enumerate(s.by_verdict):
        y = i * row_h
        length = round(bar_w * n / top)
        parts.append('<text x="%d" y="%d" text-anchor="end">%s</text>' % (label_w - 8, y + 18, html.escape(name)))
        parts.append('<rect x="%d" y="%d" width="%d" height="%d" fill="%s"/>' % (
            label_w, y + 5, length, row_h - 10, BAR_COLOURS[name]))
        parts.append('<text x="%d" y="%d">%d</text>' % (label_w + length + 6, y + 18, n))
    parts.append("</svg>")
    return "".join(parts)


def html_table(header: Sequence[str], rows: Sequence[Sequence[str]]) -> str:
    if not rows:
        return "<p>none</p>"
    head = "".join("<th>%s</th>" % html.escape(h) for h in header)
    body = "".join("<tr>%s</tr>" % "".join("<td>%s</td>" % html.escape(c) for c in r) for r in rows)
    return "<table><thead><tr>%s</tr></thead><tbody>%s</tbody></table>" % (head, body)


def write_html(s: Summary, path: str):
    e = html.escape
    body = ["<h1>Battery pack check: fleet summary</h1>"]
    body += ["<p>%s</p>" % e(f) for f in facts(s)]
    if s.malformed:
        body.append("<h2>Malformed lines</h2>")
        body.append(html_table(("Report", "Line", "Why", "Text"),
                               [(m.source, str(m.line_no), m.reason, m.text) for m in s.malformed]))
    for i, (title, header, rows) in enumerate(tables(s)):
        body.append("<h2>%s</h2>" % e(title))
        if i == 0:
            body.append(verdict_chart(s))
        body.append(html_table(header, rows))
    note = several_note(s)
    if note:
        body.append("<p>%s</p>" % e(note))
    page = ("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
            # Nothing on the page loads or runs anything.
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">"
            "<title>Battery pack check: fleet summary</title><style>"
            "body{font-family:sans-serif;margin:2em}table{border-collapse:collapse;margin:.5em 0 1.5em}"
            "th,td{border:1px solid #bbb;padding:.25em .6em;text-align:left}th{background:#eee}"
            "</style></head><body>\n%s\n</body></html>\n" % "\n".join(body))
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(page)


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = argparse.ArgumentParser(description="Summarise the CSV reports of Cellwise.exe -logcsv.")
    parser.add_argument("reports", nargs="+", metavar="REPORT", help="report file, folder of *.csv, or pattern")
    parser.add_argument("--csv", metavar="FILE", help="write the machines to replace as UTF-8 CSV")
    parser.add_argument("--html", metavar="FILE", help="write the summary as one HTML page")
    args = parser.parse_args(argv)
    # A console or file that cannot show a battery's name gets a stand-in, not a failure.
    if hasattr(sys.stdout, "reconfigure"):
        sys.stdout.reconfigure(errors="replace")

    paths = expand(args.reports)
    if not paths:
        print("fleet_summary: no report matches %s" % " ".join(args.reports), file=sys.stderr)
        return 1
    try:
        summary = read_reports(paths)
    except OSError as error:
        print("fleet_summary: cannot read %s: %s" % (error.filename, error.strerror), file=sys.stderr)
        return 1
    sys.stdout.write(format_text(summary))
    try:
        if args.csv:
            write_csv(summary, args.csv)
        if args.html:
            write_html(summary, args.html)
    except OSError as error:
        print("fleet_summary: cannot write %s: %s" % (error.filename, error.strerror), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
