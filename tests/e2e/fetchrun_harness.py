"""Black-box runs of Fetchrun.exe under Wine, against the local download server
(dlserver.py).

A FetchrunScenario is one fresh folder under CW_SCENARIO_DIR/fetchrun holding
Fetchrun.exe, the wanted variant of battery.dll and a recorder program named
runkey.exe that the Run-key command of the prefix starts (its value names it
through an environment variable that each run sets to its own folder). Fetchrun
keeps its temporary files in the prefix's temporary folder; the log lines name
them, and the scenario maps them to host paths.

GUI runs need a display: Gui starts an Xvfb on a free display and runs Fetchrun
(or Cellwise, for the result dialogs), through the driver fetchrun_gui.exe
(tests/sim/fetchrun_gui), in a Wine desktop of its own that uses the X11 driver
(explorer /desktop=<name>,<size>,x11). The prefix's own null driver stays as it
is for every other process.

The side's folders and prefix come from winerun; ctest sets no_proxy.
"""
import os
import re
import shutil
import subprocess
import time
import unittest
from dataclasses import dataclass
from pathlib import Path, PureWindowsPath
from typing import Dict, List, Optional, Sequence

import winerun
from notebook import Library, library_string
from winerun import OWN_VIEW, SHIP_DIR, TEST_BIN, VIEW_32, VIEW_64, WINE64, WINEPREFIX, dos_path

SCENARIO_DIR = winerun.SCENARIO_DIR / "fetchrun"
SCREENSHOT_DIR = winerun.SCENARIO_DIR / "screenshots"

RUN_TIMEOUT = 60

# Exit codes of Fetchrun.exe.
EXIT_OK = 0
EXIT_NO_TEMP_FILE = 100
EXIT_DOWNLOAD = 102
EXIT_END_CODE = 103
EXIT_UNKNOWN_STATUS = 104
EXIT_PARAMETER = 106
EXIT_ALREADY_RUNNING = 108
EXIT_HASH_EMPTY = 110
EXIT_INI_FILE = 111
EXIT_TARGET_NOT_FOUND = 112

# The sample language library's target, its settings URL (TXT 113) and the
# download server host of that URL and of hash mode's URLs.
TARGET = "0x4E560A17-0x00000003"
SETTINGS_PATH = "/download/battery_exchange/settings/NRV0A17.ini"
DOWNLOAD_HOST = "dl.norvane.example"
PROGRAM_FOLDER = "/download/battery_exchange/fwexe/"

# Run key of the prefix and the command the scenarios store there.
RUN_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"
RUN_VALUE = "NRV0B52_Apps"
RUNKEY_VARIABLE = "CW_FETCHRUN_RUNKEY_DIR"
RUNKEY_COMMAND = '"%' + RUNKEY_VARIABLE + '%\\runkey.exe" /from-run-key'

SETTINGS_SECTION = "{061E6178-4B04-47A6-8B4F-1129CF1640C7}"
KEY_EXE_URL = "{30513847-9A0A-4E73-8D99-D9B0D8DC178A}"
KEY_EXE_HASH = "{09904367-28EA-4199-8319-F53BFF0D4407}"

_BANNER = re.compile(r"\*{10} Fetchrun - \d{4}/\d{2}/\d{2} - \d{2}:\d{2}:\d{2} \*{10}")
_EVENT = re.compile(r"\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2} - (.*)", re.S)
BANNER = "<banner>"


def library_text(string_id: int) -> str:
    """English string `string_id` of the sample language library."""
    return library_string(SHIP_DIR / "battery.dll", string_id, 0x0409)


def host_path(windows_path: str) -> Path:
    """Host path of a Windows path in the prefix (C: is drive_c, Z: is /)."""
    p = PureWindowsPath(windows_path)
    drive = p.drive.upper()
    rest = list(p.parts[1:])
    if drive == "Z:":
        return Path("/", *rest)
    if drive == "C:":
        # The prefix's C: is case-insensitive; the host folder names are not.
        here = WINEPREFIX / "drive_c"
        for part in rest:
            match = [c for c in here.iterdir() if c.name.lower() == part.lower()] if here.is_dir() else []
            here = match[0] if match else here / part
        return here
    raise ValueError("no host path for %s" % windows_path)


