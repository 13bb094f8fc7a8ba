"""Many runs at once against one report and one log, as a fleet's logon scripts
start them: every run waits its turn at a file another run holds, so no line and no
record is lost, and none is torn."""
import os
import re
import time
import unittest
from concurrent.futures import ThreadPoolExecutor

import winerun
from notebook import (EXIT_TARGET, LOCALE_EN, RUN_TIMEOUT, TARGET, WINE64, CellwiseCase, Notebook, identity,
                      parse_log, result)

RUNS = 32
LINE = re.compile(r"\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3}, 0, Wine, 0, NRV-BP41A, 2307Z104512Z\r\n")


def tearDownModule():
    Notebook.clear()


class Fleet(CellwiseCase, unittest.TestCase):

    def test_runs_started_together_each_leave_their_line_and_their_records(self):
        scenario = self.scenario()
        Notebook.install([TARGET])
        env = dict(os.environ, LC_ALL=LOCALE_EN)
        env.pop("LANGUAGE", None)
        argv = [WINE64, scenario.dos("Cellwise.exe"), "-silent", "-log", scenario.dos("event.log"),
                "-logcsv", scenario.dos("report.csv")]

        def start(n):
            out = scenario.path("run%d.stdout" % n)
            # Waiting for the files of the other runs takes at most 30 s, on top of the run.
            return winerun.run(argv, out, timeout=RUN_TIMEOUT + 60, cwd=scenario.folder, env=env)

        began = time.monotonic()
        with ThreadPoolExecutor(RUNS) as pool:
            codes = list(pool.map(start, range(RUNS)))
        print("%d runs at once took %.1f s" % (RUNS, time.monotonic() - began))
        self.assertEqual(codes, [EXIT_TARGET] * RUNS)

        report = scenario.path("report.csv").read_bytes()
        self.assertEqual(report[:2], b"\xff\xfe")
        text = report[2:].decode("utf-16-le")
        self.assertEqual(len(LINE.findall(text)), RUNS, text)
        self.assertEqual(LINE.sub("", text), "", "torn or foreign text in the report")

        # One run's records stay together: it holds the log from its start to its end.
        events = parse_log(scenario.path("event.log").read_bytes())
        self.assertEvents(events, [identity(TARGET, 0), result(EXIT_TARGET)] * RUNS)


if __name__ == "__main__":
    unittest.main()
