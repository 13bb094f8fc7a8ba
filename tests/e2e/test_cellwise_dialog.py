"""Cellwise.exe's result dialogs on a screen, on the simulated notebook: the
verdict dialog and, on a machine listed for the firmware update, the dialog with
"Go" and "Sleep", in English and Japanese. Runs on an Xvfb display in a Wine
desktop of its own through the GUI driver (fetchrun_harness.Gui); a screenshot of
every state goes to <build>/scenarios/screenshots. What "Go" starts is the
recorder program under the name Fetchrun.exe, which writes down how it was started."""
import os
import re
import shutil
import subprocess
import sys
import unittest
from pathlib import Path
from typing import Dict, List, Optional, Sequence

import firmware as fw
import notebook as nb
from fetchrun_harness import SCREENSHOT_DIR, Gui, read_record

GUI = Gui()
LISTED_SYSTEM = 0x4E560A17
PLATFORM_TARGET = "0x4E560A17-0x00000003"
EN, JA = 0x0409, 0x0411
LOCALES = {EN: nb.LOCALE_EN, JA: nb.LOCALE_JA}
DEBUG_LOG = " /log:c:\\temp\\Fetchrun.log"
TOOLS = Path(__file__).resolve().parents[2] / "tools"

# Template texts of dialogs 129 and 130.
TEMPLATE = {"caption": "Dialog", 1000: "IDC_STATIC_CAPTION", 1002: "Battery:", 1004: "PC:",
            1009: "IDC_STATIC_DESC", "ok": "OK", "go": "Go", 3: "Sleep"}
FOUND_TEXT = "The battery pack in this computer must be replaced."
NOT_FOUND_TEXT = "The battery pack in this computer does not need to be replaced."
CAPTION_BAND = "#DCDCDC"  # RGB(220, 220, 220)
WINDOW = "#FFFFFF"        # the window colour of the default scheme

# Fetchrun.exe stand-ins: the recorder signed, as built (unsigned), and signed then changed.
SIGNED, UNSIGNED, TAMPERED = "signed", "unsigned", "tampered"


def setUpModule():
    if not fw.HWLINK.is_file() or not fw.HWCALL.is_file():
        raise unittest.SkipTest("hwlink.dll or hwcall.exe not built")
    bench = fw.Bench(fw.Named("CellwiseDialog.setUp"))
    fw.remove_driver(bench)
    fw.install_driver(bench)
    fw.register_ec_library(fw.ec_folder(bench))
    bench.run(fw.configure(fw.system_info_firmware(LISTED_SYSTEM)))
    GUI.start()


def tearDownModule():
    fw.unregister_ec_library()
    fw.remove_driver(fw.Bench(fw.Named("CellwiseDialog.tearDown")))
    GUI.stop()


def text(string_id: int, language: int = EN) -> str:
    return nb.library_text(string_id, language)


def value_line(template_id: int, first: str, second: str, language: int = EN) -> str:
    return text(template_id, language).replace("%1", first).replace("%2", second)


def captions(trace: Sequence[str], kind: str) -> List[str]:
    """Window captions of the dialogs of `kind` the driver described, in order."""
    return [m.group(1) for m in (re.match(r'dialog %s "(.*)"( foreground)?$' % kind, line) for line in trace) if m]


def child(trace: Sequence[str], control: int) -> str:
    """The driver's line of `control` in the first dialog it described."""
    prefix = "  child %d " % control
    return next(line for line in trace if line.startswith(prefix))


def child_text(trace: Sequence[str], control: int) -> str:
    return re.match(r'  child \d+ \S+ (?:visible|hidden) "(.*)"$', child(trace, control)).group(1)


def shown(trace: Sequence[str], control: int) -> bool:
    return " visible " in child(trace, control)


def states(trace: Sequence[str]) -> List[str]:
    return [line[len("state "):] for line in trace if line.startswith("state ")]


def rects(trace: Sequence[str]) -> Dict[int, tuple]:
    found = {}
    for line in trace:
        m = re.match(r"rect (\d+) (-?\d+) (-?\d+) (\d+) (\d+)$", line)
        if m:
            found[int(m.group(1))] = tuple(int(g) for g in m.groups()[1:])
    return found


