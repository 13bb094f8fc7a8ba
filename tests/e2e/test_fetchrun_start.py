"""Fetchrun.exe's start: option forms, parameter errors, the log switch, the
language library (missing, untrusted, a target without a settings URL), the
settings URL from TXT 113 or "/Url:", and the single-instance rule."""
import threading
import time
import unittest
from pathlib import Path

from dlserver import settings_ini
from fetchrun_harness import (BANNER, EXIT_ALREADY_RUNNING, EXIT_END_CODE, EXIT_PARAMETER, EXIT_TARGET_NOT_FOUND,
                              DOWNLOAD_HOST, RUNKEY_COMMAND, SETTINGS_PATH, TARGET, FetchrunScenario, ServedCase,
                              delete_run_key,
                              library_text, parse_log, set_run_key)
from notebook import Library

SOURCE_DIR = Path(__file__).resolve().parents[2]


def list_value(list_id: int, key: str) -> str:
    """Value of `key` in the sample library's pair list source."""
    for line in (SOURCE_DIR / "battery" / "lists" / ("%d.txt" % list_id)).read_text(encoding="utf-8").splitlines():
        k, tab, value = line.partition("\t")
        if tab and k == key:
            return value
    raise KeyError(key)


def setUpModule():
    set_run_key()


def tearDownModule():
    delete_run_key()


