#!/usr/bin/env python3
"""Download benchmark of Fetchrun's transfer code (not a timed test).

Builds a signed update program of --size-mb MiB (the test program with a generated
overlay, signed with the build tree's test CA), serves it from the local download
server (tests/e2e/dlserver.py) and fetches it
  - through Fetchrun's code: fetchprobe.exe runs CThreadDL with the published hash
    and the signature check under 64-bit Wine, polled every 500 ms as the dialog
    does, and
  - with curl, then sha256sum,
each --runs times. Reports the median times and their ratio, and Fetchrun's peak
memory (the probe's peak working set and the Wine process's maximum resident
size) for the full size and for a tenth of it: the peak must not grow with the
file size.

    tools/bench_download.py [--build build/win64] [--size-mb 200] [--runs 3]

Needs a built x86_64 test tree (fetchprobe.exe, recorder.exe, the test CA and the
trusting Wine prefix). It starts that prefix's wineserver and stops it at the end;
do not run it while the same tree's tests run.
"""
import argparse
import hashlib
import os
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


def dos_path(path: Path) -> str:
    return "Z:" + str(path.resolve()).replace("/", "\\")


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
    ca = build / "testca"
    subprocess.run([str(ROOT / "tools" / "sign.sh"), str(ca / "signer.key"), str(ca / "signer-chain.crt"),
                    str(unsigned), str(out)], check=True)
    unsigned.unlink()
    digest = hashlib.sha256()
    with open(out, "rb") as f:
        for block in iter(lambda: f.read(MiB), b""):
            digest.update(block)
    return digest.hexdigest().upper()


def run_measured(args, env, log: Path):
    """Runs a command; returns (wall seconds, max resident bytes of the process)."""
    with open(log, "ab") as out:
        start = time.perf_counter()
        proc = subprocess.Popen(args, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=out)
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        raise SystemExit("%s failed with %d (see %s)" % (args[0], proc.returncode, log))
    return wall, usage.ru_maxrss * 1024


def fetchrun_run(build: Path, env, url: str, expected: str, work: Path, verify: bool):
    target = work / "fetchrun.tmp"
    result = work / "fetchrun.result"
    args = [WINE64, str(build / "testbin" / "fetchprobe.exe"), "download", url, dos_path(target),
            dos_path(result), "--hash", expected]
    if verify:
        args.append("--verify")
    wall, maxrss = run_measured(args, env, work / "wine.out")
    report = dict(line.split("=", 1) for line in result.read_text(encoding="utf-8").splitlines())
    if report.get("result"):
        raise SystemExit("Fetchrun's download failed: %s" % report["result"])
    target.unlink(missing_ok=True)
    return wall, int(report["peak_working_set"]), maxrss


def curl_run(url: str, expected: str, work: Path):
    target = work / "curl.tmp"
    start = time.perf_counter()
    subprocess.run(["curl", "-s", "-f", "-o", str(target), url], check=True)
    digest = subprocess.run(["sha256sum", str(target)], check=True, capture_output=True, text=True).stdout.split()[0]
    wall = time.perf_counter() - start
    if digest.upper() != expected:
        raise SystemExit("curl's copy has another hash")
    target.unlink()
    return wall


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=str(ROOT / "build" / "win64"))
    parser.add_argument("--size-mb", type=int, default=200)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()

    build = Path(args.build).resolve()
    work = build / "bench"
    work.mkdir(parents=True, exist_ok=True)
    prefix = build / "wineprefix"
    env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=", no_proxy="127.0.0.1,localhost")
    fixture = ROOT / "tools" / "winefixture.sh"

    size = args.size_mb * MiB
    print("making signed programs of %d MiB and %d MiB ..." % (args.size_mb, args.size_mb // 10), flush=True)
    big_hash = make_program(build, size, work / "big.exe")
    small_hash = make_program(build, size // 10, work / "small.exe")

    subprocess.run([str(fixture), "start", str(prefix)], check=True, env=env)
    try:
        with DownloadServer() as server:
            server.add_file("/fwexe/big.exe", work / "big.exe")
            server.add_file("/fwexe/small.exe", work / "small.exe")
            big_url, small_url = server.url("/fwexe/big.exe"), server.url("/fwexe/small.exe")

            # One unmeasured run: Wine's first start and the first trust check of a
            # process warm caches that every later run finds warm too.
            fetchrun_run(build, env, small_url, small_hash, work, verify=True)

            full, plain, curl = [], [], []
            for i in range(args.runs):
                full.append(fetchrun_run(build, env, big_url, big_hash, work, verify=True))
                plain.append(fetchrun_run(build, env, big_url, big_hash, work, verify=False))
                curl.append(curl_run(big_url, big_hash, work))
                print("run %d: Fetchrun %.2f s (without signature check %.2f s), curl + sha256sum %.2f s"
                      % (i + 1, full[-1][0], plain[-1][0], curl[-1]), flush=True)
            small = [fetchrun_run(build, env, small_url, small_hash, work, verify=True) for _ in range(args.runs)]
    finally:
        subprocess.run([str(fixture), "stop", str(prefix)], env=env)
    for name in ("big.exe", "small.exe"):
        (work / name).unlink(missing_ok=True)

    def med(values):
        return statistics.median(values)

    t_full, t_plain, t_curl = med(w for w, _, _ in full), med(w for w, _, _ in plain), med(curl)
    mb = size / MiB
    print()
    print("size                             %d MiB, %d runs, medians" % (args.size_mb, args.runs))
    print("Fetchrun download+hash+signature %6.2f s  %6.1f MiB/s" % (t_full, mb / t_full))
    print("Fetchrun download+hash           %6.2f s  %6.1f MiB/s" % (t_plain, mb / t_plain))
    print("curl + sha256sum                 %6.2f s  %6.1f MiB/s" % (t_curl, mb / t_curl))
    print("ratio Fetchrun / curl+sha256sum  %6.2f (with signature)  %.2f (without)" % (t_full / t_curl, t_plain / t_curl))
    for label, runs in (("%d MiB" % args.size_mb, full), ("%d MiB" % (args.size_mb // 10), small)):
        print("peak memory, %-8s            working set %6.1f MiB, process max RSS %6.1f MiB"
              % (label, max(p for _, p, _ in runs) / MiB, max(r for _, _, r in runs) / MiB))
    print("peak memory, %-8s no sig.     working set %6.1f MiB, process max RSS %6.1f MiB"
          % ("%d MiB" % args.size_mb, max(p for _, p, _ in plain) / MiB, max(r for _, _, r in plain) / MiB))
    return 0


if __name__ == "__main__":
    sys.exit(main())
