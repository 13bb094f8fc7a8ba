#!/usr/bin/env python3
"""Download benchmark of Fetchrun (not a timed test).

Builds a signed update program of --size-mb MiB (the test program with a generated
overlay, signed with the build tree's test CA as the update publisher), serves it
and its settings INI from the local download server (tests/e2e/dlserver.py), and
runs, --runs times each and alternating:
  - Fetchrun.exe /s /Url:<settings> as a user's run makes it (the language
    library checked and read, the settings and the program downloaded, the
    program held, hashed, its signature checked, started elevated), and
  - the floor, fetchfloor.exe <settings> (tests/sim/fetchprobe): the same
    platform calls, once each, in the same order, on one thread, with nothing
    around them.
Both run under 64-bit Wine from one folder that holds the signed battery.dll.
Reports the median wall times and Fetchrun's ratio to the floor (the goal is at
most 1.1), and the peak memory of both (the Wine process's maximum resident size)
for the full size and for a tenth of it: the peak must not grow with the file.
With --baseline, another Fetchrun.exe (an earlier build, say) runs in the same
rounds and gets its ratio too, so both meet the same load of the machine.

    tools/bench_download.py [--build build/win64] [--size-mb 200] [--runs 3] [--baseline <Fetchrun.exe>]

Needs a built x86_64 test tree (Fetchrun.exe, fetchfloor.exe, recorder.exe, the
signed battery.dll, the test CA and the trusting Wine prefix). It starts that
prefix's wineserver and stops it at the end; do not run it while the same tree's
tests run.
"""
import argparse
import hashlib
import os
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
from dlserver import DownloadServer  # noqa: E402

WINE64 = "/usr/lib/wine/wine64"
MiB = 1 << 20


def test_ca(build: Path) -> Path:
    """The clone's test CA that the tree signs with (TEST_CA_DIR of its cache)."""
    for line in (build / "CMakeCache.txt").read_text().splitlines():
        if line.startswith("TEST_CA_DIR:"):
            return Path(line.split("=", 1)[1])
    return build.parent / "testca"


def make_program(build: Path, size: int, out: Path) -> str:
    """A signed PE of about `size` bytes; returns its SHA-256 (upper case)."""
    unsigned = out.with_suffix(".unsigned")
    base = (build / "testbin" / "recorder.exe").read_bytes()
    pattern = bytes(range(256)) * 4096
    with open(unsigned, "wb") as f:
        f.write(base)
        left = max(size - len(base), 0)
        while left > 0:
            piece = pattern[:min(left, len(pattern))]
            f.write(piece)
            left -= len(piece)
    ca = test_ca(build)
    subprocess.run([str(ROOT / "tools" / "sign.sh"), str(ca / "signer.key"), str(ca / "signer-chain.crt"),
                    str(unsigned), str(out)], check=True)
    unsigned.unlink()
    digest = hashlib.sha256()
    with open(out, "rb") as f:
        for block in iter(lambda: f.read(MiB), b""):
            digest.update(block)
    return digest.hexdigest().upper()


def temp_folders(prefix: Path):
    """The prefix's temporary folders (Wine 8 puts the user's in the profile's root)."""
    users = prefix / "drive_c" / "users"
    return [p for pattern in ("*/Temp", "*/AppData/Local/Temp") for p in users.glob(pattern) if p.is_dir()]


def remove_run_files(prefix: Path) -> None:
    """The temporary files a run leaves after a start (settings, program, the
    program's record); the started program may still hold its file a moment."""
    for folder in temp_folders(prefix):
        for path in folder.glob("tpf*"):
            for _ in range(100):
                try:
                    path.unlink(missing_ok=True)
                    break
                except PermissionError:
                    time.sleep(0.05)


