"""Options of Cellwise.exe: rejected command lines, values taken verbatim, the
language guard and -ViewTarget."""
import unittest

from notebook import (EXIT_LANGUAGE, EXIT_LIBRARY, EXIT_NO_TARGET, EXIT_REJECTED, EXIT_TARGET, LOCALE_EN, LOCALE_JA,
                      NON_TARGET, TARGET, TEXT_132, CellwiseCase, Library, Notebook, identity, message132,
                      message_box, result)

LOG = "<log>"  # replaced by the scenario's log path


def tearDownModule():
    Notebook.clear()


class Rejections(CellwiseCase, unittest.TestCase):
    """A rejected command line ends with 2 before anything else: no log file, no window."""

    CASES = {
        "bare_argument": [LOG, "bare"],
        "bare_option_name": [LOG, "silent"],
        "unknown_option": [LOG, "-unknown"],
        "upper_case": [LOG, "-SILENT"],
        "mixed_case": [LOG, "-Silent"],
        "view_target_case": [LOG, "-viewtarget"],
        "double_hyphen": [LOG, "--silent"],
        "option_with_suffix": [LOG, "-silent:1"],
        "backslash_prefix": [LOG, "\\silent"],
        "prefix_only": [LOG, "-"],
        "empty_argument": [LOG, ""],
        "repeated_switch": [LOG, "-silent", "/silent"],
        "repeated_switch_apart": [LOG, "-silent", "-noverifysignature", "-silent"],
        "repeated_value_option": [LOG, "-log", "other.log"],
        "langid_without_value": [LOG, "-langid"],
        "logcsv_without_value": [LOG, "-logcsv"],
        "log_without_value": ["-silent", "-log"],
    }

    def test_rejected(self):
        for name, template in self.CASES.items():
            with self.subTest(name):
                scenario = self.scenario(suffix=name)
                args = []
                for arg in template:
                    args += ["-log", scenario.dos("event.log")] if arg is LOG else [arg]
                code = scenario.run(*args, batteries=[TARGET])
                self.assertEqual(code, EXIT_REJECTED)
                self.assertEqual(scenario.windows, [])
                self.assertEqual(scenario.files(), [])


class AcceptedForms(CellwiseCase, unittest.TestCase):

    def test_slash_prefix(self):
        scenario = self.scenario()
        code = scenario.run("/silent", "/log", scenario.dos("event.log"), "/noverifysignature", batteries=[TARGET])
        self.assertEqual(code, EXIT_TARGET)
        self.assertEqual(scenario.windows, [])
        self.assertEvents(scenario.events(), [identity(TARGET, 0), result(EXIT_TARGET)])

    def test_log_value_that_looks_like_an_option(self):
        # "-silent" is the log file's name (relative to the current folder), not a switch:
        # the message box of the missing library is shown.
        scenario = self.scenario(Library.MISSING)
        code = scenario.run("-log", "-silent", batteries=[TARGET])
        self.assertEqual(code, EXIT_LIBRARY)
        self.assertEqual(scenario.windows, [message_box(TEXT_132[0x0409], icon=True)])
        self.assertEqual(scenario.files(), ["-silent"])
        self.assertEvents(scenario.events("-silent"), [message132(), result(EXIT_LIBRARY)])

    def test_every_option_once(self):
        scenario = self.scenario(Library.UNSIGNED)
        code = scenario.run("-silent", "-noverifysignature", "-log", scenario.dos("event.log"), "-logcsv",
                            scenario.dos("report.csv"), "-ViewTarget", "-langid", "1033", "-fetchrundebugmode",
                            batteries=[TARGET])
        self.assertEqual(code, EXIT_TARGET)
        self.assertEqual(scenario.windows, [])
        self.assertEvents(scenario.events(), [identity(TARGET, 0), result(EXIT_TARGET)])


class LanguageGuard(CellwiseCase, unittest.TestCase):
    """-langid is converted like wcstoul with base 0; its low 16 bits must equal the
    user's UI language (0x0409 by default, 0x0411 under a Japanese locale)."""

    def guard(self, locale, passing, failing):
        scenario = self.scenario()
        for value in passing:
            with self.subTest(passes=value):
                code, events = scenario.check("-langid", value, batteries=[TARGET], locale=locale)
                self.assertEqual(code, EXIT_TARGET)
                self.assertEvents(events, [identity(TARGET, 0), result(EXIT_TARGET)])
        for value in failing:
            with self.subTest(fails=value):
                if scenario.log.exists():
                    scenario.log.unlink()
                code = scenario.run("-log", scenario.dos("event.log"), "-langid", value, locale=locale)
                self.assertEqual(code, EXIT_LANGUAGE)
                self.assertEqual(scenario.windows, [])
                # The log is opened before the guard; nothing is written to it.
                self.assertEqual(scenario.log.read_bytes(), b"\xff\xfe")

    def test_default_ui_language(self):
        self.guard(LOCALE_EN,
                   passing=["1033", "0x409", "0X0409", "0x10409", " 1033", "02011", "1033 trailing"],
                   failing=["1041", "0x411", "abc", "", "0409", "0x408", "-silent"])

    def test_japanese_ui_language(self):
        self.guard(LOCALE_JA, passing=["1041", "0x411", "0x10411"], failing=["1033", "0x409"])


class ViewTarget(CellwiseCase, unittest.TestCase):
    """-ViewTarget shows a window only for a target pack; the check itself is unchanged."""

    def test_no_target(self):
        scenario = self.scenario()
        code = scenario.run("-ViewTarget", "-log", scenario.dos("event.log"), batteries=[NON_TARGET])
        self.assertEqual(code, EXIT_NO_TARGET)
        self.assertEqual(scenario.windows, [])
        self.assertEvents(scenario.events(), [identity(NON_TARGET, 0), result(EXIT_NO_TARGET)])

    def test_target_silent(self):
        code, events = self.scenario().check("-ViewTarget", batteries=[TARGET])
        self.assertEqual(code, EXIT_TARGET)
        self.assertEvents(events, [identity(TARGET, 0), result(EXIT_TARGET)])


if __name__ == "__main__":
    unittest.main()
