"""The side a scenario runs on, and starting Wine processes there.

ctest runs every scenario module once, on the scenario side (cmake/WineTest.cmake):
"i686", the shipped 32-bit files under 32-bit Wine in a 64-bit prefix, as WoW64
runs them, where this machine runs 32-bit code, else "x86_64", the x86_64 test
build. A side is its environment: the folder of the programs under test, the
folder of the simulators and signed copies, the scratch folder and the prefix.
Everything a scenario starts or reads goes through these, so the same scenario
serves either side.

Under load, 64-bit Wine now and then ends a freshly started process at once with
exit code 1 and no output, before the program ran at all (measured here: about one
start in 400 of a program that loads many DLLs, three starts at a time). A run that
left no trace of its program is made once more; a program that did run is never
started again, so no scenario sees its effects twice."""
import os
import re
import shutil
import subprocess
from pathlib import Path
from typing import Callable, Optional, Sequence

_REQUIRED = ("WINEPREFIX", "CW_SHIP_DIR", "CW_TEST_BIN", "CW_SCENARIO_DIR")
_missing = [name for name in _REQUIRED if not os.environ.get(name)]
if _missing:
    # Without WINEPREFIX Wine would create and use ~/.wine.
    raise RuntimeError("e2e scenarios run from ctest; missing environment: " + ", ".join(_missing))

SIDE = os.environ.get("CW_SIDE", "x86_64")
SHIP_DIR = Path(os.environ["CW_SHIP_DIR"])
TEST_BIN = Path(os.environ["CW_TEST_BIN"])
SCENARIO_DIR = Path(os.environ["CW_SCENARIO_DIR"])
WINEPREFIX = Path(os.environ["WINEPREFIX"])
# It runs 32-bit programs too, handing them on to 32-bit Wine.
WINE64 = os.environ.get("WINE64", "/usr/lib/wine/wine64")

# Registry views for reg.exe. The programs under test read HKLM\Software in their
# own view: the 32-bit one (Wow6432Node) for the shipped i686 programs.
VIEW_32 = "/reg:32"
VIEW_64 = "/reg:64"
OWN_VIEW = VIEW_32 if SIDE == "i686" else VIEW_64

RUN_TIMEOUT = 60


def dos_path(path) -> str:
    """The Windows name of a host path (Wine maps / to drive Z:)."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def fresh_folder(parent: Path, name: str, suffix: str = "") -> Path:
    """An empty folder for one scenario: parent/<name>[.<suffix>], with every
    character that a file name cannot hold replaced."""
    name += "." + suffix if suffix else ""
    folder = parent / re.sub(r"[^A-Za-z0-9_.-]", "_", name)
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    return folder


def has_output(*paths: Path) -> bool:
    return any(p.exists() and p.stat().st_size > 0 for p in paths)


def run(argv: Sequence[str], stdout: Path, stderr: Optional[Path] = None,
        ran: Optional[Callable[[], bool]] = None, timeout: float = RUN_TIMEOUT, **kwargs) -> int:
    """Runs `argv` with no input and its output in files (never a pipe: Wine's
    background processes would hold it open); returns the exit code.

    `ran` tells whether the program ran; by default, whether it printed anything.
    A program that may end with 1 and print nothing (Cellwise.exe's "no target")
    needs a trace of its own here, or a run that did happen is made again."""
    stderr = stderr or stdout
    ran = ran or (lambda: has_output(stdout, stderr))
    # Once more only when Wine ended the process before its program ran (exit 1,
    # no trace; see above): a real failure leaves a trace, or fails again.
    for attempt in range(2):
        with open(stdout, "wb") as o:
            if stderr == stdout:
                code = subprocess.run(list(argv), stdin=subprocess.DEVNULL, stdout=o, stderr=o, timeout=timeout,
                                      **kwargs).returncode
            else:
                with open(stderr, "wb") as e:
                    code = subprocess.run(list(argv), stdin=subprocess.DEVNULL, stdout=o, stderr=e,
                                          timeout=timeout, **kwargs).returncode
        if code != 1 or ran():
            return code
    return code


def reg(*args: str, view: str = OWN_VIEW, check: bool = True) -> int:
    """Runs Wine's reg.exe on the side's prefix in `view`; returns its exit code."""
    scratch = SCENARIO_DIR / "reg"
    scratch.mkdir(parents=True, exist_ok=True)
    code = run([WINE64, "reg", *args, view], scratch / "stdout.txt", scratch / "stderr.txt")
    if check and code != 0:
        raise AssertionError("reg %s %s failed with %d" % (" ".join(args), view, code))
    return code
