#!/usr/bin/env python3
"""Start benchmark of Cellwise (not a timed test: the suite runs it once, on the
scenario side, as a smoke test, with no goal asserted).

Times, --runs times each and alternating, on a simulated notebook whose pack is a
target (exit code 0):
  - the floor, an empty GUI program (startfloor_empty.exe), against
    Cellwise.exe -silent -noverifysignature;
  - the floor with one WinVerifyTrust of the signed battery.dll
    (startfloor_verify.exe), against Cellwise.exe -silent, which checks that
    signature;
  - Cellwise.exe -silent -log <file> -logcsv <file>, as a management agent runs
    it (the CSV line asks WMI for the machine's name, which opens COM).
Reports the medians, the slowest runs and Cellwise's ratio to each floor (goals:
at most 1.3 and 1.1). --compare <Cellwise.exe> times another build of the program
alongside, for before/after figures. --loaddll <folder> writes, after the timed runs, one
WINEDEBUG=+loaddll trace per program into that folder and prints the DLLs each
run loads.

    tools/bench_start.py [--build build/win64] [--side x86_64|i686] [--runs 10]
                         [--compare <Cellwise.exe>] [--loaddll <folder>] [--keep-wine]

Needs a built test tree (the side's programs, floors, batctl.exe, the signed
battery.dll and the trusting Wine prefix). It starts that prefix's wineserver and
stops it at the end, unless --keep-wine says a fixture runs it (ctest); do not run
it while the same side's tests run.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
WINE = {"x86_64": "/usr/lib/wine/wine64", "i686": "/usr/lib/wine/wine"}
# The sample library's target pack (tests/e2e/notebook.py: TARGET).
TARGET_BATTERY = "name=NRV-BP41A;maker=Norvane;serial=2307Z104512Z"
EXIT_TARGET = 0


class Side:
    """Where one side's files and prefix lie: from ctest's environment when it set
    one, else from the build tree."""

    def __init__(self, build: Path, side: str):
        self.side = side
        inner = side == "i686"
        self.ship = Path(os.environ.get("CW_SHIP_DIR") or
                         (ROOT / "build" / "win32" / "ship" if inner else build / "ship"))
        self.testbin = Path(os.environ.get("CW_TEST_BIN") or build / ("testbin-i686" if inner else "testbin"))
        self.prefix = Path(os.environ.get("WINEPREFIX") or build / ("wineprefix-i686" if inner else "wineprefix"))
        self.work = Path(os.environ.get("CW_SCENARIO_DIR") or build / ("scenarios-i686" if inner else "scenarios"))
        self.work = self.work / "bench_start"
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=")
        self.wine = WINE[side]


def run(side: Side, args, cwd: Path, log: Path, env=None):
    """Runs a program under Wine, its output in a file; returns (seconds, exit code)."""
    with open(log, "ab") as out:
        start = time.perf_counter()
        code = subprocess.run([side.wine, *args], env=env or side.env, cwd=cwd, stdin=subprocess.DEVNULL,
                              stdout=out, stderr=out).returncode
        return time.perf_counter() - start, code


def dos(path: Path) -> str:
    return "Z:" + str(path.resolve()).replace("/", "\\")


def report_lines(report: Path) -> int:
    """The lines of a UTF-16LE report with its byte order mark."""
    return report.read_bytes()[2:].decode("utf-16-le").count("\r\n") if report.exists() else 0


def loaded_dlls(trace: Path):
    """The DLLs a +loaddll trace shows loaded, by file name, in order."""
    names = []
    for path in re.findall(r'Loaded L"([^"]*)"', trace.read_text(errors="replace")):
        name = path.rsplit("\\", 1)[-1].lower()
        if name not in names:
            names.append(name)
    return names


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=str(ROOT / "build" / "win64"))
    parser.add_argument("--side", choices=sorted(WINE), default="x86_64")
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--compare", help="another Cellwise.exe to time alongside")
    parser.add_argument("--loaddll", help="a folder for one +loaddll trace of each program")
    parser.add_argument("--keep-wine", action="store_true", help="the prefix's wineserver runs already (ctest)")
    args = parser.parse_args()

    side = Side(Path(args.build).resolve(), args.side)
    shutil.rmtree(side.work, ignore_errors=True)
    folder = side.work / "app"
    folder.mkdir(parents=True)
    shutil.copy2(side.ship / "Cellwise.exe", folder / "Cellwise.exe")
    shutil.copy2(side.testbin / "signed" / "battery.dll", folder / "battery.dll")
    for floor in ("startfloor_empty.exe", "startfloor_verify.exe"):
        shutil.copy2(side.testbin / floor, folder / floor)
    programs = {
        "empty": ["startfloor_empty.exe"],
        "Cellwise -silent -noverifysignature": ["Cellwise.exe", "-silent", "-noverifysignature"],
        "one WinVerifyTrust": ["startfloor_verify.exe", "battery.dll"],
        "Cellwise -silent": ["Cellwise.exe", "-silent"],
        "Cellwise -silent -log -logcsv": ["Cellwise.exe", "-silent", "-log", dos(side.work / "cellwise.log"),
                                          "-logcsv", dos(side.work / "report.csv")],
    }
    if args.compare:
        shutil.copy2(args.compare, folder / "CellwiseCompared.exe")
        programs["compared -silent -noverifysignature"] = ["CellwiseCompared.exe", "-silent", "-noverifysignature"]
        programs["compared -silent"] = ["CellwiseCompared.exe", "-silent"]
    log = side.work / "runs.log"

    fixture = ROOT / "tools" / "winefixture.sh"
    if not args.keep_wine:
        subprocess.run([str(fixture), "start", str(side.prefix)], check=True, env=side.env)
    try:
        _, code = run(side, [str(side.testbin / "batctl.exe"), "setup", TARGET_BATTERY], folder, log)
        if code != 0:
            raise SystemExit("batctl setup failed with %d (see %s)" % (code, log))
        # One unmeasured run of each: Wine's first start of a program and the first
        # trust check warm caches that every later run finds warm too.
        for argv in programs.values():
            run(side, argv, folder, log)
        # Alternating, so a machine that gets busier or quieter meanwhile weighs on
        # every program alike.
        times = {name: [] for name in programs}
        for _ in range(args.runs):
            for name, argv in programs.items():
                seconds, code = run(side, argv, folder, log)
                expected = 0 if name.startswith("empty") or name.startswith("one") else EXIT_TARGET
                if code != expected:
                    raise SystemExit("%s ended with %d, not %d (see %s)" % (" ".join(argv), code, expected, log))
                times[name].append(seconds)
        traces = {}
        if args.loaddll:
            out = Path(args.loaddll)
            out.mkdir(parents=True, exist_ok=True)
            for name, argv in programs.items():
                trace = out / ("%s.%s.loaddll.txt" % (args.side, re.sub(r"[^A-Za-z0-9]+", "_", name).strip("_")))
                trace.unlink(missing_ok=True)
                run(side, argv, folder, trace, env=dict(side.env, WINEDEBUG="+loaddll"))
                traces[name] = trace
    finally:
        if not args.keep_wine:
            subprocess.run([str(fixture), "stop", str(side.prefix)], env=side.env)

    # Every agent run, the warming one and the traced one included, adds one line.
    expected_lines = args.runs + 1 + (1 if args.loaddll else 0)
    if report_lines(side.work / "report.csv") != expected_lines:
        raise SystemExit("%d report lines after %d runs with -logcsv" % (report_lines(side.work / "report.csv"),
                                                                         expected_lines))
    median = {name: statistics.median(t) * 1000 for name, t in times.items()}
    print("side %s, %d runs each, alternating, load average %.1f on %d processors; wall times" % (
        args.side, args.runs, os.getloadavg()[0], os.cpu_count()))
    for name, ms in median.items():
        print("  %-40s median %7.1f ms, slowest %7.1f ms" % (name, ms, max(times[name]) * 1000))
    print("ratio Cellwise -silent -noverifysignature / empty   %5.2f  (goal: at most 1.3)" % (
        median["Cellwise -silent -noverifysignature"] / median["empty"]))
    print("ratio Cellwise -silent / one WinVerifyTrust         %5.2f  (goal: at most 1.1)" % (
        median["Cellwise -silent"] / median["one WinVerifyTrust"]))
    if args.compare:
        print("ratio compared -silent -noverifysignature / empty   %5.2f" % (
            median["compared -silent -noverifysignature"] / median["empty"]))
        print("ratio compared -silent / one WinVerifyTrust         %5.2f" % (
            median["compared -silent"] / median["one WinVerifyTrust"]))
    for name, trace in traces.items():
        print("DLLs of %s (%s): %s" % (name, trace, ", ".join(loaded_dlls(trace))))
    return 0


if __name__ == "__main__":
    sys.exit(main())
