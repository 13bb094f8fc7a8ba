"""tools/fleet_summary.py on hand-written reports: joined files, a cut-off line, a
machine checked twice, lines without identity, Japanese names."""
import contextlib
import io
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import fleet_summary  # noqa: E402

BOM = b"\xff\xfe"


def report(*lines: str, ended: bool = True) -> bytes:
    """A report as Cellwise.exe writes it: the byte order mark, then UTF-16LE lines ended by CR LF."""
    text = "\r\n".join(lines) + ("\r\n" if ended else "")
    return BOM + text.encode("utf-16-le")


SITE_A = report(
    "2024/05/01 08:00:00.000, 0, Norvane Aero 14, NVA14-0001, NRV-BP41A, 2307Z104512Z",
    "2024/05/01 08:01:00.000, 1, Norvane Aero 14, NVA14-0002, NRV-BP41A, 2307Z110000Z",
    "2024/05/01 08:02:00.000, 0, Norvane Aero 14, To Be Filled By O.E.M., NRV-BP52, 2310Z100001Z",
    "2024/05/01 08:03:00.000, 0, Norvane Aero 14, To Be Filled By O.E.M., NRV-BP52, 2310Z100002Z",
    "2024/05/01 08:04:00.000, 4, Norvane Aero 13, NVA13-0001",
    "2024/05/01 08:05:00.000, 1, Norvane Aer",  # the copy of this report was cut off here
    ended=False)
SITE_B = report(
    "2024/05/02 09:00:00.000, 0, ノルベイン Aero 14, NVJ-0007, 純正バッテリー NRV-BP41A, 2307Z104600Z",
    "2024/05/02 09:10:00.000, 1, Norvane Aero 14, NVA14-0001, NRV-BP41A, 2407Z200000Z",  # its pack was replaced
    "2024/05/02 09:20:00.000, 3, Norvane Aero 16, NVA16-0003",
    "2024/05/02 09:30:00.000, 2, Norvane Aero 16, NVA16-0004",
    "2024/05/02 09:40:00.000, 0, Wine, 0, NRV-BP41A, 2307Z104512Z",
    "2024/05/02 09:50:00.000, 0, Norvane Aero 16, NVA16-0005, NRV-BP33, S, 2")
SITE_C = report(
    "2024/05/03 10:00:00.000, 0, Norvane Aero 16, NVA16-0009, NRV-BP41A, 2307Z104999Z, NRV-BP52, 2310Z100003Z",
    "2024/04/30 10:00:00.000, 0, Norvane Aero 14, NVA14-0002, NRV-BP41A, 2307Z104000Z")  # older than site A's

SUMMARY = """\
Reports: 2, lines: 14, malformed lines: 3
Machines checked: 9
  by product name and identifying number (the latest line of each): 6
  lines without a usable identity (one machine each): 3

Malformed lines:
  joined.csv:6: not ended by a line end (cut off): 2024/05/01 08:05:00.000, 1, Norvane Aer
  joined.csv:9: unknown exit code '2': 2024/05/02 09:30:00.000, 2, Norvane Aero 16, NVA16-0004
  joined.csv:11: odd number of fields (a value holding ", "?): 2024/05/02 09:50:00.000, 0, Norvane Aero 16, NVA16-0005, NRV

Machines by verdict:
  Verdict              Machines  Without identity
  replace              5         3
  no target            2         0
  library unavailable  1         0
  no battery           1         0

Target packs by battery name:
  Battery name              Packs
  NRV-BP52                  3
  NRV-BP41A                 2
  純正バッテリー NRV-BP41A  1

Machines whose pack must be replaced:
  Time                     Product             Identifying number      Battery name              Serial        Packs
  2024/05/01 08:02:00.000  Norvane Aero 14     To Be Filled By O.E.M.  NRV-BP52                  2310Z100001Z  1
  2024/05/01 08:03:00.000  Norvane Aero 14     To Be Filled By O.E.M.  NRV-BP52                  2310Z100002Z  1
  2024/05/02 09:00:00.000  ノルベイン Aero 14  NVJ-0007                純正バッテリー NRV-BP41A  2307Z104600Z  1
  2024/05/02 09:40:00.000  Wine                0                       NRV-BP41A                 2307Z104512Z  1
  2024/05/03 10:00:00.000  Norvane Aero 16     NVA16-0009              NRV-BP41A                 2307Z104999Z  2
  2024/05/03 10:00:00.000  Norvane Aero 16     NVA16-0009              NRV-BP52                  2310Z100003Z  2
Machines holding more than one pack: 1 (the report does not say which pack is the target, so each is listed)
"""