def parse_log(data: bytes) -> List[str]:
    """Texts of a Fetchrun log: BANNER for a banner line, else the event text.

    Checks the format on the way: byte order mark once at the start, UTF-16LE,
    every line a banner or a time-stamped event ended by CR LF."""
    if data[:2] != b"\xff\xfe":
        raise AssertionError("log does not begin with FF FE: %r" % data[:8])
    if len(data) % 2:
        raise AssertionError("log of odd length")
    text = data[2:].decode("utf-16-le")
    if "\ufeff" in text:
        raise AssertionError("a second byte order mark")
    if text and not text.endswith("\r\n"):
        raise AssertionError("last line not ended: %r" % text[-80:])
    lines = []
    for line in text[:-2].split("\r\n") if text else []:
        if _BANNER.fullmatch(line):
            lines.append(BANNER)
            continue
        m = _EVENT.fullmatch(line)
        if not m:
            raise AssertionError("not a log line: %r" % line)
        lines.append(m.group(1))
    return lines


def set_run_key(command: str = RUNKEY_COMMAND, view: str = OWN_VIEW) -> None:
    """Stores the Run-key command in one registry view, by default that of Fetchrun."""
    winerun.reg("add", RUN_KEY, "/v", RUN_VALUE, "/t", "REG_SZ", "/d", command, "/f", view=view)


def delete_run_key() -> None:
    """Removes the Run-key command from both registry views."""
    for view in (VIEW_32, VIEW_64):
        winerun.reg("delete", RUN_KEY, "/v", RUN_VALUE, "/f", view=view, check=False)


def wait_for(path: Path, seconds: float = 10.0) -> bool:
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if path.exists():
            return True
        time.sleep(0.05)
    return path.exists()


@dataclass
class Record:
    """What the recorder wrote: its command line and working directory."""
    command_line: str
    folder: str


def read_record(program: Path, seconds: float = 10.0) -> Optional[Record]:
    path = Path(str(program) + ".record")
    if not wait_for(path, seconds):
        return None
    lines = path.read_text(encoding="utf-8").split("\n")
    return Record(lines[0], lines[1])


