"""Fetchrun's download worker against the local download server.

fetchprobe.exe (tests/sim/fetchprobe) runs CThreadDL, CGlobalIniMgr and CThreadHash
from Fetchrun's transfer library under Wine and writes what they returned; the
server (dlserver.py) plays the maker's download server, including the transfers
that go wrong. On the i686 side fetchprobe is a 32-bit build, as Fetchrun is. The
side's folders and prefix come from winerun; ctest sets no_proxy.
"""
import hashlib
import os
import shutil
import subprocess
import time
import unittest
from pathlib import Path
from typing import Dict, Optional

import winerun

from dlserver import NOT_FOUND_BODY, unused_port
from fetchrun_harness import ServedCase
from winerun import TEST_BIN, WINE64, dos_path

SCENARIO_DIR = winerun.SCENARIO_DIR / "transfer"
PROBE = TEST_BIN / "fetchprobe.exe"
RUN_TIMEOUT = 120

HASH_INVALID = "CThreadDL - error: Hash invalid"
INTERRUPTED = "CThreadDL - thread interruped."
NO_SIGNATURE = "CThreadDL - error: WinVerifyTrust return 0x800B0100."
CONNECTION_REFUSED = "CThreadDL - error: InternetOpenUrl (0x00002EFD)"  # ERROR_INTERNET_CANNOT_CONNECT


def sha256_upper(data: bytes) -> str:
    return hashlib.sha256(data).hexdigest().upper()


def parse_report(path: Path) -> Dict[str, str]:
    report = {}
    for line in path.read_text(encoding="utf-8").splitlines():
        name, _, value = line.partition("=")
        report[name] = value
    return report