class FleetSummary(unittest.TestCase):
    maxDiff = None

    def setUp(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        self.folder = Path(folder.name)

    def write(self, name: str, data: bytes) -> str:
        path = self.folder / name
        path.write_bytes(data)
        return str(path)

    def summarise(self, *args: str):
        out, err = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
            code = fleet_summary.main(list(args))
        return code, out.getvalue().replace(str(self.folder) + "/", "").replace(str(self.folder) + "\\", ""), \
            err.getvalue()

    def test_joined_and_separate_reports_give_one_line_per_machine(self):
        joined = self.write("joined.csv", SITE_A + SITE_B)  # as `copy /b a.csv+b.csv` joins them
        separate = self.write("site-c.csv", SITE_C)
        code, out, err = self.summarise(joined, separate)
        self.assertEqual((code, err), (0, ""))
        self.assertEqual(out, SUMMARY)

    def test_identifying_numbers_that_name_no_machine(self):
        for number, usable in (("NVA14-0001", True), ("PF1ABCDE", True), ("", False), ("   ", False),
                               ("0", False), ("00000000", False), ("To be filled by O.E.M.", False),
                               ("Default string", False), ("System  Serial Number", False), ("N/A", False)):
            self.assertEqual(fleet_summary.usable_identity(number), usable, number)

    def test_why_a_line_is_malformed(self):
        for text, reason in (
                ("Norvane Aero 14, NV-1", "no time stamp"),
                ("2024/13/01 08:00:00.000, 1, Norvane Aero 14, NV-1, NRV-BP41A, S1", "no time stamp"),
                ("2024/05/01 08:00:00.000, 1, Norvane Aero 14", "too few fields"),
                ("2024/05/01 08:00:00.000, -1, Norvane Aero 14, NV-1", "unknown exit code '-1'"),
                ("2024/05/01 08:00:00.000, 0, Norvane Aero 14, NV-1", "exit code 0 without a battery"),
                ("2024/05/01 08:00:00.000, 4, Norvane Aero 14, NV-1, NRV-BP41A, S1", "exit code 4 with batteries")):
            self.assertEqual(fleet_summary.parse_line(text), (None, reason), text)

    def test_a_folder_or_a_pattern_names_its_reports(self):
        (self.folder / "sites").mkdir()
        for name in ("b.csv", "a.csv", "notes.txt"):
            self.write("sites/" + name, SITE_C)
        reports = [str(self.folder / "sites" / n) for n in ("a.csv", "b.csv")]
        self.assertEqual(fleet_summary.expand([str(self.folder / "sites")]), reports)
        self.assertEqual(fleet_summary.expand([str(self.folder / "sites" / "*.csv")]), reports)

    def test_outputs_for_a_spreadsheet_and_a_browser_keep_report_text_inert(self):
        path = self.write("r.csv", report(
            '2024/05/01 08:00:00.000, 0, <b>"Aero" & Co</b>, NV-1, =HYPERLINK("http://x"), -12'))
        sheet, page = self.folder / "replace.csv", self.folder / "summary.html"
        code, _, err = self.summarise(path, "--csv", str(sheet), "--html", str(page))
        self.assertEqual((code, err), (0, ""))
        self.assertEqual(sheet.read_bytes(), b"\xef\xbb\xbf"
                         b"Time,Product,Identifying number,Battery name,Serial,Packs\r\n"
                         b"2024/05/01 08:00:00.000,\"<b>\"\"Aero\"\" & Co</b>\",NV-1,"
                         b"\"'=HYPERLINK(\"\"http://x\"\")\",'-12,1\r\n")
        html = page.read_text(encoding="utf-8")
        self.assertNotIn("<b>", html)
        self.assertIn("<td>&lt;b&gt;&quot;Aero&quot; &amp; Co&lt;/b&gt;</td>", html)
        self.assertIn('<rect x="150" y="5" width="360" height="18" fill="#c0392b"/>', html)  # replace: 1 of 1
        self.assertIn('<rect x="150" y="33" width="0" height="18" fill="#2e7d32"/>', html)  # no target: 0

    def test_a_report_that_cannot_be_read_fails_with_its_name(self):
        code, out, err = self.summarise(str(self.folder / "missing.csv"))
        self.assertEqual((code, out), (1, ""))
        self.assertIn("cannot read", err)
        self.assertIn("missing.csv", err)


if __name__ == "__main__":
    unittest.main()
