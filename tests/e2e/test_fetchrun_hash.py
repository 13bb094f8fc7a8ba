"""Fetchrun.exe's hash mode: the settings INI it writes for a publisher, its
default and relative output paths, its failures, and the published INI read back
by target mode."""
import hashlib
import shutil
import unittest

from dlserver import DownloadServer
from fetchrun_harness import (BANNER, DOWNLOAD_HOST, EXIT_HASH_EMPTY, EXIT_INI_FILE, EXIT_OK, EXIT_PARAMETER,
                              KEY_EXE_HASH, KEY_EXE_URL, PROGRAM_FOLDER, SETTINGS_SECTION, TEST_BIN, FetchrunScenario,
                              host_path)
from notebook import Library


def sha256(data: bytes) -> str:
    return hashlib.sha256(data).hexdigest().upper()


def hash_ini(hash_text: str, file_name: str) -> bytes:
    """The INI bytes hash mode writes: UTF-16LE, byte order mark, CR LF."""
    text = "[%s]\r\n%s=%s\r\n%s=http://%s%s%s\r\n" % (SETTINGS_SECTION, KEY_EXE_HASH, hash_text, KEY_EXE_URL,
                                                      DOWNLOAD_HOST, PROGRAM_FOLDER, file_name)
    return b"\xff\xfe" + text.encode("utf-16-le")


class HashMode(unittest.TestCase):
    def setUp(self):
        self.s = FetchrunScenario(self)
        self.program = (TEST_BIN / "signed" / "recorder.exe").read_bytes()

    def expected_lines(self, target: str, output: str, file_name: str):
        return [BANNER, "LOG mode (%s)." % self.s.dos("fetchrun.log"), "Silent.",
                "Target file: %s." % target, "Output ini : %s." % output, "Hash       : %s." % sha256(self.program),
                "Url        : http://%s%s%s." % (DOWNLOAD_HOST, PROGRAM_FOLDER, file_name)]

    def test_default_output_lies_beside_the_program(self):
        # The file is found from the working directory, the INI lands beside
        # Fetchrun.exe whatever the working directory is.
        work = self.s.path("work dir")
        work.mkdir()
        (work / "NRV0A17 update.exe").write_bytes(self.program)
        self.assertEqual(EXIT_OK, self.s.check("/Hash:NRV0A17 update.exe", "/Target:ignored", cwd=work))
        self.assertEqual(hash_ini(sha256(self.program), "NRV0A17 update.exe"),
                         self.s.path("Output-Hash.ini").read_bytes())
        self.assertEqual(self.expected_lines(self.s.dos("work dir\\NRV0A17 update.exe"), self.s.dos("Output-Hash.ini"),
                                             "NRV0A17 update.exe"), self.s.lines())
        self.assertFalse((work / "Output-Hash.ini").exists())

    def test_relative_output_and_an_existing_file_replaced(self):
        self.s.path("prog.exe").write_bytes(self.program)
        self.s.path("out").mkdir()
        self.s.path("out/published.ini").write_bytes(b"old content that must go\r\n" * 50)
        self.assertEqual(EXIT_OK, self.s.check("-hash:" + self.s.dos("prog.exe"), "-OUT:out\\published.ini"))
        self.assertEqual(hash_ini(sha256(self.program), "prog.exe"), self.s.path("out/published.ini").read_bytes())
        self.assertEqual(self.expected_lines(self.s.dos("prog.exe"), self.s.dos("out\\published.ini"), "prog.exe"),
                         self.s.lines())

    def test_hash_mode_does_not_read_the_library(self):
        s = FetchrunScenario(self, Library.MISSING, suffix="nolib")
        s.path("prog.exe").write_bytes(b"")
        self.assertEqual(EXIT_OK, s.check("/Hash:prog.exe"))
        self.assertEqual(hash_ini(sha256(b""), "prog.exe"), s.path("Output-Hash.ini").read_bytes())

    def test_empty_hash_option_even_with_a_target(self):
        self.assertEqual(EXIT_PARAMETER, self.s.check("/Target:x", "/Hash:", "/Url:http://127.0.0.1:9/"))
        self.assertEqual("parameter error: target file.", self.s.lines()[-1])
        self.assertFalse(self.s.path("Output-Hash.ini").exists())

    def test_missing_file_has_no_hash(self):
        self.assertEqual(EXIT_HASH_EMPTY, self.s.check("/Hash:missing.exe"))
        self.assertEqual("Hash is Empty !", self.s.lines()[-1])
        self.assertFalse(self.s.path("Output-Hash.ini").exists())

    def test_output_that_cannot_be_written(self):
        self.s.path("prog.exe").write_bytes(self.program)
        self.s.path("a folder").mkdir()
        for out, error in (("no such folder\\x.ini", 3), ("a folder", 5)):
            with self.subTest(out):
                self.assertEqual(EXIT_INI_FILE, self.s.check("/Hash:prog.exe", "/Out:" + out))
                self.assertEqual("Can't create ini file 0x%08X." % error, self.s.lines()[-1])

    def test_output_naming_the_program_itself_leaves_it_intact(self):
        self.s.path("prog.exe").write_bytes(self.program)
        self.assertEqual(EXIT_INI_FILE, self.s.check("/Hash:prog.exe", "/Out:PROG.EXE"))
        self.assertEqual("Can't create ini file 0x00000020.", self.s.lines()[-1])  # sharing violation
        self.assertEqual(self.program, self.s.path("prog.exe").read_bytes())

    def test_published_ini_brings_the_program_to_target_mode(self):
        self.s.path("NRV0A17.exe").write_bytes(self.program)
        self.assertEqual(EXIT_OK, self.s.check("/Hash:NRV0A17.exe", "/Out:published.ini"))
        with DownloadServer() as server:
            server.add_bytes("/settings/published.ini", self.s.path("published.ini").read_bytes())
            server.add_bytes(PROGRAM_FOLDER + "NRV0A17.exe", self.program)
            # The server answers as a proxy for the publishing host.
            code = self.s.check("/Url:" + server.url("/settings/published.ini"), proxy_port=server.port)
            self.assertEqual(EXIT_OK, code)
            self.assertEqual(["/settings/published.ini", PROGRAM_FOLDER + "NRV0A17.exe"],
                             [r.path for r in server.requests])
        lines = self.s.lines()
        self.assertIn("ExeUrl: http://%s%sNRV0A17.exe." % (DOWNLOAD_HOST, PROGRAM_FOLDER), lines)
        exe_file, = self.s.logged(lines, "ExeFile: ")
        self.assertEqual(self.program, host_path(exe_file + ".exe").read_bytes())


if __name__ == "__main__":
    unittest.main()
