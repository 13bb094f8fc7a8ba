"""The one-line CSV report of Cellwise.exe (-logcsv). Wine's WMI names the product
"Wine" with the identifying number "0"."""
import re
import unittest

import notebook as nb

TIME = r"\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3}"
PRODUCT = "Wine, 0"


def lines(data: bytes):
    """The report's lines after the byte order mark, each with its CR LF."""
    text = data[2:].decode("utf-16-le")
    return re.findall(r"[^\r]*\r\n", text)


class CsvReport(unittest.TestCase):
    def run_csv(self, scenario, *args, batteries=nb.KEEP):
        return scenario.run("-silent", "-logcsv", scenario.dos("report.csv"), *args, batteries=batteries)

    def test_each_run_appends_one_line_with_every_valid_battery(self):
        scenario = nb.Scenario(self)
        second = nb.Battery("NRV-BP33", "Acme", "S, 2")  # a comma is written as it is
        self.assertEqual(self.run_csv(scenario, batteries=[nb.TARGET, second]), nb.EXIT_TARGET)
        self.assertEqual(self.run_csv(scenario), nb.EXIT_TARGET)
        data = scenario.path("report.csv").read_bytes()
        self.assertEqual(data[:2], b"\xff\xfe")
        rows = lines(data)
        self.assertEqual(len(rows), 2)
        for row in rows:
            self.assertRegex(row, "^%s, 0, %s, NRV-BP41A, 2307Z104512Z, NRV-BP33, S, 2\r\n$" % (TIME, PRODUCT))
        self.assertEqual(data.count(b"\xff\xfe"), 1)

    def test_a_run_without_batteries_writes_the_four_fields_only(self):
        scenario = nb.Scenario(self, library=nb.Library.MISSING)
        self.assertEqual(self.run_csv(scenario, batteries=[nb.TARGET]), nb.EXIT_LIBRARY)
        self.assertRegex("".join(lines(scenario.path("report.csv").read_bytes())), "^%s, 3, %s\r\n$" % (TIME, PRODUCT))

        none = nb.Scenario(self, suffix="none")
        self.assertEqual(self.run_csv(none, batteries=[]), nb.EXIT_NO_BATTERY)
        self.assertRegex("".join(lines(none.path("report.csv").read_bytes())), "^%s, 4, %s\r\n$" % (TIME, PRODUCT))

    def test_an_existing_file_keeps_its_bytes_and_gets_the_line_at_its_end(self):
        scenario = nb.Scenario(self)
        scenario.path("report.csv").write_bytes(b"ABcd")
        self.assertEqual(self.run_csv(scenario, batteries=[nb.NON_TARGET]), nb.EXIT_NO_TARGET)
        data = scenario.path("report.csv").read_bytes()
        self.assertEqual(data[:4], b"ABcd")
        self.assertRegex(data[4:].decode("utf-16-le"), "^%s, 1, %s, NRV-BP41A, 2307Z110000Z\r\n$" % (TIME, PRODUCT))

    def test_runs_stopped_before_the_check_write_no_line(self):
        scenario = nb.Scenario(self)
        self.assertEqual(self.run_csv(scenario, "-bogus", batteries=[nb.TARGET]), nb.EXIT_REJECTED)
        self.assertEqual(self.run_csv(scenario, "-langid", "1041"), nb.EXIT_LANGUAGE)
        self.assertFalse(scenario.path("report.csv").exists())


if __name__ == "__main__":
    unittest.main()
