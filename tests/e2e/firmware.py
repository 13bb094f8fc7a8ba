"""The firmware side of a simulated notebook, for black-box runs of hwlink.dll.

hwlink.dll (from the side's CW_SHIP_DIR) is driven by the scenario tool hwcall.exe
(tests/sim/khwport, of the same bitness), which loads it, calls exports by name and writes
one JSON object per step. Behind it the simulated driver KHWPORT.SYS, installed
with the library's own KernelDrv_Install from the current directory as a user
would, answers from a firmware model that each scenario configures and records
every request the library sends. A scenario describes that firmware by the field
names of tests/sim/khwport/khwport_sim.h, and hwcall.exe lays the description out
as that header does: nothing here knows the configuration's bytes. The steps of a
run are found by their labels (Results), never by their position. The
embedded-controller library ecsim.dll is configured through the environment of
the program that loads it.

Wine's output goes to files, never to a pipe. The side's folders and prefix come
from winerun.
"""
import json
import os
import re
import shutil
import struct
import unittest
from dataclasses import dataclass, field
from pathlib import Path
from typing import Dict, List, Optional, Sequence, Tuple

import winerun
from winerun import SCENARIO_DIR, SHIP_DIR, TEST_BIN, WINE64, WINEPREFIX, dos_path

HWLINK = SHIP_DIR / "hwlink.dll"
HWCALL = TEST_BIN / "hwcall.exe"
ECSIM = TEST_BIN / "ecsim.dll"
DRIVER_VERSIONS = ("1.2.0.5", "1.2.0.6")
INSTALLED_DRIVER = WINEPREFIX / "drive_c" / "windows" / "system32" / "drivers" / "KHWPORT.SYS"
INSTALLED_DRIVER_DOS = "C:\\windows\\system32\\drivers\\KHWPORT.SYS"

# Installing waits for nothing; uninstalling a running driver waits at least 3 s.
RUN_TIMEOUT = 120

# hwlink.dll's status codes.
OK = 0
CHANNEL_BUSY = 0x10001
INVALID_ARGUMENT = 0x10002
DEVICE_UNAVAILABLE = 0x10003
REQUEST_FAILED = 0x10005
REPLY_SIZE = 0x10006
BUFFER_TOO_SMALL = 0x10007
GABI_ABSENT = 0x1000B
STOP_FAILED = 0x1000E
DRIVER_FILE_MISSING = 0x10010
CREATE_FAILED = 0x10012
INSTALLED_NEWER = 0x10014
INSTALLED_OLDER = 0x10015
INSTALLED_SAME = 0x10016
FIRMWARE_BASE = 0x20000
ENTER_FAILED = 0x2D000
FUNCTION_FAILED = 0x2E000
EXIT_FAILED = 0x2F000

# I/O control codes of the product.
READ_NBE = 0x22E080
SMBIOS_ENTRY = 0x22E084
SMBIOS_TABLE = 0x22E088
GABI_PRESENT = 0x22E090
GABI_ENTRY = 0x22E08C
GABI_CALL = 0x22E096
SDA_READ = 0x22E09A
SDA_WRITE = 0x22E09E
PORT_READ = 0x22E0A0
PORT_WRITE = 0x22E0A4
NVRAM_CALL = 0x22E0AA
MEMORY_READ = 0x22E3C2

# Service control manager.
SERVICE_STOPPED = 1
SERVICE_RUNNING = 4
ERROR_SERVICE_DOES_NOT_EXIST = 1060
DEMAND_START = 3

# hwcall's markers for outputs that must stay untouched.
UNSET32 = 0xEEEEEEEE
UNSET16 = 0xEEEE

# How the simulated driver answers a call (modes of tests/sim/khwport/khwport_sim.h),
# and the service handle its enter returns.
REPLY, FAIL, SHORT = "reply", "fail", "short"
SERVICE_HANDLE = 0x4B485031

NVMISC = 0x8001


# --------------------------------------------------------------------------
# The firmware model