def run_measured(args, env, cwd: Path, log: Path):
    """Runs a command; returns (wall seconds, max resident bytes of the process)."""
    with open(log, "ab") as out:
        start = time.perf_counter()
        proc = subprocess.Popen(args, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=out, stderr=out)
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        raise SystemExit("%s failed with %d (see %s)" % (args[1], code, log))
    return wall, usage.ru_maxrss * 1024


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=str(ROOT / "build" / "win64"))
    parser.add_argument("--size-mb", type=int, default=200)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--baseline", help="another Fetchrun.exe measured alongside")
    args = parser.parse_args()

    build = Path(args.build).resolve()
    work = build / "bench"
    shutil.rmtree(work, ignore_errors=True)
    folder = work / "app"
    folder.mkdir(parents=True)
    for source in (build / "ship" / "Fetchrun.exe", build / "testbin" / "fetchfloor.exe",
                   build / "testbin" / "signed" / "battery.dll"):
        shutil.copy2(source, folder / source.name)
    if args.baseline:
        # Its own folder (the single-instance mutex is per name, the library per folder).
        baseline_folder = work / "baseline"
        baseline_folder.mkdir()
        shutil.copy2(args.baseline, baseline_folder / "Fetchrun.exe")
        shutil.copy2(build / "testbin" / "signed" / "battery.dll", baseline_folder / "battery.dll")
    prefix = build / "wineprefix"
    env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=", no_proxy="127.0.0.1,localhost")
    fixture = ROOT / "tools" / "winefixture.sh"

    size = args.size_mb * MiB
    print("making signed programs of %d MiB and %d MiB ..." % (args.size_mb, args.size_mb // 10), flush=True)
    hashes = {"big": make_program(build, size, work / "big.exe"),
              "small": make_program(build, size // 10, work / "small.exe")}

    subprocess.run([str(fixture), "start", str(prefix)], check=True, env=env)
    try:
        with DownloadServer() as server:
            urls = {}
            for name, digest in hashes.items():
                server.add_file("/fwexe/%s.exe" % name, work / ("%s.exe" % name))
                server.add_settings("/settings/%s.ini" % name, exe_url=server.url("/fwexe/%s.exe" % name),
                                    exe_hash=digest, exe_param="/bench")
                urls[name] = server.url("/settings/%s.ini" % name)

            def fetchrun(name):
                result = run_measured([WINE64, str(folder / "Fetchrun.exe"), "/s", "/Url:" + urls[name]], env,
                                      folder, work / "fetchrun.out")
                remove_run_files(prefix)
                return result

            def baseline(name):
                result = run_measured([WINE64, str(work / "baseline" / "Fetchrun.exe"), "/s", "/Url:" + urls[name]],
                                      env, work / "baseline", work / "baseline.out")
                remove_run_files(prefix)
                return result

            def floor(name):
                result = run_measured([WINE64, str(folder / "fetchfloor.exe"), urls[name]], env, folder,
                                      work / "floor.out")
                remove_run_files(prefix)
                return result

            # One unmeasured run of each: Wine's first start and the first trust
            # check of a process warm caches that every later run finds warm too.
            fetchrun("small")
            floor("small")
            if args.baseline:
                baseline("small")

            # Alternating, so a machine that gets busier or quieter meanwhile
            # weighs on all alike.
            full, base, small_full, small_base, old = [], [], [], [], []
            for i in range(args.runs):
                full.append(fetchrun("big"))
                base.append(floor("big"))
                if args.baseline:
                    old.append(baseline("big"))
                small_full.append(fetchrun("small"))
                small_base.append(floor("small"))
                print("run %d: Fetchrun %.2f s, floor %.2f s%s" % (
                    i + 1, full[-1][0], base[-1][0], ", baseline %.2f s" % old[-1][0] if old else ""), flush=True)
    finally:
        subprocess.run([str(fixture), "stop", str(prefix)], env=env)
        remove_run_files(prefix)  # records the last started programs wrote meanwhile
    shutil.rmtree(work, ignore_errors=True)

    t_full = statistics.median(w for w, _ in full)
    t_base = statistics.median(w for w, _ in base)
    mb = size / MiB
    print()
    print("size                        %d MiB, %d runs, medians" % (args.size_mb, args.runs))
    print("Fetchrun /s /Url:           %6.2f s  %6.1f MiB/s" % (t_full, mb / t_full))
    print("floor (same calls, once)    %6.2f s  %6.1f MiB/s" % (t_base, mb / t_base))
    print("ratio Fetchrun / floor      %6.2f  (goal: at most 1.10)" % (t_full / t_base))
    if old:
        t_old = statistics.median(w for w, _ in old)
        print("baseline /s /Url:           %6.2f s  ratio to the floor %.2f; Fetchrun takes %.0f %% of its time" % (
            t_old, t_old / t_base, 100 * t_full / t_old))
    t_small_full = statistics.median(w for w, _ in small_full)
    t_small_base = statistics.median(w for w, _ in small_base)
    print("the same at %4d MiB          %6.2f s against %.2f s, ratio %.2f" % (
        args.size_mb // 10, t_small_full, t_small_base, t_small_full / t_small_base))
    for label, runs in (("Fetchrun", full), ("floor", base)) + ((("baseline", old),) if old else ()):
        print("peak memory, %-8s %4d MiB: max RSS %6.1f MiB" % (label, args.size_mb, max(r for _, r in runs) / MiB))
    for label, runs in (("Fetchrun", small_full), ("floor", small_base)):
        print("peak memory, %-8s %4d MiB: max RSS %6.1f MiB" % (label, args.size_mb // 10,
                                                               max(r for _, r in runs) / MiB))
    return 0


if __name__ == "__main__":
    sys.exit(main())
