"""Fetchrun.exe in target mode, silent, against the local download server: the
settings download, the program download with its hash and signature checks, the
elevated start, the exit code and log line of every end, the temporary files, the
Run-key command and the WinINet cache."""
import hashlib
import os
import time
import unittest

from dlserver import settings_ini, unused_port
from fetchrun_harness import (BANNER, EXIT_DOWNLOAD, EXIT_END_CODE, EXIT_OK, EXIT_UNKNOWN_STATUS, RUNKEY_COMMAND,
                              TEST_BIN, VIEW_32, VIEW_64, WINEPREFIX, ServedScenario, delete_run_key, library_text,
                              read_record, set_run_key, host_path)
from winerun import SIDE

HASH_INVALID = "CThreadDL - error: Hash invalid"
NOT_TRUSTED = "CThreadDL - error: WinVerifyTrust return 0x800B0100."
NOT_THE_PUBLISHER = "CThreadDL - error: WinVerifyTrust return 0x800B0004."
CONNECTION_REFUSED = "CThreadDL - error: InternetOpenUrl (0x00002EFD)"
ERROR_BAD_EXE_FORMAT = 193
PARAM = '/quiet /lang:en "C:\\a b"'


def sha256(data: bytes) -> str:
    return hashlib.sha256(data).hexdigest().upper()


def setUpModule():
    set_run_key()


def tearDownModule():
    delete_run_key()