@dataclass
class Rule:
    """How the firmware answers the first call matching class, function, version (0: any).

    A directory query is class 1 with the looked-up class as its function."""
    service_class: int
    function: int
    version: int = 0
    mode: str = REPLY
    words: Tuple[int, ...] = (1, 1, 0, 0)
    data: bytes = b""
    at: int = 8

    def describe(self) -> str:
        words = (tuple(self.words) + (0, 0, 0, 0))[:4]
        fields = ["rule", "serviceClass=0x%X" % self.service_class, "function=0x%X" % self.function,
                  "version=%d" % self.version, "mode=" + self.mode]
        fields += ["word%d=0x%X" % (i + 1, w) for i, w in enumerate(words)]
        fields.append("dataOffset=%d" % self.at)
        if self.data:
            fields.append("data=" + self.data.hex())
        return " ".join(fields)


@dataclass
class Firmware:
    presence: int = 1
    presence_mode: str = REPLY
    entry: bytes = b""
    rules: List[Rule] = field(default_factory=list)
    devfw_count: int = 0  # records in the device firmware list

    def on(self, service_class: int, function: int, *words: int, data: bytes = b"", version: int = 0,
           mode: str = REPLY) -> "Firmware":
        self.rules.append(Rule(service_class, function, version, mode, words or (1, 1), data))
        return self

    def directory(self, service_class: int, size: int, *words: int) -> "Firmware":
        self.rules.append(Rule(1, service_class, words=words or (1, 1), data=struct.pack("<H", size), at=2))
        return self

    def describe(self) -> str:
        """The description hwcall.exe turns into the driver's configuration."""
        fields = ["presence=0x%X" % self.presence, "presenceMode=" + self.presence_mode,
                  "devfwCount=%d" % self.devfw_count]
        if self.entry:
            fields.append("entry=" + self.entry.hex())
        return " ".join(fields + [r.describe() for r in self.rules])


# --------------------------------------------------------------------------
# What the driver recorded


@dataclass
class Call:
    """One GABI frame as the driver received it (extra: an extended frame's fourth part)."""
    frame: bytes
    control: bytes
    input: bytes
    output: bytes
    code: int = GABI_CALL
    extra: bytes = b""

    @property
    def service_class(self):
        return struct.unpack_from("<H", self.control, 2)[0]

    @property
    def function(self):
        return struct.unpack_from("<H", self.control, 4)[0]

    @property
    def version(self):
        return struct.unpack_from("<H", self.input, 2)[0] if len(self.input) >= 4 else None

    @property
    def category(self):
        return struct.unpack_from("<H", self.control, 12)[0]

    @property
    def handle(self):
        return struct.unpack_from("<I", self.input, 4)[0] if len(self.input) >= 8 else None

    def step(self):
        """(class, function), with a directory query as ("dir", looked-up class)."""
        return ("dir", self.function) if self.service_class == 1 else (self.service_class, self.function)


def parse_frame(data: bytes, code: int = GABI_CALL) -> Call:
    lc, li, lo = struct.unpack_from("<3H", data, 0)
    if 6 + lc + li + lo != len(data):
        raise AssertionError("frame of %d bytes with header %d/%d/%d" % (len(data), lc, li, lo))
    return Call(data, data[6:6 + lc], data[6 + lc:6 + lc + li], data[6 + lc + li:], code)


def parse_extended_frame(data: bytes, code: int) -> Optional[Call]:
    """A GabiExtendedFrame, or None for a buffer whose header does not add up."""
    if len(data) < 10:
        return None
    lc, li, lo, le = struct.unpack_from("<3HI", data, 0)
    if 10 + lc + li + lo + le != len(data) or lc < 16:
        return None
    i, o, e = 10 + lc, 10 + lc + li, 10 + lc + li + lo
    return Call(data, data[10:i], data[i:o], data[o:e], code, data[e:])


@dataclass
class Record:
    code: int
    size: int
    data: bytes


class Log:
    def __init__(self, step: dict):
        if not step.get("ok"):
            raise AssertionError("reading the driver's record failed: %r" % step)
        if step["dropped"]:
            raise AssertionError("the driver dropped %d records" % step["dropped"])
        self.records = [Record(r["code"], r["size"], bytes.fromhex(r["data"])) for r in step["records"]]

    def codes(self) -> List[int]:
        return [r.code for r in self.records]

    def calls(self) -> List[Call]:
        """Every firmware call: GABI and NVRAM frames, and extended frames."""
        out = []
        for r in self.records:
            if r.code in (GABI_CALL, NVRAM_CALL):
                out.append(parse_frame(r.data, r.code))
            elif r.code in (SDA_READ, SDA_WRITE):
                extended = parse_extended_frame(r.data, r.code)
                if extended:
                    out.append(extended)
        return out

    def inputs(self, code: int) -> List[bytes]:
        """The input bytes of every request with `code` (ports, memory)."""
        return [r.data for r in self.records if r.code == code]

    def steps(self):
        return [c.step() for c in self.calls()]


