"""A fleet of simulated notebooks checked into one report, as a management system
runs Cellwise.exe on each: -silent, a local event log, and one line per run
appended to the report on the share.

One Wine prefix simulates one set of batteries at a time (tests/sim/battery), so
the fleet is checked in rounds: the notebooks that hold the same packs are checked
at once. Each run is a notebook of its own through its environment: the product
name and identifying number WMI gives (wmisim.dll) and its embedded controller's
value (ecsim.dll), which with the firmware's system identifier (the simulated
KHWPORT driver behind the real hwlink.dll) decides whether the machine is listed
for the firmware update. In one round another program holds the report as the
round begins (holdfile.exe), so its runs meet at the report together.

Used by the fleet scenario (test_cellwise_fleet.py) and by `tools/demo.sh --fleet`,
which runs this module:

    python3 fleet.py --folder DIR [--burst N [--hold S]]

checks the fleet (or, with --burst, N notebooks with the same pack, all at once,
with --hold while the report is held for S seconds) into DIR/share/report.csv and prints what each round took and the summary of the
report (tools/fleet_summary.py).
"""
import argparse
import os
import shutil
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Dict, List, Optional, Sequence, Tuple

import firmware as fw
import winerun
from notebook import (EXIT_LIBRARY, EXIT_NO_BATTERY, EXIT_NO_TARGET, EXIT_TARGET, LOCALE_EN, NON_TARGET,
                      RUN_TIMEOUT, TARGET, TARGET_B, Battery, Library, Notebook)
from winerun import SHIP_DIR, TEST_BIN, WINE64, dos_path

WMISIM = TEST_BIN / "wmisim.dll"
HOLDFILE = TEST_BIN / "holdfile.exe"
WBEM_LOCATOR_SERVER = "HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{4590F811-1D3A-11D0-891F-00AA004B2E24}" \
                      "\\InprocServer32"
WINE_WBEM_LOCATOR = "C:\\windows\\system32\\wbem\\wbemprox.dll"

LISTED_SYSTEM = 0x4E560A17  # with controller value 3, the pair of the sample list 114
LISTED_VALUE, UNLISTED_VALUE = 3, 5

# A run that finds the report or its log held waits up to 30 s, on top of the run.
BUSY_WAIT = 30


@dataclass(frozen=True)
class Machine:
    """One notebook of the fleet. `number` None: WMI is Wine's own ("Wine", "0")."""
    product: str
    number: Optional[str]
    batteries: Tuple[Battery, ...]
    expected: int
    listed: bool = False       # listed for the firmware update
    library: bool = True       # False: its copy of the folder lacks battery.dll
    runs: int = 1              # checked this many times at once (agent and logon script, say)

    @property
    def name(self) -> str:
        return self.number or "wine-default"


def _machines(product: str, prefix: str, first: int, count: int, batteries, expected, **kw) -> List[Machine]:
    return [Machine(product, "%s-%04d" % (prefix, n), tuple(batteries), expected, **kw)
            for n in range(first, first + count)]


@dataclass(frozen=True)
class Round:
    """Notebooks that hold the same packs, checked at once. With `held`, another
    program (a spreadsheet showing the report, say) holds the report against
    writers for that many seconds as the round begins."""
    title: str
    machines: List[Machine]
    held: float = 0


AERO14, AERO16, SLATE13 = "Norvane Aero 14", "Norvane Aero 16", "Norvane Slate 13"

# The fleet: 32 notebooks in the rounds they are checked in. A notebook may come
# again in a later round (checked after its pack was replaced).
REPLACED = _machines(AERO14, "NVA14", 101, 1, [TARGET], EXIT_TARGET)[0]
FLEET: List[Round] = [
    Round("a target pack, model and serial range (NRV-BP41A)",
          [REPLACED] + _machines(AERO14, "NVA14", 102, 6, [TARGET], EXIT_TARGET)
          + [Machine(AERO14, "To Be Filled By O.E.M.", (TARGET,), EXIT_TARGET)]),
    Round("a target pack, listed by its serial (NRV-BP52)",
          _machines(SLATE13, "NVS13", 201, 3, [TARGET_B], EXIT_TARGET)),
    Round("a pack that is not a target, report held 5 s",
          _machines(AERO14, "NVA14", 301, 12, [NON_TARGET], EXIT_NO_TARGET)
          + [Machine(AERO14, "NVA14-0101", (NON_TARGET,), EXIT_NO_TARGET),  # REPLACED, with its new pack
             Machine(AERO14, "NVA14-0313", (NON_TARGET,), EXIT_NO_TARGET, runs=3),
             Machine(AERO16, "NVA16-0401", (NON_TARGET,), EXIT_NO_TARGET, listed=True),
             Machine(AERO16, "NVA16-0402", (NON_TARGET,), EXIT_LIBRARY, library=False),
             Machine("Wine", None, (NON_TARGET,), EXIT_NO_TARGET)],
          held=5),
    Round("no battery",
          _machines(AERO16, "NVA16", 501, 3, [], EXIT_NO_BATTERY)),
    Round("two packs, the second a target",
          _machines(AERO16, "NVA16", 601, 2, [NON_TARGET, TARGET_B], EXIT_TARGET)),
]