class Scenarios(ServedCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.server.add_settings("/settings/end.ini", end_code="1")

    def runkey_line(self, s: FetchrunScenario) -> str:
        return "cmd  : %s." % RUNKEY_COMMAND.replace("%CW_FETCHRUN_RUNKEY_DIR%", s.dos())


class CommandLine(Scenarios):
    def test_neither_target_nor_url(self):
        s = FetchrunScenario(self)
        for args in ([], ["/Url", "/Target", "/Url:", "-Target:", "Target:x", "/Hash"]):
            with self.subTest(args=args):
                self.assertEqual(EXIT_PARAMETER, s.check(*args))
                self.assertEqual([BANNER, "LOG mode (%s)." % s.dos("fetchrun.log"), "Silent.",
                                  "error - Parameter error."], s.lines())
        self.assertIsNone(s.runkey_record(0.5))

    def test_option_forms_in_any_case(self):
        s = FetchrunScenario(self)
        url = self.server.url("/settings/end.ini")
        self.assertEqual(EXIT_END_CODE, s.run("-LoG:" + s.dos("fetchrun.log"), "-S", "-uRL:" + url, "/TARGET:a b"))
        lines = s.lines()
        self.assertEqual([BANNER, "LOG mode (%s)." % s.dos("fetchrun.log"), "Silent.", "Type      : a b."],
                         lines[:4])
        self.assertIn("SettingUrl : %s." % url, lines)
        self.assertEqual(1, self.server.count("/settings/end.ini"))
        # Only the whole word is the silent switch.
        s2 = FetchrunScenario(self, suffix="loud")
        self.assertEqual(EXIT_PARAMETER, s2.run("/log:" + s2.dos("fetchrun.log"), "/s:", "-silent", "/s "))
        self.assertEqual([BANNER, "LOG mode (%s)." % s2.dos("fetchrun.log"), "error - Parameter error."], s2.lines())

    def test_log_given_twice_uses_the_first_file(self):
        s = FetchrunScenario(self)
        self.assertEqual(EXIT_PARAMETER, s.run("/LOG:" + s.dos("first.log"), "/LOG:", "-LOG:" + s.dos("second.log"),
                                               "/s"))
        self.assertEqual([BANNER, "LOG mode (%s)." % s.dos("first.log"), BANNER, "LOG mode ().", BANNER,
                          "LOG mode (%s)." % s.dos("second.log"), "Silent.", "error - Parameter error."],
                         s.lines("first.log"))
        self.assertFalse(s.path("second.log").exists())
        # A later run appends to the same file: one byte order mark, old lines kept.
        before = s.path("first.log").read_bytes()
        self.assertEqual(EXIT_PARAMETER, s.run("/LOG:" + s.dos("first.log")))
        after = s.path("first.log").read_bytes()
        self.assertEqual(before, after[:len(before)])
        self.assertEqual(parse_log(before) + [BANNER, "LOG mode (%s)." % s.dos("first.log"),
                                              "error - Parameter error."], parse_log(after))

    def test_without_log_nothing_is_written(self):
        s = FetchrunScenario(self)
        self.assertEqual(EXIT_PARAMETER, s.run("/s"))
        self.assertEqual(EXIT_PARAMETER, s.run("/LOG:", "/s"))
        self.assertEqual(sorted(["Fetchrun.exe", "battery.dll", "runkey.exe", "run0.out", "run1.out"]),
                         sorted(p.name for p in s.folder.iterdir()))


class LanguageLibrary(Scenarios):
    def test_library_missing_or_not_trusted(self):
        for variant in (Library.MISSING, Library.UNSIGNED, Library.TAMPERED, Library.EXPIRED, Library.DIRECTORY):
            with self.subTest(variant):
                s = FetchrunScenario(self, variant, suffix=variant)
                self.assertEqual(EXIT_TARGET_NOT_FOUND, s.check("/Target:" + TARGET))
                self.assertEqual(["Type      : %s." % TARGET, "failed to load Resource dll.", self.runkey_line(s),
                                  "error - Target not found."], s.lines()[3:])
                self.assertIsNotNone(s.runkey_record())
        self.assertEqual([], self.server.requests)

    def test_target_without_settings_url(self):
        s = FetchrunScenario(self)
        self.assertEqual(EXIT_TARGET_NOT_FOUND, s.check("/Target:0x4E560A17-0x00000004"))
        self.assertEqual(["Type      : 0x4E560A17-0x00000004.", "Target URL is not found.", self.runkey_line(s),
                          "error - Target not found."], s.lines()[3:])
        self.assertIsNotNone(s.runkey_record())
        # Keys are compared exactly.
        self.assertEqual(EXIT_TARGET_NOT_FOUND, s.check("/Target:" + TARGET.lower()))

    def test_settings_url_and_detail_come_from_the_library(self):
        # The download server answers as a proxy for the host that TXT 113 names.
        self.server.add_settings(SETTINGS_PATH, end_code="1")
        s = FetchrunScenario(self)
        self.assertEqual(EXIT_END_CODE, s.check("/Target:" + TARGET, proxy_port=self.server.port))
        lines = s.lines()
        url = list_value(113, TARGET)
        self.assertTrue(url.startswith("http://%s/" % DOWNLOAD_HOST), url)
        self.assertIn("SettingUrl : %s." % url, lines)
        detail = list_value(112, TARGET)
        self.assertIn("ErrorMsg   : %s%s." % (library_text(115), library_text(116).replace("%s", detail)), lines)
        self.assertEqual([SETTINGS_PATH], [r.path for r in self.server.requests])

    def test_url_option_bypasses_the_library_lists(self):
        self.server.add_settings(SETTINGS_PATH, end_code="1")
        s = FetchrunScenario(self)
        url = self.server.url("/settings/end.ini")
        self.assertEqual(EXIT_END_CODE, s.check("/Target:" + TARGET, "/Url:" + url, proxy_port=self.server.port))
        lines = s.lines()
        self.assertIn("SettingUrl : %s." % url, lines)
        self.assertIn("ErrorMsg   : %s." % library_text(115), lines)
        self.assertEqual(["/settings/end.ini"], [r.path for r in self.server.requests])


class SingleInstance(Scenarios):
    def test_second_instance_ends_at_once(self):
        # The first run holds its mutex while its settings download waits for the
        # rest of the body, which comes once the second runs are over.
        body = settings_ini(end_code="1")
        release = threading.Event()
        self.server.add_stalled("/settings/slow.ini", body, len(body) // 2, release)
        s = FetchrunScenario(self)
        first = s.start("/s", "/LOG:" + s.dos("first.log"), "/Url:" + self.server.url("/settings/slow.ini"))
        try:
            deadline = time.monotonic() + 20
            while not self.server.count("/settings/slow.ini") and time.monotonic() < deadline:
                time.sleep(0.05)
            self.assertEqual(1, self.server.count("/settings/slow.ini"))
            for args in (["/Url:" + self.server.url("/settings/end.ini")], ["/Hash:" + s.dos("runkey.exe")]):
                with self.subTest(args=args):
                    log = "second%d.log" % len(args[0])
                    self.assertEqual(EXIT_ALREADY_RUNNING, s.run("/s", "/LOG:" + s.dos(log), *args))
                    self.assertEqual([BANNER, "LOG mode (%s)." % s.dos(log), "Silent.", "error - already existed."],
                                     s.lines(log))
            self.assertIsNone(first.poll(), "the first run ended while the second ran")
        finally:
            release.set()
            code = first.wait(60)
        self.assertEqual(EXIT_END_CODE, code)
        self.assertEqual(0, self.server.count("/settings/end.ini"))
        self.assertFalse(s.path("Output-Hash.ini").exists())
        self.assertEqual("return 0x00000067.", s.lines("first.log")[-1])


if __name__ == "__main__":
    unittest.main()