# --------------------------------------------------------------------------
# Runs of hwcall.exe


class Step(str):
    """One step of hwcall.exe's command line; its result is found by `label`."""
    label: str

    def __new__(cls, text: str, label: str) -> "Step":
        step = super().__new__(cls, text)
        step.label = label
        return step


def label_of(step: str) -> str:
    """A Step's label; a plain step ("service=query", "mismatch") is labelled by its key."""
    return step.label if isinstance(step, Step) else step.split("=", 1)[0]


def call(name: str, *args, label: Optional[str] = None) -> Step:
    """A call step: call=<export>[|arg...] ('|' cannot occur in a Windows path).
    Labelled by the export's name unless given another label."""
    text = ["call=" + name]
    for a in args:
        text.append(("0x%X" % a) if isinstance(a, int) else str(a))
    return Step("|".join(text), label or name)


def configure(firmware: Firmware, label: str = "config") -> Step:
    return Step("config=" + firmware.describe(), label)


def log(label: str = "log") -> Step:
    """The driver's record of the requests since the last configuration."""
    return Step("log", label)


LOG = log()


def cd(folder) -> Step:
    return Step("cd=" + dos_path(folder), "cd")


def service(action: str, label: str = "service") -> Step:
    """The KHWPORT service without the library: query, stop, start or delete."""
    return Step("service=" + action, label)


class Results:
    """hwcall's result objects of one run, found by the labels of their steps. A
    label that more than one step carries cannot be looked up."""

    def __init__(self, steps: Sequence[str], results: Sequence[dict]):
        self._labelled = [(label_of(step), result) for step, result in zip(steps, results)]

    def __getitem__(self, label: str) -> dict:
        if not isinstance(label, str):
            raise TypeError("results are found by label, not by position")
        found = [result for carried, result in self._labelled if carried == label]
        if len(found) != 1:
            raise KeyError("%d steps are labelled %r" % (len(found), label))
        return found[0]

    def log(self, label: str = "log") -> "Log":
        return Log(self[label])

    def calls(self) -> List[dict]:
        """The results of every call step, in order."""
        return [result for _, result in self._labelled if result.get("step") == "call"]


class Named:
    """Stands in for a test case where a class-level set-up needs a scratch folder."""

    def __init__(self, name: str):
        self.name = name

    def id(self) -> str:
        return self.name


class Bench:
    """A scratch folder and the runs of hwcall.exe made in it."""

    def __init__(self, test, suffix: str = ""):
        self.folder = winerun.fresh_folder(SCENARIO_DIR, test.id(), suffix)
        self.runs = 0

    def driver_folder(self, version: Optional[str]) -> Path:
        """A folder holding the given build of KHWPORT.SYS, or none (version None)."""
        folder = self.folder / ("driver-" + (version or "none"))
        if not folder.is_dir():
            folder.mkdir()
            if version:
                shutil.copy2(TEST_BIN / "khwport" / version / "KHWPORT.SYS", folder / "KHWPORT.SYS")
        return folder

    def run(self, *steps: str, cwd=None, env: Optional[Dict[str, str]] = None) -> Results:
        """Runs the steps in one process; returns hwcall's result objects by label."""
        n = self.runs
        self.runs += 1
        results = self.folder / ("run%d.json" % n)
        out, err = self.folder / ("run%d.stdout" % n), self.folder / ("run%d.stderr" % n)
        environment = dict(os.environ)
        environment.update(env or {})
        results.unlink(missing_ok=True)
        code = winerun.run([WINE64, str(HWCALL), dos_path(HWLINK), dos_path(results), *steps], out, err,
                           ran=lambda: results.exists() or winerun.has_output(out, err), timeout=RUN_TIMEOUT,
                           cwd=cwd or self.folder, env=environment)
        lines = results.read_text().splitlines() if results.exists() else []
        parsed = [json.loads(line) for line in lines]
        if code != 0:
            raise AssertionError("hwcall ended with %d after %s: %s" % (
                code, parsed[-1] if parsed else "no step", err.read_text(errors="replace")))
        if len(parsed) != len(steps):
            raise AssertionError("%d steps gave %d results (stderr: %s)" % (
                len(steps), len(parsed), err.read_text(errors="replace")))
        for step, result in zip(steps, parsed):
            if result.get("step") == "config" and not result.get("ok"):
                raise AssertionError("configuring the firmware failed: %s" % result)
            if result.get("step") == "call" and result.get("bound") is False:
                raise AssertionError("%s is not exported" % result["name"])
            if result.get("balanced") is False:
                raise AssertionError("%s left the stack pointer where its declared calling convention does not"
                                     % result["name"])
        return Results(steps, parsed)


