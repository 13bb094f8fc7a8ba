#!/usr/bin/env python3
"""Times tools/fleet_summary.py on a large report (not a timed test).

Writes a report of --lines lines as Cellwise.exe writes them (UTF-16LE, byte
order mark, CR LF): --machines machines checked again and again, a tenth of the
lines for target packs, a few without identity, no battery or a missing
library. Then runs the whole program (python3 fleet_summary.py <report> --csv
--html) --runs times and prints the median wall time and the median processor
time (user + system) of the run, with the load average: on a shared machine
the wall time grows with the load, the processor time much less.

    tools/bench_fleet_summary.py [--lines 100000] [--machines 20000] [--runs 5]
"""
import argparse
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

TOOL = Path(__file__).resolve().parent / "fleet_summary.py"


def line(rng: random.Random, n: int, machines: int) -> str:
    stamp = "2024/%02d/%02d %02d:%02d:%02d.%03d" % (1 + n % 12, 1 + n % 28, n % 24, n % 60, (n // 60) % 60, n % 1000)
    machine = rng.randrange(machines)
    number = "0" if machine % 50 == 0 else "NV%06d" % machine
    product = "Norvane Aero %d" % (13 + machine % 4)
    roll = rng.random()
    if roll < 0.10:
        return "%s, 0, %s, %s, NRV-BP41A, 2307Z1%05dZ" % (stamp, product, number, machine % 10000)
    if roll < 0.97:
        return "%s, 1, %s, %s, NRV-BP41A, 2307Z2%05dZ" % (stamp, product, number, machine % 10000)
    if roll < 0.99:
        return "%s, 4, %s, %s" % (stamp, product, number)
    return "%s, 3, %s, %s" % (stamp, product, number)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--lines", type=int, default=100000)
    parser.add_argument("--machines", type=int, default=20000)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    rng = random.Random(17)
    with tempfile.TemporaryDirectory() as folder:
        report = Path(folder) / "report.csv"
        text = "".join(line(rng, n, args.machines) + "\r\n" for n in range(args.lines))
        report.write_bytes(b"\xff\xfe" + text.encode("utf-16-le"))
        argv = [sys.executable, str(TOOL), str(report), "--csv", str(Path(folder) / "replace.csv"),
                "--html", str(Path(folder) / "summary.html")]
        walls, cpus = [], []
        for _ in range(args.runs):
            began, before = time.monotonic(), os.times()
            subprocess.run(argv, check=True, stdout=subprocess.DEVNULL)
            after = os.times()
            walls.append(time.monotonic() - began)
            cpus.append(after.children_user - before.children_user + after.children_system - before.children_system)
        size = report.stat().st_size
    load = "%.1f" % os.getloadavg()[0] if hasattr(os, "getloadavg") else "unknown"
    print("fleet_summary.py on %d lines (%.1f MB, %d machines), --csv and --html, %d runs: median wall %.2f s, "
          "median processor time %.2f s (load average %s, %d processors)" % (
              args.lines, size / 1e6, args.machines, args.runs, statistics.median(walls), statistics.median(cpus),
              load, os.cpu_count()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