class FetchrunScenario:
    """One folder with Fetchrun.exe and a battery.dll variant, and the runs made in it."""

    def __init__(self, test, library=Library.SIGNED, suffix: str = ""):
        self.folder = winerun.fresh_folder(SCENARIO_DIR, test.id().split(".", 1)[-1], suffix)
        shutil.copy2(SHIP_DIR / "Fetchrun.exe", self.folder / "Fetchrun.exe")
        shutil.copy2(TEST_BIN / "recorder.exe", self.folder / "runkey.exe")
        unbuilt = Library.place(library, self.folder)
        if unbuilt:
            test.skipTest("%s battery.dll not built: %s" % (library, unbuilt))
        self.runs = 0
        self.temp_files: List[Path] = []
        test.addCleanup(self.remove_temp_files)

    def path(self, name: str) -> Path:
        return self.folder / name

    def dos(self, name: str = "") -> str:
        return dos_path(self.folder / name) if name else dos_path(self.folder)

    @property
    def log(self) -> Path:
        return self.path("fetchrun.log")

    def env(self, proxy_port: Optional[int] = None) -> Dict[str, str]:
        env = dict(os.environ)
        env[RUNKEY_VARIABLE] = self.dos()
        # A proxy makes the download server answer for the host of TXT 113.
        for name in ("http_proxy", "HTTP_PROXY"):
            env.pop(name, None)
        if proxy_port is not None:
            env["http_proxy"] = "http://127.0.0.1:%d" % proxy_port
        return env

    def start(self, *args: str, proxy_port: Optional[int] = None, cwd: Optional[Path] = None) -> subprocess.Popen:
        """Starts Fetchrun.exe with exactly `args`, in the scenario folder unless `cwd`
        is given, and returns at once (the caller waits)."""
        out = open(self.next_output(), "wb")
        try:
            return subprocess.Popen([WINE64, str(self.folder / "Fetchrun.exe"), *args], cwd=cwd or self.folder,
                                    env=self.env(proxy_port), stdin=subprocess.DEVNULL, stdout=out, stderr=out)
        finally:
            out.close()

    def run(self, *args: str, proxy_port: Optional[int] = None, cwd: Optional[Path] = None,
            timeout: float = RUN_TIMEOUT) -> int:
        """Runs Fetchrun.exe with exactly `args` to its end; returns the exit code."""
        # Fetchrun never ends with 1 without output: winerun starts such a run again.
        return winerun.run([WINE64, str(self.folder / "Fetchrun.exe"), *args], self.next_output(),
                           timeout=timeout, cwd=cwd or self.folder, env=self.env(proxy_port))

    def next_output(self) -> Path:
        n = self.runs
        self.runs += 1
        return self.path("run%d.out" % n)

    def check(self, *args: str, proxy_port: Optional[int] = None, cwd: Optional[Path] = None,
              timeout: float = RUN_TIMEOUT) -> int:
        """A silent run logged to a fresh fetchrun.log; returns the exit code."""
        if self.log.exists():
            self.log.unlink()
        return self.run("/s", "/LOG:" + self.dos("fetchrun.log"), *args, proxy_port=proxy_port, cwd=cwd,
                        timeout=timeout)

    def lines(self, name: str = "fetchrun.log") -> List[str]:
        lines = parse_log(self.path(name).read_bytes())
        self._note_temp_files(lines)
        return lines

    def _note_temp_files(self, lines: Sequence[str]) -> None:
        for line in lines:
            for prefix in ("SettingFile: ", "ExeFile: "):
                if line.startswith(prefix):
                    path = host_path(line[len(prefix):-1])
                    for p in (path, Path(str(path) + ".exe"), Path(str(path) + ".exe.record")):
                        if p not in self.temp_files:
                            self.temp_files.append(p)

    def logged(self, lines: Sequence[str], prefix: str) -> List[str]:
        """Values of the log lines "<prefix><value>." in order."""
        return [line[len(prefix):-1] for line in lines if line.startswith(prefix) and line.endswith(".")]

    def runkey_record(self, seconds: float = 10.0) -> Optional[Record]:
        return read_record(self.folder / "runkey.exe", seconds)

    def remove_temp_files(self) -> None:
        # Kept after a successful start by design; the prefix is shared. Logs that
        # a failed test never read still name what their runs made.
        for log in self.folder.glob("*.log"):
            try:
                self._note_temp_files(parse_log(log.read_bytes()))
            except (AssertionError, UnicodeDecodeError, ValueError):
                pass
        for path in self.temp_files:
            for _ in range(50):
                try:
                    path.unlink(missing_ok=True)
                    break
                except PermissionError:
                    time.sleep(0.1)


