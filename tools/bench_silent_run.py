#!/usr/bin/env python3
"""Times a silent check as a management agent runs it (not a timed test).

On a simulated notebook with one target pack, runs --runs times, alternating:
  - Cellwise.exe -silent -log <local log> -logcsv <report> from a folder holding
    the four files (battery.dll signed by the test CA the prefix trusts), and
  - the floor: an empty GUI program of the same bitness (built here with MinGW),
    which is what starting any program costs under Wine on this machine.
Prints the median and the slowest wall time of both, and the load average.

    tools/bench_silent_run.py [--build build/win64] [--side x86_64|i686] [--runs 11]

Side x86_64: the x86_64 test build in 64-bit Wine. Side i686: the shipped files
(build/win32/ship) under 32-bit Wine in the 64-bit prefix, as on 64-bit Windows.
Needs a built test tree (its prefixes, batctl.exe, the signed battery.dll). It
starts the side's wineserver and stops it at the end; do not run it while the same
tree's tests run. Wine answers WMI's product query itself; the simulated KHWPORT
driver is not installed, so the platform lookup ends at hwlink.dll's first call.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
WINE64 = "/usr/lib/wine/wine64"
TARGET_PACK = "name=NRV-BP41A;maker=Norvane;serial=2307Z104512Z"
FLOOR_SOURCE = "#include <windows.h>\nint WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d) { return 0; }\n"
COMPILERS = {"x86_64": "x86_64-w64-mingw32-gcc", "i686": "i686-w64-mingw32-gcc"}


def dos(path: Path) -> str:
    return "Z:" + str(path.resolve()).replace("/", "\\")


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", type=Path, default=ROOT / "build" / "win64")
    parser.add_argument("--side", choices=sorted(COMPILERS), default="x86_64")
    parser.add_argument("--runs", type=int, default=11)
    args = parser.parse_args()
    build = args.build.resolve()
    if args.side == "x86_64":
        prefix, ship, signed = build / "wineprefix", build / "ship", build / "testbin" / "signed"
    else:
        prefix, ship, signed = build / "wineprefix-i686", ROOT / "build" / "win32" / "ship", \
            build / "testbin-i686" / "signed"
    env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all", LC_ALL="en_US.UTF-8",
               WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=")
    env.pop("LANGUAGE", None)
    fixture = [str(ROOT / "tools" / "winefixture.sh")]

    with tempfile.TemporaryDirectory(dir=build) as scratch:
        folder = Path(scratch)
        app = folder / "app"
        app.mkdir()
        for name in ("Cellwise.exe", "Fetchrun.exe", "hwlink.dll"):
            shutil.copy2(ship / name, app / name)
        shutil.copy2(signed / "battery.dll", app / "battery.dll")
        floor_c, floor = folder / "floor.c", folder / "floor.exe"
        floor_c.write_text(FLOOR_SOURCE)
        subprocess.run([COMPILERS[args.side], "-mwindows", "-O2", "-s", "-o", str(floor), str(floor_c)], check=True)
        out = folder / "wine.out"

        def run(argv) -> float:
            began = time.monotonic()
            with open(out, "ab") as o:
                subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=o, stderr=o, env=env, cwd=app, timeout=120)
            return time.monotonic() - began

        subprocess.run(fixture + ["start", str(prefix)], check=True)
        try:
            batctl = build / "testbin" / "batctl.exe"
            run([WINE64, str(batctl), "setup", TARGET_PACK])
            check = [WINE64, dos(app / "Cellwise.exe"), "-silent", "-log", dos(folder / "cellwise.log"),
                     "-logcsv", dos(folder / "report.csv")]
            empty = [WINE64, dos(floor)]
            run(check)  # warm: the first start of a program fills Wine's caches
            run(empty)
            checks, floors = [], []
            for _ in range(args.runs):
                checks.append(run(check))
                floors.append(run(empty))
            lines = (folder / "report.csv").read_bytes()[2:].decode("utf-16-le").count("\r\n")
            run([WINE64, str(batctl), "clear"])
        finally:
            subprocess.run(fixture + ["stop", str(prefix)], check=True)
    if lines != args.runs + 1:
        print("bench_silent_run: %d report lines after %d runs" % (lines, args.runs + 1), file=sys.stderr)
        return 1
    load = os.getloadavg()[0]
    print("%s side, %d runs each, load average %.1f on %d processors:" % (args.side, args.runs, load, os.cpu_count()))
    print("  Cellwise.exe -silent -log -logcsv: median %.2f s, slowest %.2f s" % (statistics.median(checks),
                                                                              max(checks)))
    print("  empty program (floor):             median %.2f s, slowest %.2f s" % (statistics.median(floors),
                                                                              max(floors)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
