"""A simulated notebook for black-box runs of Cellwise.exe under Wine.

A Scenario is one fresh folder under CW_SCENARIO_DIR holding Cellwise.exe and the
wanted variant of battery.dll. The batteries come from the simulated battery class
driver (tests/sim/battery), set up by batctl.exe in one Wine process. Runs write
Wine's output to files, never to a pipe: Wine's background processes would hold a
pipe open.

The side's folders and prefix come from winerun.
"""
import datetime
import os
import re
import shutil
import struct
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import List, Optional, Sequence, Tuple

import winerun
from winerun import SCENARIO_DIR, SHIP_DIR, TEST_BIN, WINE64, dos_path

# A scenario that hangs (a dialog waiting for a click) must not stall the whole set.
RUN_TIMEOUT = 30

# UI languages as Wine derives them from the locale.
LOCALE_EN = "en_US.UTF-8"  # 0x0409
LOCALE_JA = "ja_JP.UTF-8"  # 0x0411

# Exit codes of Cellwise.exe.
EXIT_TARGET = 0
EXIT_NO_TARGET = 1
EXIT_REJECTED = 2
EXIT_LIBRARY = 3
EXIT_NO_BATTERY = 4
EXIT_LANGUAGE = 5

# Event kinds as written into the log.
ERROR = "ERROR"
INFORMATION = "INFORMATION"

# Event texts of the battery query.
SERIAL_EMPTY = "serial number is empty. try to use SMBIOS later\r\n"
TAG_FAILED = "Failed to call IOCTL_BATTERY_QUERY_TAG"
LEVEL_FAILED = {
    4: "Failed to get BatteryDeviceName",
    6: "Failed to get BatteryManufactureName",
    8: "Failed to get BatterySerialNumber (DeviceIoControl)",
}

# Cellwise.exe's own message 132 (battery.dll unavailable).
TEXT_132 = {
    0x0409: "The necessary file is not found. The package is corrupted.\r\n"
            "Run this tool after getting the tool again.",
    0x0411: "ツールを実行するのに必要なファイルが見つかりませんでした。パッケージが壊れています。\r\n"
            "ツールを再度取得してから実行してください。",
}

BATTERY_CLASS = "{72631e54-78a4-11d0-bcf7-00aa00b7b32a}"


def device_path(index: int) -> str:
    """The interface path SetupAPI reports for simulated battery <index>."""
    return "\\\\?\\root#battery#%d#%s" % (index, BATTERY_CLASS)


def identity_text(name: str, maker: str, serial: str, index: int) -> str:
    """Text of the INFORMATION 20 event of a queried battery device."""
    return "Name:%s\r\nManufacturer:%s\r\nSerial:%s\r\npath:%s" % (name, maker, serial, device_path(index))


# --------------------------------------------------------------------------
# Simulated batteries


