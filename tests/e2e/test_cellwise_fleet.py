"""A fleet checked into one report, as a management system runs Cellwise.exe on each
notebook (fleet.py): the notebooks that hold the same packs are checked at once,
each as a machine of its own, and meet at the report, once while another program
holds it; a notebook checked three times at once meets its own runs at its event
log. Every run waits its turn at a
file another run holds, so no line and no record is lost and none is torn, and the
summary of the report counts each machine once, with its latest verdict."""
import re
import sys
import unittest
from pathlib import Path

import fleet
import winerun
from notebook import (EXIT_LIBRARY, EXIT_NO_BATTERY, CellwiseCase, identity, message113, message132, parse_log,
                      result)

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import fleet_summary  # noqa: E402

LINE = re.compile(r"\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3}, ([^\r\n]*)\r\n")


def expected_line(machine: fleet.Machine) -> str:
    """A run's line after its time stamp."""
    fields = [str(machine.expected), machine.product, machine.number if machine.number is not None else "0"]
    if machine.expected not in (EXIT_LIBRARY, EXIT_NO_BATTERY):
        for b in machine.batteries:
            fields += [b.name, b.serial]
    return ", ".join(fields)


def expected_events(machine: fleet.Machine):
    """The records one run writes into its machine's log."""
    if machine.expected == EXIT_LIBRARY:
        return [message132(), result(EXIT_LIBRARY)]
    if machine.expected == EXIT_NO_BATTERY:
        return [message113(), result(EXIT_NO_BATTERY)]
    return [identity(b, i) for i, b in enumerate(machine.batteries)] + [result(machine.expected)]


class Fleet(CellwiseCase, unittest.TestCase):

    def test_a_fleet_checked_in_rounds_leaves_every_line_whole_and_one_verdict_per_machine(self):
        folder = winerun.fresh_folder(winerun.SCENARIO_DIR, self.id())
        with fleet.Fleet(folder) as f:
            runs = f.check_rounds(report=print)
        self.assertEqual(len(fleet.notebooks()), 32)
        self.assertEqual([(r.machine.name, r.code) for r in runs], [(r.machine.name, r.machine.expected) for r in runs])

        report = f.report.read_bytes()
        self.assertEqual(report[:2], b"\xff\xfe")
        text = report[2:].decode("utf-16-le")
        self.assertEqual(LINE.sub("", text), "", "torn or foreign text in the report")
        self.assertEqual(sorted(LINE.findall(text)), sorted(expected_line(r.machine) for r in runs))

        # A run holds its log from its start to its end: the records of one run stay together.
        for machine in fleet.notebooks():
            expected = [e for r in runs if r.machine.name == machine.name for e in expected_events(r.machine)]
            self.assertEvents(parse_log(f.log(machine).read_bytes()), expected)
        # While another program held the report, no run wrote to it; afterwards every run did (above).
        (before, released), = f.held_sizes
        self.assertEqual(released, before)

        listed = next(m for m in fleet.notebooks() if m.listed)
        self.assertEqual(f.trace(listed).read_text().splitlines(),
                         ["GetECDevInfo in=0x00000000", "ReadWritePWRMC selector=0xD5 in=0x00000000"])

        s = fleet_summary.read_reports([str(f.report)])
        self.assertEqual((s.lines, s.malformed, s.machines, s.identified, s.unidentified), (35, [], 32, 30, 2))
        self.assertEqual(s.by_verdict, [("replace", 12, 1), ("no target", 16, 1), ("library unavailable", 1, 0),
                                        ("no battery", 3, 0)])
        self.assertEqual(s.packs_by_name, [("NRV-BP41A", 9), ("NRV-BP52", 5)])
        self.assertEqual(sorted((p.number, p.name, p.serial, p.packs) for p in s.replace), [
            ("NVA14-0102", "NRV-BP41A", "2307Z104512Z", 1),
            ("NVA14-0103", "NRV-BP41A", "2307Z104512Z", 1),
            ("NVA14-0104", "NRV-BP41A", "2307Z104512Z", 1),
            ("NVA14-0105", "NRV-BP41A", "2307Z104512Z", 1),
            ("NVA14-0106", "NRV-BP41A", "2307Z104512Z", 1),
            ("NVA14-0107", "NRV-BP41A", "2307Z104512Z", 1),
            ("NVA16-0601", "NRV-BP41A", "2307Z110000Z", 2),
            ("NVA16-0601", "NRV-BP52", "2310Z100001Z", 2),
            ("NVA16-0602", "NRV-BP41A", "2307Z110000Z", 2),
            ("NVA16-0602", "NRV-BP52", "2310Z100001Z", 2),
            ("NVS13-0201", "NRV-BP52", "2310Z100001Z", 1),
            ("NVS13-0202", "NRV-BP52", "2310Z100001Z", 1),
            ("NVS13-0203", "NRV-BP52", "2310Z100001Z", 1),
            ("To Be Filled By O.E.M.", "NRV-BP41A", "2307Z104512Z", 1),
        ])


if __name__ == "__main__":
    unittest.main()
