"""The event log file byte for byte: a new or empty file starts with the byte order
mark, an existing one keeps its bytes and gets the records after them; the record
format; and runs without a usable log."""
import unittest

from notebook import (EXIT_LANGUAGE, EXIT_NO_BATTERY, EXIT_TARGET, INFORMATION, TARGET, CellwiseCase, Notebook,
                      format_record, identity, message113, parse_log, result)

BOM = b"\xff\xfe"


def tearDownModule():
    Notebook.clear()


class LogFile(CellwiseCase, unittest.TestCase):

    def logged_run(self, scenario, *args, batteries=(TARGET,)):
        return scenario.run("-silent", "-log", scenario.dos("event.log"), *args, batteries=list(batteries))

    def assertRecords(self, data: bytes, old: bytes, expected, run):
        """data == the old bytes (BOM for none) + the expected records, with the stamps the run wrote."""
        events = parse_log(data, old)
        self.assertEvents(events, expected)
        self.assertStampsWithin(events, run)
        records = b"".join(format_record(e.raw_stamp, *key) for e, key in zip(events, expected))
        self.assertEqual(data, (old or BOM) + records)

    def test_new_file(self):
        scenario = self.scenario()
        self.assertEqual(self.logged_run(scenario), EXIT_TARGET)
        self.assertRecords(scenario.log.read_bytes(), b"", [identity(TARGET, 0), result(EXIT_TARGET)],
                           scenario.runs[-1])

    def test_existing_files_keep_their_content(self):
        scenario = self.scenario()
        cases = {
            "ascii": b"previous content\r\n",
            "odd_length": b"odd length text\r\n!",
            "empty": b"",
            "one_byte": b"x",
            "utf16_with_bom": BOM + "earlier run\r\n".encode("utf-16-le"),
        }
        for name, old in cases.items():
            with self.subTest(name):
                scenario.log.write_bytes(old)
                self.assertEqual(self.logged_run(scenario), EXIT_TARGET)
                self.assertRecords(scenario.log.read_bytes(), old, [identity(TARGET, 0), result(EXIT_TARGET)],
                                   scenario.runs[-1])

    def test_second_run_appends(self):
        scenario = self.scenario()
        self.assertEqual(self.logged_run(scenario), EXIT_TARGET)
        first = scenario.log.read_bytes()
        self.assertEqual(self.logged_run(scenario, batteries=()), EXIT_NO_BATTERY)
        self.assertRecords(scenario.log.read_bytes(), first, [message113(), result(EXIT_NO_BATTERY)],
                           scenario.runs[-1])
        # Exactly one byte order mark, at the start.
        self.assertEqual(scenario.log.read_bytes().count(BOM), 1)

    def test_language_mismatch_adds_nothing(self):
        scenario = self.scenario()
        self.assertEqual(self.logged_run(scenario), EXIT_TARGET)
        first = scenario.log.read_bytes()
        self.assertEqual(self.logged_run(scenario, "-langid", "1041"), EXIT_LANGUAGE)
        self.assertEqual(scenario.log.read_bytes(), first)

    def test_record_layout(self):
        scenario = self.scenario()
        self.assertEqual(self.logged_run(scenario), EXIT_TARGET)
        text = scenario.log.read_bytes()[2:].decode("utf-16-le")
        lines = text.split("\r\n")
        # Identity record: 3 header/text lines + 3 more text lines; then the result record.
        self.assertEqual(lines[0], "---")
        self.assertRegex(lines[1], r"^\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3}, INFORMATION, id=20$")
        self.assertEqual(lines[2:6], ["Name:NRV-BP41A", "Manufacturer:Norvane", "Serial:2307Z104512Z",
                                      "path:\\\\?\\root#battery#0#{72631e54-78a4-11d0-bcf7-00aa00b7b32a}"])
        self.assertEqual(lines[6], "---")
        self.assertRegex(lines[7], r"^\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3}, %s, id=1$" % INFORMATION)
        self.assertEqual(lines[8:], ["result=0", ""])
        self.assertNotIn("\0", text)


class NoUsableLog(CellwiseCase, unittest.TestCase):
    """Logging never changes the outcome of a run."""

    def test_without_log_option_no_file(self):
        scenario = self.scenario()
        self.assertEqual(scenario.run("-silent", batteries=[TARGET]), EXIT_TARGET)
        self.assertEqual(scenario.files(), [])

    def test_relative_path_is_in_current_folder(self):
        scenario = self.scenario()
        self.assertEqual(scenario.run("-silent", "-log", "relative.log", batteries=[TARGET]), EXIT_TARGET)
        self.assertEvents(scenario.events("relative.log"), [identity(TARGET, 0), result(EXIT_TARGET)])

    def test_unopenable_paths(self):
        scenario = self.scenario()
        scenario.path("folder.log").mkdir()
        for name in ("missing-folder\\event.log", "folder.log"):
            with self.subTest(name):
                code = scenario.run("-silent", "-log", scenario.dos(name), batteries=[TARGET])
                self.assertEqual(code, EXIT_TARGET)
        self.assertEqual(scenario.files(), ["folder.log"])
        self.assertEqual(list(scenario.path("folder.log").iterdir()), [])


if __name__ == "__main__":
    unittest.main()