def remove_driver(bench: Bench):
    """Leaves the prefix without the KHWPORT service and file, whatever a run left."""
    results = bench.run(call("KernelDrv_UnInstall"), service("query"), cwd=bench.driver_folder(None))
    removed, left = results["KernelDrv_UnInstall"], results["service"]
    if removed["status"] != OK or left.get("error") != ERROR_SERVICE_DOES_NOT_EXIST:
        raise AssertionError("could not remove the driver: %r, %r" % (removed, left))


def install_driver(bench: Bench, version: str = "1.2.0.5"):
    status = bench.run(call("KernelDrv_Install"), cwd=bench.driver_folder(version))["KernelDrv_Install"]["status"]
    if status != OK:
        raise AssertionError("KernelDrv_Install gave 0x%X" % status)


class DriverScenario(unittest.TestCase):
    """Scenarios that share one installation of the simulated driver, 1.2.0.5."""

    @classmethod
    def setUpClass(cls):
        if not HWCALL.is_file() or not HWLINK.is_file():
            raise unittest.SkipTest("hwcall.exe or hwlink.dll not built")
        bench = Bench(Named(cls.__name__ + ".setUp"))
        remove_driver(bench)
        install_driver(bench, "1.2.0.5")

    @classmethod
    def tearDownClass(cls):
        remove_driver(Bench(Named(cls.__name__ + ".tearDown")))


# --------------------------------------------------------------------------
# The embedded-controller library (for runs of Cellwise.exe)

EC_REGISTRY_KEY = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane\\NRV0A17"


def system_info_firmware(system_id: int) -> Firmware:
    """Firmware whose NVMISC system information names `system_id` (the rest zero)."""
    return Firmware().on(NVMISC, 3, data=struct.pack("<I", system_id) + bytes(6))


def ec_folder(bench: Bench) -> Path:
    """A folder holding ecsim.dll, to register as the controller library."""
    folder = bench.folder / "ec"
    folder.mkdir(exist_ok=True)
    shutil.copy2(ECSIM, folder / "ecsim.dll")
    return folder


def ec_environment(value: int = 3, flags: int = 0x10, devinfo_result: int = 0, read_result: int = 0,
                   trace=None) -> Dict[str, str]:
    """Environment that makes ecsim.dll answer as given."""
    env = {"CW_ECSIM_VALUE": "0x%X" % value, "CW_ECSIM_FLAGS": "0x%X" % flags,
           "CW_ECSIM_DEVINFO_RESULT": str(devinfo_result), "CW_ECSIM_READ_RESULT": str(read_result)}
    if trace:
        env["CW_ECSIM_TRACE"] = dos_path(trace)
    return env


def register_ec_library(folder: Path, dll_name: str = "ecsim.dll", trailing_backslash: bool = False):
    """Registers the controller library (copy ECSIM into `folder` first) under EC_REGISTRY_KEY,
    in the registry view of the programs under test (a 32-bit program loads a 32-bit library)."""
    inst = dos_path(folder) + ("\\" if trailing_backslash else "")
    for name, value in (("InstPath", inst), ("DllName", dll_name)):
        winerun.reg("add", EC_REGISTRY_KEY, "/v", name, "/t", "REG_SZ", "/d", value, "/f")


def unregister_ec_library():
    winerun.reg("delete", EC_REGISTRY_KEY, "/f", check=False)


def read_trace(path: Path) -> List[str]:
    return path.read_text().splitlines() if path.exists() else []


def words(result: dict, count: int = 3) -> Tuple[int, ...]:
    return tuple(result["s%d" % (i + 1)] for i in range(count))


def fields(result: dict, *names: str) -> Sequence:
    return tuple(result[n] for n in names)
