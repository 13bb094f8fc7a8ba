"""A DLL planted beside a program under the name of a system DLL it uses is never
loaded: the programs import only kernel32, msvcrt and advapi32 at start and load
every other DLL from the system folder on first use; hwlink.dll loads version.dll
from there itself, whatever its host's DLL search.

By default Wine takes its own builtin DLLs; WINEDLLOVERRIDES=<name>=n,b makes it
load a DLL from a program's folder first, as Windows does for DLLs outside the
KnownDLLs list. Each row plants planted.dll (tests/sim/planted, which leaves
"<name>.dll.loaded" beside itself when loaded) under one name, runs with that
override and WINEDEBUG=+loaddll, and expects no native load of it, no marker and
the run's normal end."""
import hashlib
import os
import re
import shutil
import unittest
from pathlib import Path

import firmware as fw
import winerun
from fetchrun_harness import (EXIT_OK, FetchrunScenario, ServedCase, delete_run_key, host_path, read_record,
                              set_run_key)
from notebook import EXIT_TARGET, TARGET, Scenario
from winerun import TEST_BIN, SHIP_DIR, WINE64, dos_path

PLANTED = TEST_BIN / "planted.dll"
PROBE = TEST_BIN / "hardening_probe.exe"


def plant(folder: Path, name: str) -> dict:
    """planted.dll as <name>.dll in `folder`; the environment of a run that would load it."""
    shutil.copy2(PLANTED, folder / (name + ".dll"))
    return {"WINEDLLOVERRIDES": os.environ.get("WINEDLLOVERRIDES", "") + ";%s=n,b" % name, "WINEDEBUG": "+loaddll"}


def loaded_from(trace: Path, folder: Path) -> list:
    """DLLs Wine's +loaddll trace shows loaded from `folder` (the program itself aside)."""
    text = trace.read_text(errors="replace")
    names = re.findall(r'Loaded L"([^"]*)" at [0-9A-Fa-f]+: native', text)
    here = dos_path(folder).lower().replace("\\", "\\\\") + "\\\\"
    return [n for n in names if n.lower().startswith(here) and not n.lower().endswith(".exe")]


class Planting:
    """Checks shared by the rows: nothing was loaded from the scenario folder but
    what the run loads from there on purpose."""

    def assert_not_loaded(self, folder: Path, traces, own=()):
        for trace in traces:
            self.assertEqual([], [n for n in loaded_from(trace, folder) if n.rsplit("\\", 1)[-1] not in own], trace)
        self.assertEqual([], sorted(p.name for p in folder.glob("*.loaded") if p.name[:-len(".loaded")] not in own))


class CellwisePlanting(unittest.TestCase, Planting):
    """A silent check with the signature test: wintrust and crypt32 on first use;
    version.dll is what Wine's user32 and setupapi import."""

    def test_planted_system_dlls_are_not_loaded(self):
        for name in ("wintrust", "crypt32", "version"):
            with self.subTest(name):
                s = Scenario(self, suffix=name)
                env = plant(s.folder, name)
                code, events = s.check(batteries=[TARGET], env=env)
                self.assertEqual(EXIT_TARGET, code)
                self.assertEqual(("INFORMATION", 1, "result=0"), events[-1].key())
                self.assert_not_loaded(s.folder, sorted(s.folder.glob("run*.stderr")))


class FetchrunPlanting(ServedCase, Planting):
    """A silent target run that fetches, checks and starts the update program:
    wininet, wintrust, crypt32 and powrprof on first use, and version.dll (Wine's
    user32 imports it)."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        set_run_key()
        cls.addClassCleanup(delete_run_key)

    def test_planted_system_dlls_are_not_loaded(self):
        for name in ("wininet", "wintrust", "crypt32", "powrprof", "version"):
            with self.subTest(name):
                s = FetchrunScenario(self, suffix=name)
                self.server.add_settings("/settings/%s.ini" % name, exe_url=self.server.url("/fwexe/signed.exe"),
                                         exe_hash=hashlib.sha256(self.signed).hexdigest().upper())
                env = plant(s.folder, name)
                trace = s.next_output()
                code = winerun.run([WINE64, str(s.folder / "Fetchrun.exe"), "/s", "/LOG:" + s.dos("fetchrun.log"),
                                    "/Url:" + self.server.url("/settings/%s.ini" % name)], trace,
                                   cwd=s.folder, env={**s.env(), **env}, timeout=120)
                self.assertEqual(EXIT_OK, code)
                program, = (line[len("exec  : \""):-2] for line in s.lines() if line.startswith("exec  : "))
                self.assertIsNotNone(read_record(host_path(program)), "the update program did not run")
                self.assert_not_loaded(s.folder, [trace])


class HwlinkHostPlanting(unittest.TestCase, Planting):
    """A host that leaves its DLL search as Windows sets it (hardening_probe.exe)
    installs the driver through hwlink.dll twice, which compares the file versions
    through version.dll; afterwards it still finds a DLL of its own folder by name."""

    def test_planted_version_dll_is_not_loaded_and_the_host_search_stays(self):
        bench = fw.Bench(self)
        fw.remove_driver(bench)
        self.addCleanup(fw.remove_driver, fw.Bench(fw.Named(self.id() + ".cleanup")))
        folder = bench.folder
        shutil.copy2(PROBE, folder / PROBE.name)
        shutil.copy2(PLANTED, folder / "cwhost.dll")
        env = plant(folder, "version")
        out = folder / "probe.out"
        code = winerun.run([WINE64, str(folder / PROBE.name), "hwlink", dos_path(SHIP_DIR / "hwlink.dll")], out,
                           folder / "probe.err", cwd=bench.driver_folder("1.2.0.5"),
                           env={**os.environ, **env}, timeout=120)
        self.assertEqual(0, code, out.read_text(errors="replace"))
        self.assertEqual("install=0x0 again=0x%X uninstall=0x0 host=1" % fw.INSTALLED_SAME,
                         out.read_text().strip())
        self.assert_not_loaded(folder, [folder / "probe.err"], own=("cwhost.dll",))
