"""Cellwise.exe reading the platform identity through the real hwlink.dll, the
simulated KHWPORT driver and the simulated embedded-controller library.

Until the result dialogs show it, the platform identifier itself is not visible
from outside; what is visible is that the run's verdict never depends on it and
which controller calls the lookup made (ecsim.dll traces them)."""
import shutil
import unittest

import firmware as fw
import notebook as nb

LISTED_SYSTEM = 0x4E560A17  # with controller value 3, the pair in the sample list 114
DEVINFO = "GetECDevInfo in=0x00000000"
READ = "ReadWritePWRMC selector=0xD5 in=0x00000000"


class PlatformIdentity(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not fw.HWCALL.is_file() or not fw.HWLINK.is_file():
            raise unittest.SkipTest("hwcall.exe or hwlink.dll not built")
        cls.bench = fw.Bench(fw.Named("PlatformIdentity.setUp"))
        fw.remove_driver(cls.bench)
        fw.install_driver(cls.bench)
        fw.register_ec_library(fw.ec_folder(cls.bench))

    @classmethod
    def tearDownClass(cls):
        fw.unregister_ec_library()
        fw.remove_driver(fw.Bench(fw.Named("PlatformIdentity.tearDown")))

    def firmware_reports(self, system_id):
        self.bench.run(fw.configure(fw.system_info_firmware(system_id)))

    def check(self, battery, hwlink=True, **ec):
        """A silent run; returns its exit code, events and the controller calls it made."""
        scenario = nb.Scenario(self)
        if hwlink:
            shutil.copy2(fw.HWLINK, scenario.path("hwlink.dll"))
        trace = scenario.path("ec.trace")
        code, events = scenario.check(batteries=[battery], env=fw.ec_environment(trace=trace, **ec))
        return code, events, fw.read_trace(trace)

    def test_listed_machine_reads_both_values_and_keeps_the_verdict(self):
        self.firmware_reports(LISTED_SYSTEM)
        code, events, calls = self.check(nb.TARGET)
        self.assertEqual(code, nb.EXIT_TARGET)
        self.assertEqual(calls, [DEVINFO, READ])
        self.assertEqual(events[-1].text, "result=0")

        code, _, calls = self.check(nb.NON_TARGET, value=5)  # not listed: value differs
        self.assertEqual(code, nb.EXIT_NO_TARGET)
        self.assertEqual(calls, [DEVINFO, READ])

    def test_controller_is_not_asked_without_a_system_identifier(self):
        self.firmware_reports(0)
        code, _, calls = self.check(nb.TARGET)
        self.assertEqual((code, calls), (nb.EXIT_TARGET, []))

        self.firmware_reports(LISTED_SYSTEM)
        code, _, calls = self.check(nb.TARGET, hwlink=False)
        self.assertEqual((code, calls), (nb.EXIT_TARGET, []))

    def test_value_is_not_read_when_the_controller_flag_is_clear(self):
        self.firmware_reports(LISTED_SYSTEM)
        code, _, calls = self.check(nb.NON_TARGET, flags=0xEF)
        self.assertEqual((code, calls), (nb.EXIT_NO_TARGET, [DEVINFO]))

    def test_controller_library_finds_the_dlls_of_its_own_folder(self):
        # The program's own folder is not searched, the library's folder is.
        self.firmware_reports(LISTED_SYSTEM)
        folder = self.bench.folder / "ec-part"
        folder.mkdir(exist_ok=True)
        for name in ("ecsim_part.dll", "ecpart.dll"):
            shutil.copy2(fw.TEST_BIN / name, folder / name)
        fw.register_ec_library(folder, "ecsim_part.dll")
        self.addCleanup(fw.register_ec_library, fw.ec_folder(self.bench))
        code, _, calls = self.check(nb.TARGET)
        self.assertEqual((code, calls), (nb.EXIT_TARGET, [DEVINFO, READ]))

    def test_failing_controller_calls_never_change_the_result(self):
        self.firmware_reports(LISTED_SYSTEM)
        for ec in ({"devinfo_result": 1}, {"read_result": 1}):
            code, events, _ = self.check(nb.TARGET, **ec)
            self.assertEqual(code, nb.EXIT_TARGET, ec)
            self.assertEqual(events[-1].text, "result=0")


if __name__ == "__main__":
    unittest.main()