@dataclass(frozen=True)
class Battery:
    """What one battery device reports. `fail` is None, "tag", 4, 6 or 8."""
    name: str = ""
    maker: str = ""
    serial: str = ""
    fail: object = None
    unterminated: bool = False

    def argument(self) -> str:
        def esc(text):
            raw = text.encode("utf-16-le")
            units = struct.unpack("<%dH" % (len(raw) // 2), raw)
            return "".join(chr(u) if 0x20 < u < 0x7F and chr(u) not in ";=%" else "%%%04X" % u for u in units)
        fields = ["name=" + esc(self.name), "maker=" + esc(self.maker), "serial=" + esc(self.serial)]
        if self.fail is not None:
            fields.append("fail=%s" % self.fail)
        if self.unterminated:
            fields.append("unterminated")
        return ";".join(fields)


class Notebook:
    """The batteries of the prefix. Installing the same set again is free."""
    _installed: Optional[Tuple[Battery, ...]] = None

    @classmethod
    def _batctl(cls, *args):
        scratch = SCENARIO_DIR / "batctl"
        scratch.mkdir(parents=True, exist_ok=True)
        out, err = scratch / "stdout.txt", scratch / "stderr.txt"
        rc = winerun.run([WINE64, str(TEST_BIN / "batctl.exe"), *args], out, err, timeout=RUN_TIMEOUT)
        if rc != 0:
            cls._installed = None
            raise RuntimeError("batctl %s failed with %d: %s" % (
                args[0], rc, err.read_text(errors="replace").strip()))

    @classmethod
    def install(cls, batteries: Sequence[Battery]):
        batteries = tuple(batteries)
        if batteries != cls._installed:
            cls._batctl("setup", *(b.argument() for b in batteries))
            cls._installed = batteries

    @classmethod
    def clear(cls):
        cls._batctl("clear")
        cls._installed = None

    @classmethod
    def probe(cls) -> List[str]:
        """What a battery class client sees (batprobe.exe), one line per answer."""
        scratch = SCENARIO_DIR / "batprobe"
        scratch.mkdir(parents=True, exist_ok=True)
        out, err = scratch / "stdout.txt", scratch / "stderr.txt"
        rc = winerun.run([WINE64, str(TEST_BIN / "batprobe.exe")], out, err, timeout=RUN_TIMEOUT)
        if rc != 0:
            raise RuntimeError("batprobe failed with %d: %s" % (rc, out.read_text(errors="replace")))
        return out.read_text().splitlines()


# --------------------------------------------------------------------------
# The event log


@dataclass
class Event:
    stamp: datetime.datetime
    kind: str
    id: int
    text: str
    raw_stamp: str = field(repr=False, default="")

    def key(self):
        return (self.kind, self.id, self.text)


_HEADER = re.compile(r"---\r\n(\d{4})/(\d{2})/(\d{2}) (\d{2}):(\d{2}):(\d{2})\.(\d{3}), ([A-Z]*), id=(-?\d+)\r\n")


def format_record(stamp: str, kind: str, event_id: int, text: str) -> bytes:
    """One record as the log holds it; `stamp` is "YYYY/MM/DD hh:mm:ss.mmm"."""
    return ("---\r\n%s, %s, id=%d\r\n%s\r\n" % (stamp, kind, event_id, text)).encode("utf-16-le")


def parse_records(data: bytes) -> List[Event]:
    """Records of a byte run that must consist of whole records and nothing else."""
    if len(data) % 2:
        raise AssertionError("records of odd byte length %d" % len(data))
    text = data.decode("utf-16-le", "surrogatepass")
    headers = list(_HEADER.finditer(text))
    if text and (not headers or headers[0].start() != 0):
        raise AssertionError("log does not start with a record: %r" % text[:80])
    events = []
    for i, h in enumerate(headers):
        end = headers[i + 1].start() if i + 1 < len(headers) else len(text)
        body = text[h.end():end]
        if not body.endswith("\r\n"):
            raise AssertionError("record text not ended by CR LF: %r" % body)
        y, mo, d, hh, mi, ss, ms = (int(g) for g in h.groups()[:7])
        events.append(Event(datetime.datetime(y, mo, d, hh, mi, ss, ms * 1000), h.group(8), int(h.group(9)),
                            body[:-2], text[h.start() + 5:h.start() + 28]))
    return events


def parse_log(data: bytes, old: bytes = b"") -> List[Event]:
    """Events of a log file that held `old` before the run (a missing file: b""). A new
    or empty file gets the byte order mark first; an existing one keeps its bytes."""
    start = old or b"\xff\xfe"
    if data[:len(start)] != start:
        raise AssertionError("log does not begin with %r: %r" % (start[:8], data[:8]))
    return parse_records(data[len(start):])


# --------------------------------------------------------------------------
# Strings of battery.dll, read from its resources like the loader does


def _rva_to_offset(sections, rva):
    for va, size, raw in sections:
        if va <= rva < va + size:
            return rva - va + raw
    raise ValueError("RVA 0x%x outside every section" % rva)


def library_string(path, string_id: int, language: int) -> str:
    """String `string_id` of language `language` from a PE file's string table."""
    data = Path(path).read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("%s: no PE header" % path)
    count, opt_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    directories = opt + (96 if magic == 0x10B else 112)
    res_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    sections = []
    for i in range(count):
        s = opt + opt_size + 40 * i
        vsize, va, raw_size, raw = struct.unpack_from("<IIII", data, s + 8)
        sections.append((va, max(vsize, raw_size), raw))
    base = _rva_to_offset(sections, res_rva)

    def entry(directory, wanted):
        named, ids = struct.unpack_from("<HH", data, base + directory + 12)
        for k in range(named + ids):
            name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * k)
            if not name & 0x80000000 and name == wanted:
                return target
        raise KeyError(wanted)

    block = entry(entry(0, 6) & 0x7FFFFFFF, string_id // 16 + 1) & 0x7FFFFFFF
    leaf = entry(block, language)
    rva, size = struct.unpack_from("<II", data, base + leaf)
    at = _rva_to_offset(sections, rva)
    for _ in range(string_id % 16):
        at += 2 + 2 * struct.unpack_from("<H", data, at)[0]
    length = struct.unpack_from("<H", data, at)[0]
    return data[at + 2:at + 2 + 2 * length].decode("utf-16-le")


# --------------------------------------------------------------------------
# Scenarios


class Library:
    """Variants of battery.dll beside Cellwise.exe."""
    SIGNED = "signed"          # signed by the trusted test CA
    UNSIGNED = "unsigned"      # the file as it is built and shipped
    TAMPERED = "tampered"      # signed, then one byte changed
    EXPIRED = "expired"        # signed with a leaf whose validity has ended
    MISSING = "missing"
    DIRECTORY = "directory"    # a folder named battery.dll

    SOURCES = {
        SIGNED: ("signed", "battery.dll"),
        TAMPERED: ("signed", "battery-tampered.dll"),
        EXPIRED: ("signed", "battery-expired.dll"),
    }

    @classmethod
    def source(cls, variant) -> Optional[Path]:
        if variant == cls.UNSIGNED:
            return SHIP_DIR / "battery.dll"
        if variant in cls.SOURCES:
            return TEST_BIN.joinpath(*cls.SOURCES[variant])
        return None

    @classmethod
    def place(cls, variant, folder: Path) -> Optional[Path]:
        """Puts the variant into `folder` as battery.dll. Returns the source file
        that is not built yet, if any (then nothing was placed)."""
        target = folder / "battery.dll"
        if variant == cls.DIRECTORY:
            target.mkdir()
        elif variant != cls.MISSING:
            source = cls.source(variant)
            if not source.is_file():
                return source
            shutil.copy2(source, target)
        return None


KEEP = object()  # leave the batteries of the previous run in place


@dataclass(frozen=True)
class Window:
    """A top-level window a run showed: a message box has the class "#32770"."""
    cls: str
    caption: str
    text: str
    icon: bool


CAPTION = "NORVANE Battery Check Tool"


def message_box(text: str, icon: bool) -> Window:
    return Window("#32770", CAPTION, text, icon)


_WINDOW = re.compile(r"window class=(.*?) caption=(.*?) text=(.*) icon=([01])$")


def _unescape(text: str) -> str:
    return re.sub(r"\\(.)", lambda m: {"r": "\r", "n": "\n"}.get(m.group(1), m.group(1)), text)


@dataclass
class Run:
    code: int
    seconds: float
    started: datetime.datetime
    ended: datetime.datetime


class Scenario:
    """One folder with Cellwise.exe and a battery.dll variant, and the runs made in it."""

    def __init__(self, test, library=Library.SIGNED, suffix: str = ""):
        self.folder = winerun.fresh_folder(SCENARIO_DIR, test.id(), suffix)
        shutil.copy2(SHIP_DIR / "Cellwise.exe", self.folder / "Cellwise.exe")
        self.library = library
        unbuilt = Library.place(library, self.folder)
        if unbuilt:
            raise FileNotFoundError("%s battery.dll not built: %s" % (library, unbuilt))
        self.runs: List[Run] = []
        self.windows: List[Window] = []

    def path(self, name: str) -> Path:
        return self.folder / name

    def dos(self, name: str) -> str:
        return dos_path(self.folder / name)

    @property
    def log(self) -> Path:
        return self.path("event.log")

    def run(self, *args: str, batteries=KEEP, locale: str = LOCALE_EN, env=None) -> int:
        """Runs Cellwise.exe with exactly `args` in the scenario folder; returns its exit code.
        The windows it showed (and that winwatch answered) are in self.windows afterwards."""
        if batteries is not KEEP:
            Notebook.install(batteries)
        extra = env or {}
        env = dict(os.environ)
        env.pop("LANGUAGE", None)
        env["LC_ALL"] = locale
        env.update(extra)
        n = len(self.runs)
        out, err = self.path("run%d.stdout" % n), self.path("run%d.stderr" % n)
        report = self.path("run%d.windows" % n)
        started, t0 = datetime.datetime.now(), time.monotonic()
        report.unlink(missing_ok=True)
        # winwatch opens its report before it starts the program: no report, no run.
        code = winerun.run([WINE64, str(TEST_BIN / "winwatch.exe"), dos_path(report), self.dos("Cellwise.exe"), *args],
                           out, err, ran=report.exists, timeout=RUN_TIMEOUT, cwd=self.folder, env=env)
        self.runs.append(Run(code, time.monotonic() - t0, started, datetime.datetime.now()))
        lines = report.read_text(encoding="utf-8").splitlines() if report.exists() else []
        if "timeout" in lines:
            raise AssertionError("Cellwise.exe %s did not end" % " ".join(args))
        if "exit=%d" % code not in lines:
            raise RuntimeError("winwatch failed (%d): %s" % (code, lines))
        self.windows = [Window(*(_unescape(g) for g in m.groups()[:3]), m.group(4) == "1")
                        for m in map(_WINDOW.match, lines) if m]
        return code

    def check(self, *args: str, batteries=KEEP, locale: str = LOCALE_EN, env=None) -> Tuple[int, List[Event]]:
        """A silent run logged to a fresh event.log: exit code and the events of the run."""
        if self.log.exists():
            self.log.unlink()
        code = self.run("-silent", "-log", self.dos("event.log"), *args, batteries=batteries, locale=locale, env=env)
        if self.windows:
            raise AssertionError("windows shown despite -silent: %s" % self.windows)
        return code, self.events()

    def events(self, name: str = "event.log", old: bytes = b"") -> List[Event]:
        return parse_log(self.path(name).read_bytes(), old)

    def files(self) -> List[str]:
        """Names in the folder other than the program, the library and the run output."""
        return sorted(p.name for p in self.folder.iterdir()
                      if p.name not in ("Cellwise.exe", "battery.dll") and not re.match(r"run\d+\.", p.name))


# --------------------------------------------------------------------------
# Sample data of battery.dll and expected events

# Batteries built from the lists of battery.dll: model list + serial range
# 100000..109999, individual pairs, maker "Norvane".
TARGET = Battery("NRV-BP41A", "Norvane", "2307Z104512Z")
TARGET_B = Battery("NRV-BP52", "Norvane", "2310Z100001Z")
NON_TARGET = Battery("NRV-BP41A", "Norvane", "2307Z110000Z")


def library_text(string_id: int, language: int = 0x0409) -> str:
    return library_string(SHIP_DIR / "battery.dll", string_id, language)


def identity(battery: Battery, index: int, name=None, maker=None, serial=None):
    """The INFORMATION 20 event of a queried device; texts that were not read are passed as ""."""
    return (INFORMATION, 20, identity_text(battery.name if name is None else name,
                                           battery.maker if maker is None else maker,
                                           battery.serial if serial is None else serial, index))


def result(code: int):
    return (INFORMATION, 1, "result=%d" % code)


def error10(text: str):
    return (ERROR, 10, text)


def message132(language: int = 0x0409):
    return (ERROR, 132, TEXT_132[language])


def message113(language: int = 0x0409):
    return (INFORMATION, 113, library_text(113, language))


class CellwiseCase:
    """Mixin for unittest.TestCase classes of Cellwise scenarios."""
    maxDiff = None

    def scenario(self, library=Library.SIGNED, suffix: str = "") -> Scenario:
        return Scenario(self, library, suffix)

    def assertEvents(self, events: List[Event], expected):
        self.assertEqual([e.key() for e in events], list(expected))

    def assertStampsWithin(self, events: List[Event], run: Run):
        """Local-time stamps taken during the run, in order."""
        slack = datetime.timedelta(seconds=2)
        for e in events:
            self.assertTrue(run.started - slack <= e.stamp <= run.ended + slack,
                            "stamp %s outside the run %s..%s" % (e.stamp, run.started, run.ended))
        self.assertEqual([e.stamp for e in events], sorted(e.stamp for e in events))