class TransferDownload(ServedCase):
    def setUp(self):
        super().setUp()
        self.dir = SCENARIO_DIR / self.id().rsplit(".", 1)[-1]
        shutil.rmtree(self.dir, ignore_errors=True)
        self.dir.mkdir(parents=True)

    def probe(self, *args: str) -> Dict[str, str]:
        """Runs fetchprobe; its result file is always <scenario>/probe.result."""
        result = self.dir / "probe.result"
        result.unlink(missing_ok=True)
        # Wine's output goes to a file: its background processes would hold a pipe.
        code = winerun.run([WINE64, str(PROBE), *args], self.dir / "wine.out",
                           ran=lambda: result.exists() or winerun.has_output(self.dir / "wine.out"),
                           timeout=RUN_TIMEOUT)
        self.assertEqual(0, code, "fetchprobe %s" % " ".join(args))
        return parse_report(result)

    def download(self, route_or_url: str, name: str = "tpf1.tmp", expected_hash: Optional[str] = None,
                 verify: bool = False, stop_after_ms: Optional[int] = None, hold_ms: Optional[int] = None,
                 held_marker: Optional[Path] = None) -> Dict[str, str]:
        url = route_or_url if "://" in route_or_url else self.server.url(route_or_url)
        args = ["download", url, dos_path(self.dir / name), dos_path(self.dir / "probe.result")]
        if expected_hash is not None:
            args += ["--hash", expected_hash]
        if verify:
            args.append("--verify")
        if stop_after_ms is not None:
            args += ["--stop-after-ms", str(stop_after_ms)]
        if hold_ms is not None:
            args += ["--hold-ms", str(hold_ms), "--held-marker", dos_path(held_marker)]
        return self.probe(*args)

    def read_ini(self, name: str) -> Dict[str, str]:
        return self.probe("ini", dos_path(self.dir / name), dos_path(self.dir / "probe.result"))

    # Settings INIs.
    def test_settings_plain_and_scrambled_read_back_alike(self):
        values = dict(exe_url="http://127.0.0.1:9/download/battery_exchange/fwexe/u.exe",
                      exe_hash="ab" * 32, exe_param="/s /lang:\u65e5\u672c")
        variants = {
            "plain-utf16": dict(),
            "plain-ansi": dict(encoding="ascii", exe_param="/s /q"),
            "scrambled-hex": dict(scrambled=True, key=0x5A3C0F96, hex_numbers=True),
            "scrambled-decimal": dict(scrambled=True, key=305419896),
            "scrambled-key0": dict(scrambled=True, key=0),
            "scrambled-nokey": dict(scrambled=True, key=0, key_text=""),
        }
        for name, extra in variants.items():
            with self.subTest(name):
                route = "/settings/%s.ini" % name
                served = self.server.add_settings(route, **{**values, **extra})
                report = self.download(route, name + ".ini")
                self.assertEqual("", report["result"])
                self.assertEqual(served, (self.dir / (name + ".ini")).read_bytes())
                ini = self.read_ini(name + ".ini")
                self.assertEqual("1" if extra.get("scrambled") else "0", ini["scrambled"])
                self.assertEqual(values["exe_url"], ini["ExeUrl"])
                self.assertEqual(values["exe_hash"], ini["ExeHash"])
                self.assertEqual(extra.get("exe_param", values["exe_param"]), ini["ExeParam"])
                self.assertEqual("", ini["EndCode"])
                self.assertEqual(1, self.server.count(route))

    def test_settings_with_end_code_or_neither(self):
        for name, values in {"endcode": dict(end_code="1"),
                             "endcode-scrambled": dict(end_code="done", scrambled=True, key=0x0BADF00D),
                             "neither": dict()}.items():
            with self.subTest(name):
                self.server.add_settings("/%s.ini" % name, **values)
                self.assertEqual("", self.download("/%s.ini" % name, name + ".ini")["result"])
                ini = self.read_ini(name + ".ini")
                self.assertEqual("", ini["ExeUrl"])
                self.assertEqual(values.get("end_code", ""), ini["EndCode"])

    def test_error_page_is_a_complete_download(self):
        # The status is not examined: a settings download of a 404 page succeeds
        # and yields settings without keys.
        self.server.add_not_found("/missing.ini")
        report = self.download("/missing.ini", "missing.ini")
        self.assertEqual("", report["result"])
        self.assertEqual(NOT_FOUND_BODY, (self.dir / "missing.ini").read_bytes())
        self.assertEqual("", self.read_ini("missing.ini")["ExeUrl"])
        self.assertEqual([404], [r.status for r in self.server.requests])
        # As a program, the same page fails its hash check and is removed.
        report = self.download("/missing.ini", "program.tmp", expected_hash=sha256_upper(self.signed), verify=True)
        self.assertEqual(HASH_INVALID, report["result"])
        self.assertEqual([], sorted(p.name for p in self.dir.glob("program.tmp*")))

    # Programs: the ".exe" name and the hold, hash and signature.
    def test_signed_program_with_matching_hash_in_either_case(self):
        self.server.add_bytes("/fwexe/update.exe", self.signed)
        for name, expected in (("upper", sha256_upper(self.signed)), ("lower", sha256_upper(self.signed).lower())):
            with self.subTest(name):
                report = self.download("/fwexe/update.exe", name + ".tmp", expected, verify=True)
                self.assertEqual("", report["result"])
                self.assertEqual(dos_path(self.dir / (name + ".tmp.exe")), report["path"])
                self.assertEqual("1", report["held"], "the worker handed over no hold on the checked program")
                self.assertFalse((self.dir / (name + ".tmp")).exists())
                self.assertEqual(self.signed, (self.dir / (name + ".tmp.exe")).read_bytes())
                # Hash mode's hash of the downloaded file is the published one.
                hashed = self.probe("hash", dos_path(self.dir / (name + ".tmp.exe")),
                                    dos_path(self.dir / "probe.result"))
                self.assertEqual(sha256_upper(self.signed), hashed["hash"])
        self.assertEqual(2, self.server.count("/fwexe/update.exe"))

    def test_hash_mismatch_removes_the_file(self):
        self.server.add_bytes("/fwexe/update.exe", self.signed)
        wrong = sha256_upper(self.signed)[:-1] + ("0" if sha256_upper(self.signed)[-1] != "0" else "1")
        report = self.download("/fwexe/update.exe", "tpf1.tmp", wrong, verify=True)
        self.assertEqual(HASH_INVALID, report["result"])
        self.assertEqual("0", report["held"])
        self.assertEqual([], sorted(p.name for p in self.dir.glob("tpf1.tmp*")))

    def test_unsigned_program_is_removed_with_the_trust_result(self):
        self.server.add_bytes("/fwexe/update.exe", self.unsigned)
        report = self.download("/fwexe/update.exe", "tpf1.tmp", sha256_upper(self.unsigned), verify=True)
        self.assertEqual(NO_SIGNATURE, report["result"])
        self.assertEqual([], sorted(p.name for p in self.dir.glob("tpf1.tmp*")))
        # Without a published hash nothing is fetched.
        report = self.download("/fwexe/update.exe", "tpf2.tmp", None, verify=True)
        self.assertEqual(HASH_INVALID, report["result"])
        self.assertEqual([], sorted(p.name for p in self.dir.glob("tpf2.tmp*")))
        self.assertEqual(1, self.server.count("/fwexe/update.exe"))

    def test_nobody_else_writes_or_maps_the_program_while_it_is_written_or_held(self):
        # Another process of the user tries all the time, from before the download
        # until after the hold; the body takes a few seconds, the hold two.
        self.server.add_slow("/fwexe/update.exe", self.signed, chunk=65536, delay=0.3)
        marker, stop, result = self.dir / "held.marker", self.dir / "stop", self.dir / "attack.result"
        # Started once more when Wine ended it before it ran (see winerun).
        for _ in range(2):
            with open(self.dir / "attack.out", "wb") as out:
                attacker = subprocess.Popen([WINE64, str(PROBE), "attack", dos_path(self.dir / "tpf1.tmp"),
                                             dos_path(marker), dos_path(stop), dos_path(result)],
                                            stdin=subprocess.DEVNULL, stdout=out, stderr=out)
            deadline = time.monotonic() + 60
            while not result.exists() and attacker.poll() is None and time.monotonic() < deadline:
                time.sleep(0.05)
            if result.exists() or attacker.poll() != 1:
                break
        try:
            self.assertTrue(result.exists(), "the attacker did not start")
            report = self.download("/fwexe/update.exe", "tpf1.tmp", sha256_upper(self.signed), verify=True,
                                   hold_ms=2000, held_marker=marker)
        finally:
            stop.touch()
            attacker.wait(60)
        self.assertEqual("", report["result"])
        self.assertEqual("1", report["held"])
        attack = parse_report(result)
        self.assertGreater(int(attack["writing_attempts"]), 0)
        self.assertGreater(int(attack["held_attempts"]), 0)
        self.assertEqual("0", attack["opened_for_write"])
        self.assertEqual("0", attack["mapped_writable"])

    # Transfers that go wrong.
    def test_connection_refused(self):
        report = self.download("http://127.0.0.1:%d/settings.ini" % unused_port())
        self.assertEqual(CONNECTION_REFUSED, report["result"])

    def test_connection_dropped_mid_body_is_a_failure(self):
        data = bytes(range(256)) * 1024  # 256 KiB announced
        self.server.add_dropped("/fwexe/cut.exe", data, cut_at=100000)
        report = self.download("/fwexe/cut.exe")
        self.assertEqual("CThreadDL - error: body incomplete (100000 of 262144 bytes)", report["result"])
        # A settings download (no hash to catch it) fails just the same.
        self.server.add_dropped("/cut.ini", b"\xff\xfe" + "[x]\r\n".encode("utf-16-le") * 100, cut_at=50)
        self.assertEqual("CThreadDL - error: body incomplete (50 of 1002 bytes)", self.download("/cut.ini")["result"])

    def test_body_without_length_ends_with_the_connection(self):
        self.server.add_bytes("/nolength.ini", b"abc" * 1000, content_length=False)
        self.assertEqual("", self.download("/nolength.ini", "n.ini")["result"])
        self.assertEqual(b"abc" * 1000, (self.dir / "n.ini").read_bytes())

    def test_slow_body_arrives_whole(self):
        data = os.urandom(96 * 1024)
        self.server.add_slow("/slow.exe", data, chunk=8192, delay=0.05)
        report = self.download("/slow.exe", "slow.tmp", sha256_upper(data))
        self.assertEqual("", report["result"])
        self.assertEqual(data, (self.dir / "slow.tmp.exe").read_bytes())
        self.assertGreaterEqual(int(report["elapsed_ms"]), 500)

    def test_stop_during_a_read_ends_it_at_once_and_leaves_no_program(self):
        # One 64 KiB block takes about two seconds here; the stop comes in the middle.
        data = os.urandom(256 * 1024)
        self.server.add_slow("/slower.exe", data, chunk=8192, delay=0.25)
        report = self.download("/slower.exe", "stopped.tmp", sha256_upper(data), verify=True, stop_after_ms=1000)
        self.assertEqual("1", report["was_running"])
        self.assertEqual(INTERRUPTED, report["result"])
        self.assertLess(int(report["stop_wait_ms"]), 2000)
        self.assertEqual([], sorted(p.name for p in self.dir.glob("stopped.tmp*")))

    def test_large_program_is_streamed_in_constant_memory(self):
        small_hash = self.server.add_generated("/small.exe", 1 << 20, seed=7)
        large_hash = self.server.add_generated("/large.exe", 96 << 20, seed=7)
        small = self.download("/small.exe", "small.tmp", small_hash)
        large = self.download("/large.exe", "large.tmp", large_hash.lower())
        self.assertEqual("", small["result"])
        self.assertEqual("", large["result"])
        self.assertEqual(96 << 20, (self.dir / "large.tmp.exe").stat().st_size)
        growth = int(large["peak_working_set"]) - int(small["peak_working_set"])
        self.assertLess(growth, 16 << 20, "peak working set grew by %d bytes for 95 MiB more" % growth)
        (self.dir / "large.tmp.exe").unlink()


if __name__ == "__main__":
    unittest.main()
