"""battery.dll beside Cellwise.exe: trusted only with a valid signature from a
trusted root, unless -noverifysignature; every other variant ends the run with 3."""
import unittest

from notebook import (EXIT_LIBRARY, EXIT_TARGET, LOCALE_JA, TARGET, TEXT_132, CellwiseCase, Library, Notebook,
                      identity, message132, message_box, result)

UNAVAILABLE = (Library.MISSING, Library.DIRECTORY, Library.UNSIGNED, Library.TAMPERED, Library.EXPIRED)


def tearDownModule():
    Notebook.clear()


class LibraryVariants(CellwiseCase, unittest.TestCase):

    def test_signed_library_is_used(self):
        code, events = self.scenario(Library.SIGNED).check(batteries=[TARGET])
        self.assertEqual(code, EXIT_TARGET)
        self.assertEvents(events, [identity(TARGET, 0), result(EXIT_TARGET)])

    def test_unavailable_library_silent(self):
        for variant in UNAVAILABLE:
            with self.subTest(library=variant):
                code, events = self.scenario(variant, suffix=variant).check(batteries=[TARGET])
                # No battery is queried without the lists.
                self.assertEqual(code, EXIT_LIBRARY)
                self.assertEvents(events, [message132(), result(EXIT_LIBRARY)])

    def test_unavailable_library_with_view_target(self):
        for variant in UNAVAILABLE:
            with self.subTest(library=variant):
                scenario = self.scenario(variant, suffix=variant)
                code = scenario.run("-ViewTarget", "-log", scenario.dos("event.log"), batteries=[TARGET])
                self.assertEqual(code, EXIT_LIBRARY)
                self.assertEqual(scenario.windows, [])
                self.assertEvents(scenario.events(), [result(EXIT_LIBRARY)])

    def test_unavailable_library_shows_message(self):
        for variant in (Library.MISSING, Library.UNSIGNED):
            with self.subTest(library=variant):
                scenario = self.scenario(variant, suffix=variant)
                code = scenario.run("-log", scenario.dos("event.log"), batteries=[TARGET])
                self.assertEqual(code, EXIT_LIBRARY)
                self.assertEqual(scenario.windows, [message_box(TEXT_132[0x0409], icon=True)])
                self.assertEvents(scenario.events(), [message132(), result(EXIT_LIBRARY)])

    def test_unavailable_library_japanese(self):
        code, events = self.scenario(Library.MISSING).check(batteries=[TARGET], locale=LOCALE_JA)
        self.assertEqual(code, EXIT_LIBRARY)
        self.assertEvents(events, [message132(0x0411), result(EXIT_LIBRARY)])

    def test_unchecked_library_is_used(self):
        # -noverifysignature skips the trust check, not the load: a file that is
        # present and loadable works whatever its signature.
        for variant in (Library.UNSIGNED, Library.TAMPERED, Library.EXPIRED):
            with self.subTest(library=variant):
                code, events = self.scenario(variant, suffix=variant).check("-noverifysignature",
                                                                           batteries=[TARGET])
                self.assertEqual(code, EXIT_TARGET)
                self.assertEvents(events, [identity(TARGET, 0), result(EXIT_TARGET)])

    def test_unchecked_but_absent_library(self):
        for variant in (Library.MISSING, Library.DIRECTORY):
            with self.subTest(library=variant):
                code, events = self.scenario(variant, suffix=variant).check("-noverifysignature",
                                                                           batteries=[TARGET])
                self.assertEqual(code, EXIT_LIBRARY)
                self.assertEvents(events, [message132(), result(EXIT_LIBRARY)])


if __name__ == "__main__":
    unittest.main()