def pixel(screenshot: Path, x: int, y: int) -> str:
    out = subprocess.run(["convert", str(screenshot), "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "txt:-"],
                         stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=30, check=True).stdout
    return re.search(r"#[0-9A-F]{6}", out).group(0)


class DialogScenario:
    """A Cellwise scenario folder for runs through the GUI driver: Cellwise.exe, a
    battery.dll, hwlink.dll when the machine is to be listed, and a Fetchrun.exe."""

    def __init__(self, test, library: str = nb.Library.SIGNED, listed: bool = False,
                 fetchrun: Optional[str] = SIGNED, language: int = EN, partial: bool = False,
                 hostile: bool = False):
        self.scenario = nb.Scenario(test, library)
        self.folder = self.scenario.folder
        self.runs = 0
        self.language = language
        if partial:
            shutil.copy2(nb.TEST_BIN / "battery-partial.dll", self.folder / "battery.dll")
        if hostile:
            shutil.copy2(nb.TEST_BIN / "signed" / "battery-hostile.dll", self.folder / "battery.dll")
        if listed:
            shutil.copy2(fw.HWLINK, self.folder / "hwlink.dll")
        if fetchrun:
            self.place_fetchrun(fetchrun)

    def dos(self, name: str = "") -> str:
        return nb.dos_path(self.folder / name) if name else nb.dos_path(self.folder)

    def env(self, proxy_port=None) -> Dict[str, str]:
        env = dict(os.environ)
        env.pop("LANGUAGE", None)
        env["LC_ALL"] = LOCALES[self.language]
        env.update(fw.ec_environment())
        return env

    def place_fetchrun(self, kind: str) -> None:
        target = self.folder / "Fetchrun.exe"
        source = nb.TEST_BIN / ("signed" if kind != UNSIGNED else "") / "recorder.exe"
        shutil.copy2(source, target)
        if kind == TAMPERED:
            subprocess.run([sys.executable, str(TOOLS / "tamper_pe.py"), str(target), str(target)],
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=True, timeout=30)

    @property
    def record_file(self) -> Path:
        return self.folder / "Fetchrun.exe.record"

    def run(self, batteries, script: Sequence[str], *args: str, on_snap=None):
        nb.Notebook.install(batteries)
        return GUI.run(self, list(args), list(script), on_snap=on_snap, program="Cellwise.exe")


class VerdictDialog(unittest.TestCase):
    """CResultDialog: the verdict, the pack, the computer, one button."""
    maxDiff = None

    def test_target_pack_names_pack_and_computer(self):
        s = DialogScenario(self)
        code, trace = s.run([nb.TARGET], ["wait result", "state", "rect 0", "rect 1000", "rect 1003", "rect 1006",
                                          "activate", "snap cellwise_result_target", "press 1"])
        self.assertEqual(nb.EXIT_TARGET, code)
        self.assertEqual([text(109)], captions(trace, "result"))
        self.assertEqual(text(105), child_text(trace, 1000))
        self.assertEqual(text(110), child_text(trace, 1002))
        self.assertEqual(value_line(107, nb.TARGET.name, nb.TARGET.serial), child_text(trace, 1003))
        self.assertEqual(text(111), child_text(trace, 1004))
        # Wine's WMI names the computer "Wine" with the number "0".
        self.assertEqual(value_line(108, "Wine", "0"), child_text(trace, 1005))
        self.assertEqual(text(106), child_text(trace, 1))
        self.assertTrue(child_text(trace, 1001).startswith(FOUND_TEXT))
        self.assertEqual(["running visible foreground normal sysmenu close"], states(trace))

        # The logo is 64 x 40 at 96 pixels per inch; the caption band and the
        # window have their own colours.
        r = rects(trace)
        self.assertEqual((64, 40), r[1006][2:])
        shot = SCREENSHOT_DIR / "cellwise_result_target.png"
        band = r[1000]
        self.assertEqual(CAPTION_BAND, pixel(shot, band[0] + band[2] - 8, band[1] + band[3] // 2))
        value = r[1003]
        self.assertEqual(WINDOW, pixel(shot, value[0] - 3, value[1] + value[3] // 2))

    def test_no_target_hides_the_value_lines_and_escape_closes(self):
        s = DialogScenario(self)
        code, trace = s.run([nb.NON_TARGET], ["wait result", "snap cellwise_result_no_target", "key escape"])
        self.assertEqual(nb.EXIT_NO_TARGET, code)
        self.assertEqual([False] * 4, [shown(trace, c) for c in (1002, 1003, 1004, 1005)])
        self.assertTrue(child_text(trace, 1001).startswith(NOT_FOUND_TEXT))

    def test_japanese(self):
        s = DialogScenario(self, language=JA)
        code, trace = s.run([nb.TARGET], ["wait result", "snap cellwise_result_target_ja", "press 1"])
        self.assertEqual(nb.EXIT_TARGET, code)
        self.assertEqual([text(109, JA)], captions(trace, "result"))
        for control, string_id in ((1000, 105), (1002, 110), (1004, 111), (1, 106)):
            self.assertEqual(text(string_id, JA), child_text(trace, control))
        self.assertEqual(value_line(107, nb.TARGET.name, nb.TARGET.serial, JA), child_text(trace, 1003))

    def test_library_without_some_strings_keeps_the_template_texts(self):
        s = DialogScenario(self, library=nb.Library.UNSIGNED, partial=True)
        code, trace = s.run([nb.NON_TARGET], ["wait result", "snap cellwise_result_partial_library", "close"],
                            "-noverifysignature")
        self.assertEqual(nb.EXIT_NO_TARGET, code)
        self.assertEqual([TEMPLATE["caption"]], captions(trace, "result"))
        self.assertEqual("Battery Pack Check", child_text(trace, 1000))  # the one text it has
        self.assertEqual(TEMPLATE["ok"], child_text(trace, 1))
        self.assertEqual("", child_text(trace, 1001))  # the library has no rich text 104

    def test_hostile_library_gets_its_values_shown_plainly(self):
        # Trusted, but signed by another publisher, as a library may be: its value
        # templates have '*' fields that would take further values, its rich text
        # embeds an object of the packager class and pictures.
        s = DialogScenario(self, hostile=True)
        code, trace = s.run([nb.TARGET], ["wait result", "snap cellwise_result_hostile_library", "press 1"])
        self.assertEqual(nb.EXIT_TARGET, code)
        self.assertEqual(["Hostile Library"], captions(trace, "result"))
        self.assertEqual("%s %s" % (nb.TARGET.name, nb.TARGET.serial), child_text(trace, 1003))
        self.assertEqual("Wine 0", child_text(trace, 1005))
        rich = child_text(trace, 1001)
        self.assertTrue(rich.startswith("This library's texts are hostile."), rich)
        self.assertIn("The text goes on.", rich)


class FirmwareDialog(unittest.TestCase):
    """CResultDialogFW: only a started Fetchrun.exe ends it."""
    maxDiff = None

    def expected_record(self, s: DialogScenario, debug: bool = False) -> List[str]:
        line = '"%s" "/Target:%s"' % (s.dos("Fetchrun.exe"), PLATFORM_TARGET)
        return [line + (DEBUG_LOG if debug else ""), s.dos()]

    def assertStarted(self, s: DialogScenario, debug: bool = False):
        record = read_record(s.folder / "Fetchrun.exe")
        self.assertIsNotNone(record, "Fetchrun.exe was not started")
        self.assertEqual(self.expected_record(s, debug), [record.command_line, record.folder])

    def test_refuses_every_way_of_closing_sleeps_and_goes(self):
        s = DialogScenario(self, listed=True)
        code, trace = s.run([nb.TARGET], [
            "wait result", "state", "rect 0", "activate", "snap cellwise_firmware_target",
            "key escape", "state", "key altf4", "state", "sysclose", "close", "state",
            # Sleep: hidden until the 60th tick of timer 1; ticks of other timers do not count.
            "press 3", "state", "tick 2 5", "tick 1 55", "state", "visible", "state",
            "snap cellwise_firmware_back", "press 1"])
        self.assertEqual(nb.EXIT_TARGET, code)
        self.assertEqual([text(109)], captions(trace, "result"))
        for control, string_id in ((1000, 105), (1009, 121), (1, 122), (3, 123)):
            self.assertEqual(text(string_id), child_text(trace, control))
        self.assertEqual(value_line(107, nb.TARGET.name, nb.TARGET.serial), child_text(trace, 1003))
        self.assertTrue(child_text(trace, 1001).startswith(FOUND_TEXT))

        # Esc, Alt+F4, the close command and WM_CLOSE from outside leave it as it was.
        kept = "running visible foreground normal nosysmenu noclose"
        hidden = "running hidden background normal nosysmenu noclose"
        self.assertEqual([kept] * 4 + [hidden] * 2 + [kept], states(trace))
        self.assertIn("sysclose ignored", trace)
        # Back after the remaining ticks of the real timer: in the foreground and
        # no longer topmost.
        waited = int(re.search(r"visible after (\d+) ms", "\n".join(trace)).group(1))
        self.assertGreaterEqual(waited, 2500)
        self.assertStarted(s)

    def test_go_refuses_an_untrusted_fetchrun_and_stays(self):
        s = DialogScenario(self, listed=True, fetchrun=UNSIGNED)
        started_early = []

        def swap(name):
            if name == "cellwise_go_refused_kept":
                s.place_fetchrun(TAMPERED)
            elif name == "cellwise_go_refused_again":
                started_early.append(s.record_file.exists())
                s.place_fetchrun(SIGNED)

        code, trace = s.run([nb.NON_TARGET], [
            "wait result", "snap cellwise_firmware_no_target",
            "post 1", "wait message", "state", "snap cellwise_go_refused", "press 1",
            "wait result", "state", "snap cellwise_go_refused_kept",
            "post 1", "wait message", "press 1",
            "wait result", "snap cellwise_go_refused_again", "press 1"], "-fetchrundebugmode", on_snap=swap)
        self.assertEqual(nb.EXIT_NO_TARGET, code)
        self.assertEqual([False] * 4, [shown(trace, c) for c in (1002, 1003, 1004, 1005)])
        self.assertTrue(child_text(trace, 1001).startswith(NOT_FOUND_TEXT))
        self.assertEqual([text(109)] * 2, captions(trace, "message"))
        self.assertIn('  child 65535 Static visible "%s"' % text(125), trace)
        # The error box keeps its close box: the result window changed only itself.
        self.assertEqual(["running visible foreground normal sysmenu close",
                          "running visible foreground normal nosysmenu noclose"], states(trace))
        self.assertEqual([False], started_early, "an untrusted Fetchrun.exe ran")
        self.assertStarted(s, debug=True)

    def test_japanese_without_target(self):
        s = DialogScenario(self, listed=True, language=JA)
        code, trace = s.run([nb.NON_TARGET], ["wait result", "snap cellwise_firmware_no_target_ja", "press 1"])
        self.assertEqual(nb.EXIT_NO_TARGET, code)
        self.assertEqual([text(109, JA)], captions(trace, "result"))
        for control, string_id in ((1000, 105), (1009, 121), (1, 122), (3, 123)):
            self.assertEqual(text(string_id, JA), child_text(trace, control))
        self.assertEqual([False] * 4, [shown(trace, c) for c in (1002, 1003, 1004, 1005)])
        self.assertStarted(s)

    def test_library_without_some_strings(self):
        s = DialogScenario(self, library=nb.Library.UNSIGNED, partial=True, listed=True, fetchrun=UNSIGNED)
        code, trace = s.run([nb.TARGET], [
            "wait result", "snap cellwise_firmware_partial_library",
            "post 1", "wait message", "snap cellwise_firmware_partial_refused", "press 1",
            "wait result", "snap cellwise_firmware_partial_kept", "press 1"],
            "-noverifysignature", on_snap=lambda name: name.endswith("_kept") and s.place_fetchrun(SIGNED))
        self.assertEqual(nb.EXIT_TARGET, code)
        self.assertEqual([TEMPLATE["caption"]] * 2, captions(trace, "result"))
        for control in (1002, 1004, 1009, 3):
            self.assertEqual(TEMPLATE[control], child_text(trace, control))
        self.assertEqual(TEMPLATE["go"], child_text(trace, 1))
        self.assertEqual(value_line(107, nb.TARGET.name, nb.TARGET.serial), child_text(trace, 1003))
        # Without string 125 the error box shows its number, without string 109 no caption.
        self.assertEqual([""], captions(trace, "message"))
        self.assertIn('  child 65535 Static visible "125"', trace)
        self.assertStarted(s)


class WithoutScreen(nb.CellwiseCase, unittest.TestCase):
    """A run that shows the result dialog (answered by winwatch, no screen)."""

    def test_view_target_shows_the_dialog_for_a_target_pack(self):
        scenario = self.scenario()
        self.assertEqual(nb.EXIT_TARGET, scenario.run("-ViewTarget", batteries=[nb.TARGET]))
        self.assertEqual([nb.Window("#32770", text(109), "", False)], scenario.windows)


if __name__ == "__main__":
    unittest.main()