class TargetMode(ServedScenario):

    def settings(self, route="/settings/t.ini", **values) -> str:
        self.server.add_settings(route, **values)
        return self.server.url(route)

    def preamble(self, url: str):
        """The log lines of a silent run up to the settings download."""
        return [BANNER, "LOG mode (%s)." % self.s.dos("fetchrun.log"), "Silent.", "Type      : .",
                "Title      : %s." % library_text(105), "SettingUrl : %s." % url,
                "Downloading: %s." % library_text(114), "ErrorMsg   : %s." % library_text(115),
                "Copyright  : %s." % library_text(117), "RetryBtn   : %s." % library_text(118),
                "AfterBtn   : %s." % library_text(119), "EndMsg     : %s." % library_text(120)]

    def assert_failed_end(self, lines, last_line: str):
        """A failed end: its line, the Run-key command once, the temporary files gone."""
        command = RUNKEY_COMMAND.replace("%CW_FETCHRUN_RUNKEY_DIR%", self.s.dos())
        self.assertEqual([last_line, "cmd  : %s." % command], lines[-3:-1])
        self.assertEqual(1, sum(line.startswith("cmd  : ") for line in lines))
        record = self.s.runkey_record()
        self.assertIsNotNone(record, "the Run-key command did not run")
        self.assertEqual(command, record.command_line)
        for path in self.s.temp_files:
            self.assertFalse(path.exists(), "left behind: %s" % path)
        self.assertTrue(self.s.temp_files, "no temporary file was logged")

    def test_success_runs_the_program_once_from_the_temporary_folder(self):
        url = self.settings(exe_url=self.server.url("/fwexe/signed.exe"), exe_hash=sha256(self.signed),
                            exe_param=PARAM)
        self.assertEqual(EXIT_OK, self.s.check("/Url:" + url))
        lines = self.s.lines()
        setting_file, = self.s.logged(lines, "SettingFile: ")
        exe_file, = self.s.logged(lines, "ExeFile: ")
        program = exe_file + ".exe"
        self.assertEqual(self.preamble(url) + [
            "SettingFile: %s." % setting_file,
            "ExeUrl: %s." % self.server.url("/fwexe/signed.exe"),
            "ExeParam: %s." % PARAM,
            "ExeHash: %s." % sha256(self.signed),
            "ExeFile: %s." % exe_file,
            'exec  : "%s".' % program,
            "param : %s." % PARAM,
            "verb  : runas.",
            "return 0x00000000.",
        ], lines)
        self.assertRegex(setting_file, r"\\tpf[0-9A-Fa-f]{1,4}\.tmp$")
        self.assertRegex(exe_file, r"\\tpf[0-9A-Fa-f]{1,4}\.tmp$")
        record = read_record(host_path(program))
        self.assertIsNotNone(record, "the update program did not run")
        self.assertEqual('"%s" %s' % (program, PARAM), record.command_line)
        self.assertEqual(program.rsplit("\\", 1)[0], record.folder)
        # Both files stay: the program may still run from its temporary file.
        self.assertEqual(self.signed, host_path(program).read_bytes())
        self.assertTrue(host_path(setting_file).exists())
        self.assertFalse(host_path(exe_file).exists())
        self.assertEqual([1, 1], [self.server.count("/settings/t.ini"), self.server.count("/fwexe/signed.exe")])
        self.assertIsNone(self.s.runkey_record(1.0), "the Run-key command ran after a start")

    def test_program_without_published_hash_is_not_fetched(self):
        url = self.settings(exe_url=self.server.url("/fwexe/signed.exe"), exe_hash="", exe_param="/once")
        self.assertEqual(EXIT_DOWNLOAD, self.s.check("/Url:" + url))
        lines = self.s.lines()
        self.assertEqual("ExeHash: .", lines[-5])
        self.assert_failed_end(lines, HASH_INVALID)
        self.assertEqual(["/settings/t.ini"], [r.path for r in self.server.requests])

    def test_program_of_another_trusted_publisher_is_refused(self):
        # Signed by a trusted leaf in another name, and in the maker's name on a
        # key the build does not pin (the maker's own key runs: the first test).
        for copy in ("recorder-other.exe", "recorder-impostor.exe"):
            with self.subTest(copy=copy):
                program = (TEST_BIN / "signed" / copy).read_bytes()
                self.server.add_bytes("/fwexe/" + copy, program)
                url = self.settings(exe_url=self.server.url("/fwexe/" + copy), exe_hash=sha256(program),
                                    exe_param="/x")
                self.s.path("runkey.exe.record").unlink(missing_ok=True)
                self.assertEqual(EXIT_DOWNLOAD, self.s.check("/Url:" + url))
                lines = self.s.lines()
                self.assert_failed_end(lines, NOT_THE_PUBLISHER)
                self.assertEqual("return 0x00000066.", lines[-1])
                self.assertFalse(any(line.startswith("exec  : ") for line in lines))

    def test_nothing_of_the_run_stays_in_the_wininet_cache(self):
        def cache_files():
            """Every file of the prefix's WinINet caches with its size and time."""
            found = {}
            for cache in (WINEPREFIX / "drive_c" / "users").glob("*/AppData/Local/Microsoft/Windows/INetCache"):
                for path in cache.rglob("*"):
                    if path.is_file():
                        found[path] = (path.stat().st_size, path.stat().st_mtime_ns)
            return found

        # Routes no other test uses, so any mention of them is this run's.
        route = "/nocache-%d-%d" % (os.getpid(), time.monotonic_ns())
        self.server.add_bytes(route + "/update.exe", self.signed)
        settings = self.server.add_settings(route + "/settings.ini", exe_url=self.server.url(route + "/update.exe"),
                                            exe_hash=sha256(self.signed))
        before = cache_files()
        self.assertEqual(EXIT_OK, self.s.check("/Url:" + self.server.url(route + "/settings.ini")))
        self.assertEqual(2, len(self.server.requests))
        # The cache keeps copies of bodies, and an index that names their URLs.
        traces = []
        for path, stamp in cache_files().items():
            data = path.read_bytes()
            if route.encode("ascii") in data or (before.get(path) != stamp and data in (self.signed, settings)):
                traces.append(str(path))
        self.assertEqual([], traces)

    def test_lower_case_hash_and_scrambled_settings(self):
        url = self.settings(exe_url=self.server.url("/fwexe/signed.exe"), exe_hash=sha256(self.signed).lower(),
                            exe_param="/s", scrambled=True, key=0x5A3C0F96)
        self.assertEqual(EXIT_OK, self.s.check("/Url:" + url))
        lines = self.s.lines()
        self.assertIn("ExeHash: %s." % sha256(self.signed).lower(), lines)
        exe_file, = self.s.logged(lines, "ExeFile: ")
        record = read_record(host_path(exe_file + ".exe"))
        self.assertIsNotNone(record)
        self.assertTrue(record.command_line.endswith('.exe" /s'), record.command_line)

    def test_hash_mismatch(self):
        wrong = hashlib.sha256(b"another program").hexdigest().upper()
        url = self.settings(exe_url=self.server.url("/fwexe/signed.exe"), exe_hash=wrong)
        self.assertEqual(EXIT_DOWNLOAD, self.s.check("/Url:" + url))
        lines = self.s.lines()
        self.assert_failed_end(lines, HASH_INVALID)
        self.assertEqual("return 0x00000066.", lines[-1])

    def test_unsigned_program(self):
        url = self.settings(exe_url=self.server.url("/fwexe/unsigned.exe"), exe_hash=sha256(self.unsigned))
        self.assertEqual(EXIT_DOWNLOAD, self.s.check("/Url:" + url))
        self.assert_failed_end(self.s.lines(), NOT_TRUSTED)

    def test_program_that_cannot_be_started(self):
        # A signed library passes both checks but is no program: the start fails
        # and its system error becomes the exit code.
        library = (TEST_BIN / "signed" / "battery.dll").read_bytes()
        self.server.add_bytes("/fwexe/library.exe", library)
        url = self.settings(exe_url=self.server.url("/fwexe/library.exe"), exe_hash=sha256(library))
        code = self.s.check("/Url:" + url)
        lines = self.s.lines()
        self.assertEqual(ERROR_BAD_EXE_FORMAT, code)
        self.assertIn("ShellExecuteEx failed %d." % code, lines)
        self.assert_failed_end(lines, "execute failed.")
        self.assertEqual("return 0x%08X." % code, lines[-1])

    def test_settings_404_has_no_keys(self):
        self.server.add_not_found("/settings/gone.ini")
        self.assertEqual(EXIT_UNKNOWN_STATUS, self.s.check("/Url:" + self.server.url("/settings/gone.ini")))
        self.assert_failed_end(self.s.lines(), "Target is unknown status.")
        self.assertEqual(1, self.server.count("/settings/gone.ini"))

    def test_end_code(self):
        url = self.settings(end_code="1")
        self.assertEqual(EXIT_END_CODE, self.s.check("/Url:" + url))
        lines = self.s.lines()
        self.assert_failed_end(lines, "EndCode: 1.")
        self.assertEqual("return 0x00000067.", lines[-1])

    def test_neither_program_nor_end_code(self):
        url = self.settings(exe_param="/s")
        self.assertEqual(EXIT_UNKNOWN_STATUS, self.s.check("/Url:" + url))
        self.assert_failed_end(self.s.lines(), "Target is unknown status.")

    def test_connection_refused(self):
        url = "http://127.0.0.1:%d/settings.ini" % unused_port()
        self.assertEqual(EXIT_DOWNLOAD, self.s.check("/Url:" + url))
        self.assert_failed_end(self.s.lines(), CONNECTION_REFUSED)

    def test_stalled_settings_body_ends_after_a_minute_without_data(self):
        # Headers, 64 bytes of the announced ones, then silence.
        body = settings_ini(end_code="1") + b"\r\0\n\0" * 200
        self.server.add_stalled("/settings/stalled.ini", body, 64)
        started = time.monotonic()
        code = self.s.check("/Url:" + self.server.url("/settings/stalled.ini"), timeout=150)
        elapsed = time.monotonic() - started
        self.assertEqual(EXIT_DOWNLOAD, code)
        self.assertGreater(elapsed, 59)
        self.assertLess(elapsed, 90)
        self.assert_failed_end(self.s.lines(), "CThreadDL - error: no data for 60 s (64 bytes received)")

    def test_connection_dropped_in_the_program(self):
        self.server.add_dropped("/fwexe/cut.exe", self.signed, cut_at=len(self.signed) // 2)
        url = self.settings(exe_url=self.server.url("/fwexe/cut.exe"), exe_hash=sha256(self.signed))
        self.assertEqual(EXIT_DOWNLOAD, self.s.check("/Url:" + url))
        lines = self.s.lines()
        self.assertRegex(lines[-3], r"^CThreadDL - error: body incomplete")
        self.assert_failed_end(lines, lines[-3])

    def test_missing_run_value_starts_nothing(self):
        delete_run_key()
        try:
            url = self.settings(end_code="done")
            self.assertEqual(EXIT_END_CODE, self.s.check("/Url:" + url))
            lines = self.s.lines()
            self.assertEqual(["EndCode: done.", "can't read cmd (run).", "return 0x00000067."], lines[-3:])
            self.assertIsNone(self.s.runkey_record(1.0))
        finally:
            set_run_key()

    def test_run_value_of_the_own_registry_view_first_then_of_the_64_bit_view(self):
        # A 64-bit installer writes the value into the 64-bit view, which a 32-bit
        # Fetchrun under WoW64 does not see by default.
        own = "32" if SIDE == "i686" else "64"
        rows = (({VIEW_64: "64"}, "64"),
                ({VIEW_32: "32", VIEW_64: "64"}, own))
        url = self.settings(end_code="done")
        command = RUNKEY_COMMAND.replace("%CW_FETCHRUN_RUNKEY_DIR%", self.s.dos())
        try:
            for values, started in rows:
                with self.subTest(values=values):
                    delete_run_key()
                    for view, mark in values.items():
                        set_run_key(RUNKEY_COMMAND + " " + mark, view=view)
                    self.s.path("runkey.exe.record").unlink(missing_ok=True)
                    self.assertEqual(EXIT_END_CODE, self.s.check("/Url:" + url))
                    self.assertEqual(self.s.lines()[-2], "cmd  : %s %s." % (command, started))
                    self.assertEqual(self.s.runkey_record().command_line, "%s %s" % (command, started))
        finally:
            delete_run_key()
            set_run_key()

if __name__ == "__main__":
    unittest.main()