class ServedCase(unittest.TestCase):
    """Tests against one local download server per class, which serves the signed
    and the unsigned test program (self.signed, self.unsigned); every test starts
    with an empty request log. A subclass adds its routes after super().setUpClass()."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        from dlserver import DownloadServer
        cls.server = DownloadServer().start()
        cls.addClassCleanup(cls.server.stop)
        cls.signed = (TEST_BIN / "signed" / "recorder.exe").read_bytes()
        cls.unsigned = (TEST_BIN / "recorder.exe").read_bytes()
        cls.server.add_bytes("/fwexe/signed.exe", cls.signed)
        cls.server.add_bytes("/fwexe/unsigned.exe", cls.unsigned)

    def setUp(self):
        super().setUp()
        self.server.clear_log()


class ServedScenario(ServedCase):
    """Served tests that each get a fresh FetchrunScenario (self.s)."""

    def setUp(self):
        super().setUp()
        self.s = FetchrunScenario(self)


class Gui:
    """An Xvfb display and runs of Fetchrun in an X11 Wine desktop on it."""
    DESKTOP = "fetchrun_gui"
    SIZE = "1024x768"

    def __init__(self):
        self.process: Optional[subprocess.Popen] = None
        self.display: Optional[str] = None
        self.launchers: List[subprocess.Popen] = []

    def start(self) -> "Gui":
        if not shutil.which("Xvfb"):
            raise RuntimeError("Xvfb is not installed")
        read_end, write_end = os.pipe()
        SCENARIO_DIR.mkdir(parents=True, exist_ok=True)
        with open(SCENARIO_DIR / "xvfb.log", "ab") as log:
            # -displayfd: Xvfb picks a free display number and writes it to the pipe.
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.SIZE + "x24", "-nolisten", "tcp"],
                pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as r:
            while not number.endswith(b"\n"):
                piece = r.read(1)
                if not piece:
                    break
                number += piece
        if not number.strip():
            self.stop()
            raise RuntimeError("Xvfb did not report a display")
        self.display = ":" + number.decode().strip()
        return self

    def stop(self) -> None:
        # Desktops end by themselves once idle; one that has not is ended here.
        for launcher in self.launchers:
            try:
                launcher.wait(10)
            except subprocess.TimeoutExpired:
                launcher.kill()
                launcher.wait()
        self.launchers.clear()
        if self.process is not None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
            self.process = None

    def screenshot(self, name: str) -> Path:
        SCREENSHOT_DIR.mkdir(parents=True, exist_ok=True)
        out = SCREENSHOT_DIR / (name + ".png")
        subprocess.run(["import", "-display", self.display, "-window", "root", str(out)],
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=30, check=True)
        return out

    def run(self, scenario: FetchrunScenario, args: Sequence[str], script: Sequence[str],
            proxy_port: Optional[int] = None, on_snap=None, timeout: float = 90.0, program: str = "Fetchrun.exe"):
        """Runs `program` (in the scenario folder) with `args` through the driver with `script`.

        Returns (exit code, trace lines). `on_snap(name)` runs after each
        screenshot, before the driver goes on (a test may change the server there).
        Any scenario with a folder, a run counter, dos() and env() will do."""
        control = scenario.folder / ("gui%d" % scenario.runs)
        scenario.runs += 1
        shutil.rmtree(control, ignore_errors=True)
        control.mkdir()
        program = dos_path(scenario.folder / program)
        command = " ".join(['"%s"' % program] + ['"%s"' % a if " " in a else a for a in args])
        (control / "cmdline.txt").write_text(command + "\n" + scenario.dos() + "\n", encoding="utf-8")
        (control / "script.txt").write_text("\n".join(script) + "\n", encoding="utf-8")
        env = scenario.env(proxy_port)
        env["DISPLAY"] = self.display
        # The launcher becomes the desktop's process when the desktop is new and
        # then lives until the desktop is idle: it is not waited for here.
        with open(control / "launcher.out", "wb") as out:
            launcher = subprocess.Popen([WINE64, "explorer", "/desktop=%s,%s,x11" % (self.DESKTOP, self.SIZE),
                                         dos_path(TEST_BIN / "fetchrun_gui.exe"), dos_path(control)],
                                        env=env, cwd=scenario.folder, stdin=subprocess.DEVNULL, stdout=out,
                                        stderr=out)
        self.launchers.append(launcher)
        exit_file = control / "exit.txt"
        deadline = time.monotonic() + timeout
        while not exit_file.exists():
            if time.monotonic() > deadline:
                raise AssertionError("the GUI driver did not finish; trace:\n" + self._trace(control))
            for request in sorted(control.glob("snap.*")):
                name = request.name[len("snap."):]
                self.screenshot(name)
                if on_snap:
                    on_snap(name)
                request.unlink()
                (control / ("snapped." + name)).touch()
            time.sleep(0.05)
        time.sleep(0.05)  # written last, but let the file settle
        result = exit_file.read_text(encoding="utf-8").strip()
        trace = self._trace(control).splitlines()
        if not result.lstrip("-").isdigit():
            raise AssertionError("GUI driver: %s; trace:\n%s" % (result, "\n".join(trace)))
        return int(result), trace

    @staticmethod
    def _trace(control: Path) -> str:
        path = control / "trace.txt"
        return path.read_text(encoding="utf-8") if path.exists() else ""
