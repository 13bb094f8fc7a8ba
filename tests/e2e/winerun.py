"""Starting Wine processes for the scenarios.

Under load, 64-bit Wine now and then ends a freshly started process at once with
exit code 1 and no output, before the program ran at all (measured here: about one
start in 400 of a program that loads many DLLs, three starts at a time). A run that
left no trace of its program is made once more; a program that did run is never
started again, so no scenario sees its effects twice."""
import subprocess
from pathlib import Path
from typing import Callable, Optional, Sequence

RUN_TIMEOUT = 60


def has_output(*paths: Path) -> bool:
    return any(p.exists() and p.stat().st_size > 0 for p in paths)


def run(argv: Sequence[str], stdout: Path, stderr: Optional[Path] = None,
        ran: Optional[Callable[[], bool]] = None, timeout: float = RUN_TIMEOUT, **kwargs) -> int:
    """Runs `argv` with no input and its output in files (never a pipe: Wine's
    background processes would hold it open); returns the exit code."""
    stderr = stderr or stdout
    ran = ran or (lambda: has_output(stdout, stderr))
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