def notebooks(fleet=FLEET) -> List[Machine]:
    """Every machine once (a machine checked again counts once)."""
    seen = {}
    for r in fleet:
        for m in r.machines:
            seen.setdefault((m.product, m.number), m)
    return list(seen.values())


def burst(count: int, held: float = 0) -> List[Round]:
    """`count` notebooks with the same pack, checked all at once."""
    title = "%d notebooks at once" % count + (", report held %g s" % held if held else "")
    return [Round(title, _machines(AERO14, "NVB14", 1, count, [NON_TARGET], EXIT_NO_TARGET), held)]


@dataclass
class Run:
    machine: Machine
    code: int
    seconds: float


class Fleet:
    """The folders, registrations and simulated hardware of one fleet check.

    Use as a context manager: it installs the KHWPORT driver with the listed
    system identifier, registers ecsim.dll and wmisim.dll, and undoes all of it."""

    def __init__(self, folder: Path):
        self.folder = folder
        self.app = folder / "app"          # the deployment folder
        self.broken = folder / "app-broken"  # a copy without battery.dll
        self.share = folder / "share"
        self.logs = folder / "logs"
        self.report = self.share / "report.csv"
        self.runs: List[Run] = []
        self.seconds: List[float] = []  # per round, from its start (and the hold's) to its last run's end
        # Per held round: the report's size as the hold began and as it ended.
        self.held_sizes: List[Tuple[int, int]] = []

    def __enter__(self):
        for d in (self.app, self.broken, self.share, self.logs):
            d.mkdir(parents=True)
        for d in (self.app, self.broken):
            shutil.copy2(SHIP_DIR / "Cellwise.exe", d / "Cellwise.exe")
            shutil.copy2(fw.HWLINK, d / "hwlink.dll")
        unbuilt = Library.place(Library.SIGNED, self.app)
        if unbuilt:
            raise FileNotFoundError("signed battery.dll not built: %s" % unbuilt)
        for needed in (fw.HWCALL, fw.ECSIM, WMISIM, HOLDFILE):
            if not needed.is_file():
                raise FileNotFoundError("%s not built" % needed)
        self.bench = fw.Bench(fw.Named("fleet"), "bench")
        try:
            fw.remove_driver(self.bench)
            fw.install_driver(self.bench)
            self.bench.run(fw.configure(fw.system_info_firmware(LISTED_SYSTEM)))
            fw.register_ec_library(fw.ec_folder(self.bench))
            winerun.reg("add", WBEM_LOCATOR_SERVER, "/ve", "/t", "REG_SZ", "/d", dos_path(WMISIM), "/f")
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        winerun.reg("add", WBEM_LOCATOR_SERVER, "/ve", "/t", "REG_SZ", "/d", WINE_WBEM_LOCATOR, "/f", check=False)
        fw.unregister_ec_library()
        fw.remove_driver(self.bench)
        Notebook.clear()
        return False

    def log(self, machine: Machine) -> Path:
        return self.logs / (machine.name + ".log")

    def trace(self, machine: Machine) -> Path:
        return self.logs / (machine.name + ".ec")

    def environment(self, machine: Machine) -> Dict[str, str]:
        env = dict(os.environ, LC_ALL=LOCALE_EN)
        env.pop("LANGUAGE", None)
        env.update(fw.ec_environment(value=LISTED_VALUE if machine.listed else UNLISTED_VALUE,
                                     trace=self.trace(machine)))
        if machine.number is not None:
            env.update(CW_WMISIM_NAME=machine.product, CW_WMISIM_NUMBER=machine.number)
        return env

    def check(self, machine: Machine, n: int) -> Run:
        """One silent run as a management agent starts it."""
        folder = self.app if machine.library else self.broken
        argv = [WINE64, dos_path(folder / "Cellwise.exe"), "-silent", "-log", dos_path(self.log(machine)),
                "-logcsv", dos_path(self.report)]
        out = self.logs / ("run%02d.stdout" % n)
        log = self.log(machine)
        before = log.stat().st_size if log.exists() else 0
        began = time.monotonic()
        # Cellwise.exe writes nothing to its output: that it ran shows in its log,
        # which every run that got as far as its check extends.
        code = winerun.run(argv, out, ran=lambda: log.exists() and log.stat().st_size > before,
                           timeout=RUN_TIMEOUT + 2 * BUSY_WAIT, cwd=folder, env=self.environment(machine))
        return Run(machine, code, time.monotonic() - began)

    @property
    def _marker(self) -> Path:
        return self.logs / "held"

    def hold(self, seconds: float) -> subprocess.Popen:
        """Starts holdfile.exe on the report (made with just its byte order mark when
        missing, as an administrator may lay it out) and waits until it holds it."""
        if not self.report.exists():
            self.report.write_bytes(b"\xff\xfe")
        marker = self._marker
        marker.unlink(missing_ok=True)
        with open(self.logs / "holdfile.out", "ab") as out:
            holder = subprocess.Popen([WINE64, str(HOLDFILE), dos_path(self.report), str(int(seconds * 1000)),
                                       dos_path(marker)], stdin=subprocess.DEVNULL, stdout=out, stderr=out)
        deadline = time.monotonic() + RUN_TIMEOUT
        while not marker.exists():
            if holder.poll() is not None or time.monotonic() > deadline:
                holder.kill()
                raise RuntimeError("holdfile.exe did not hold the report (exit %s)" % holder.wait())
            time.sleep(0.05)
        return holder

    def check_rounds(self, fleet=FLEET, report: Callable[[str], None] = lambda line: None) -> List[Run]:
        """Checks every round's notebooks at once, round after round; returns the runs in start order."""
        for r in fleet:
            batteries = r.machines[0].batteries
            assert all(m.batteries == batteries for m in r.machines), r.title
            Notebook.install(batteries)
            jobs = [m for m in r.machines for _ in range(m.runs)]
            began = time.monotonic()
            holder = self.hold(r.held) if r.held else None
            size = self.report.stat().st_size if holder else 0
            with ThreadPoolExecutor(len(jobs)) as pool:
                done = list(pool.map(self.check, jobs, range(len(self.runs), len(self.runs) + len(jobs))))
            if holder:
                if holder.wait() != 0:
                    raise RuntimeError("holdfile.exe ended with %d" % holder.returncode)
                self.held_sizes.append((size, int(self._marker.read_text())))
            self.runs += done
            self.seconds.append(time.monotonic() - began)
            report("%-52s %3d runs at once, %5.1f s (longest run %4.1f s)" % (
                r.title + ":", len(jobs), self.seconds[-1], max(run.seconds for run in done)))
        return self.runs


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = argparse.ArgumentParser(description="Checks a simulated fleet into one report and summarises it.")
    parser.add_argument("--folder", required=True, type=Path, help="scratch folder (emptied first)")
    parser.add_argument("--burst", type=int, metavar="N", help="N notebooks with the same pack, all at once")
    parser.add_argument("--hold", type=float, default=0, metavar="S",
                        help="with --burst: the report is held against writers for S seconds as they start")
    args = parser.parse_args(argv)
    shutil.rmtree(args.folder, ignore_errors=True)
    fleet = burst(args.burst, args.hold) if args.burst else FLEET
    machines = len(notebooks(fleet))
    runs = sum(m.runs for r in fleet for m in r.machines)
    print("Checking %d simulated notebooks (%d runs in %d rounds) into %s" % (
        machines, runs, len(fleet), args.folder / "share" / "report.csv"), flush=True)
    began = time.monotonic()
    with Fleet(args.folder) as f:
        runs = f.check_rounds(fleet, report=lambda line: print("  " + line, flush=True))
    wrong = [r for r in runs if r.code != r.machine.expected]
    print("All runs took %.1f s; %d of %d ended as expected." % (time.monotonic() - began, len(runs) - len(wrong),
                                                                 len(runs)))
    for r in wrong:
        print("  %s %s: exit code %d, expected %d" % (r.machine.product, r.machine.name, r.code, r.machine.expected))
    print(flush=True)
    sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
    import fleet_summary
    code = fleet_summary.main([str(f.report)])
    return 1 if wrong else code


if __name__ == "__main__":
    sys.exit(main())
