"""Fetchrun.exe on a screen: the progress dialog, the task dialog after a failure
with its retry and give-up buttons, and the message boxes. Runs on an Xvfb
display in a Wine desktop of its own (see fetchrun_harness.Gui); a screenshot of
every dialog goes to <build>/scenarios/screenshots."""
import hashlib
import time
import unittest

from dlserver import settings_ini
from fetchrun_harness import (EXIT_DOWNLOAD, EXIT_END_CODE, EXIT_OK, EXIT_TARGET_NOT_FOUND,
                              Gui, ServedScenario, delete_run_key, host_path, library_text, read_record,
                              set_run_key)

GUI = Gui()
ERROR_CANCELLED = 1223


def setUpModule():
    GUI.start()
    set_run_key()


def tearDownModule():
    delete_run_key()
    GUI.stop()


def sha256(data: bytes) -> str:
    return hashlib.sha256(data).hexdigest().upper()


def shown(text: str) -> str:
    """A text as the driver's trace shows it: line feeds as \\n."""
    return text.replace("\\r\\n", "\\n")


def dialogs(trace):
    return [line.split(" ", 2)[1] for line in trace if line.startswith("dialog ")]


class OnScreen(ServedScenario):
    def setUp(self):
        super().setUp()
        self.log_arg = "/LOG:" + self.s.dos("fetchrun.log")

    def good_settings(self) -> bytes:
        return settings_ini(exe_url=self.server.url("/fwexe/signed.exe"), exe_hash=sha256(self.signed),
                            exe_param="/gui")

    def test_progress_dialog_while_downloading(self):
        # A slow settings body keeps the dialog up for a few seconds.
        body = self.good_settings() + "\r\n".encode("utf-16-le") * 20000
        self.server.add_slow("/settings/slow.ini", body, chunk=2048, delay=0.1)
        code, trace = GUI.run(self.s, [self.log_arg, "/Url:" + self.server.url("/settings/slow.ini")],
                              ["wait progress", "snap fetchrun_progress", "sysclose"])
        self.assertEqual(EXIT_OK, code)
        # Shown in the foreground, without a close box that works.
        self.assertIn('dialog progress "%s" foreground' % library_text(105), trace)
        self.assertIn('  child 1002 Static visible "%s"' % shown(library_text(114)), trace)
        self.assertIn('  child 1001 msctls_progress32 visible ""', trace)
        self.assertIn("sysclose ignored", trace)
        exe_file, = self.s.logged(self.s.lines(), "ExeFile: ")
        self.assertIsNotNone(read_record(host_path(exe_file + ".exe")))

    def test_closed_from_outside_is_no_success(self):
        body = self.good_settings() + "\r\n".encode("utf-16-le") * 20000
        self.server.add_slow("/settings/slow.ini", body, chunk=2048, delay=0.1)
        code, trace = GUI.run(self.s, [self.log_arg, "/Url:" + self.server.url("/settings/slow.ini")],
                              ["wait progress", "close"])
        self.assertEqual(ERROR_CANCELLED, code)
        lines = self.s.lines()
        self.assertEqual("closed before the update program was started.", lines[-3])
        self.assertEqual("return 0x000004C7.", lines[-1])
        self.assertIsNotNone(self.s.runkey_record())
        for path in self.s.temp_files:
            self.assertFalse(path.exists(), "left behind: %s" % path)
        self.assertEqual(0, self.server.count("/fwexe/signed.exe"))

    def test_closed_while_the_program_body_stalls_ends_at_once_and_leaves_nothing(self):
        self.server.add_stalled("/fwexe/stalled.exe", self.signed, len(self.signed) // 2)
        self.server.add_settings("/settings/stall.ini", exe_url=self.server.url("/fwexe/stalled.exe"),
                                 exe_hash=sha256(self.signed))
        closed = []

        def when_stalled(name):
            # The program's request came; its half body is in, the rest never comes.
            deadline = time.monotonic() + 30
            while not self.server.count("/fwexe/stalled.exe") and time.monotonic() < deadline:
                time.sleep(0.05)
            time.sleep(2)
            closed.append(time.monotonic())

        code, trace = GUI.run(self.s, [self.log_arg, "/Url:" + self.server.url("/settings/stall.ini")],
                              ["wait progress", "snap fetchrun_program_stalled", "close"], on_snap=when_stalled)
        ended = time.monotonic()
        self.assertEqual(ERROR_CANCELLED, code)
        self.assertEqual(1, self.server.count("/fwexe/stalled.exe"))
        self.assertLess(ended - closed[0], 10)
        lines = self.s.lines()
        self.assertEqual("closed before the update program was started.", lines[-3])
        self.assertTrue(self.s.logged(lines, "ExeFile: "))
        for path in self.s.temp_files:
            self.assertFalse(path.exists(), "left behind: %s" % path)

    def test_retry_after_a_failure_fetches_the_settings_again(self):
        wrong = hashlib.sha256(b"not this one").hexdigest().upper()
        self.server.add_settings("/settings/t.ini", exe_url=self.server.url("/fwexe/signed.exe"), exe_hash=wrong)

        def fix_server(name):
            if name == "fetchrun_task_dialog":
                self.server.add_bytes("/settings/t.ini", self.good_settings())

        code, trace = GUI.run(self.s, [self.log_arg, "/Url:" + self.server.url("/settings/t.ini")],
                              ["wait task", "snap fetchrun_task_dialog", "press 256"], on_snap=fix_server)
        self.assertEqual(EXIT_OK, code)
        self.assertEqual(["task"], dialogs(trace))
        texts = "\n".join(trace)
        for string_id in (118, 119):
            self.assertIn('"%s"' % library_text(string_id), texts)
        self.assertIn(shown(library_text(115)), texts)

        lines = self.s.lines()
        first, second = self.s.logged(lines, "SettingFile: ")
        first_exe, second_exe = self.s.logged(lines, "ExeFile: ")
        self.assertNotEqual(first, second)
        self.assertIn("CThreadDL - error: Hash invalid", lines)
        self.assertFalse(host_path(first).exists(), "the first settings file was kept")
        self.assertFalse(host_path(first_exe).exists())
        self.assertTrue(host_path(second).exists())
        self.assertEqual(2, self.server.count("/settings/t.ini"))
        self.assertEqual(2, self.server.count("/fwexe/signed.exe"))
        record = read_record(host_path(second_exe + ".exe"))
        self.assertIsNotNone(record)
        self.assertTrue(record.command_line.endswith(" /gui"))
        self.assertEqual("return 0x00000000.", lines[-1])
        self.assertIsNone(self.s.runkey_record(1.0), "the Run-key command ran after a start")

    def test_give_up_ends_with_the_failure_code(self):
        self.server.add_settings("/settings/u.ini", exe_url=self.server.url("/fwexe/unsigned.exe"),
                                 exe_hash=sha256(self.unsigned))
        code, trace = GUI.run(self.s, [self.log_arg, "/Url:" + self.server.url("/settings/u.ini")],
                              ["wait task", "press 512"])
        self.assertEqual(EXIT_DOWNLOAD, code)
        lines = self.s.lines()
        self.assertEqual("return 0x00000066.", lines[-1])
        self.assertIsNotNone(self.s.runkey_record())
        for path in self.s.temp_files:
            self.assertFalse(path.exists(), "left behind: %s" % path)
        self.assertEqual(1, self.server.count("/settings/u.ini"))

    def test_end_code_shows_the_end_message_and_no_task_dialog(self):
        self.server.add_settings("/settings/end.ini", end_code="1")
        code, trace = GUI.run(self.s, [self.log_arg, "/Url:" + self.server.url("/settings/end.ini")],
                              ["wait message", "snap fetchrun_end_message", "press 1"])
        self.assertEqual(EXIT_END_CODE, code)
        self.assertEqual(["message"], dialogs(trace))
        self.assertTrue(any(line.startswith('dialog message "%s"' % library_text(105)) for line in trace))
        self.assertIn(shown(library_text(120)), "\n".join(trace))
        self.assertIsNotNone(self.s.runkey_record())

    def test_closed_from_outside_while_the_end_message_shows_still_starts_the_run_key_command(self):
        self.server.add_settings("/settings/end.ini", end_code="1")
        code, trace = GUI.run(self.s, [self.log_arg, "/Url:" + self.server.url("/settings/end.ini")],
                              ["wait message", "close progress"])
        self.assertEqual(EXIT_END_CODE, code)
        self.assertNotIn("closed before the update program was started.", self.s.lines())
        self.assertIsNotNone(self.s.runkey_record())

    def test_target_without_settings_url_shows_its_message(self):
        code, trace = GUI.run(self.s, [self.log_arg, "/Target:0x00000000-0x00000000"],
                              ["wait message", "snap fetchrun_not_found", "press 1"])
        self.assertEqual(EXIT_TARGET_NOT_FOUND, code)
        self.assertIn(library_text(124), "\n".join(trace))
        self.assertEqual("error - Target not found.", self.s.lines()[-1])
        self.assertIsNotNone(self.s.runkey_record())


if __name__ == "__main__":
    unittest.main()
