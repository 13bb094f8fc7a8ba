"""hwlink.dll installs, compares, stops and removes the KHWPORT driver service.

The real library (x86_64 build) runs in hwcall.exe against Wine's service control
manager; the driver is the simulated KHWPORT.SYS in two builds, 1.2.0.5 and
1.2.0.6, that differ only in their file version."""
import unittest

import firmware as fw
from firmware import Bench, call, cd


class DriverService(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not fw.HWCALL.is_file() or not fw.HWLINK.is_file():
            raise unittest.SkipTest("hwcall.exe or hwlink.dll not built")
        fw.remove_driver(Bench(fw.Named("DriverService.setUp")))

    @classmethod
    def tearDownClass(cls):
        fw.remove_driver(Bench(fw.Named("DriverService.tearDown")))

    def test_without_the_driver_every_device_export_fails_and_leaves_its_outputs(self):
        bench = Bench(self)
        results = bench.run(
            call("GetDriverVersion"), call("CheckGABI"), call("GetGABIEntry", 64), call("CallGABIService"),
            call("CallGABIService", "null"), call("CallGABIService_SingleBuf", fw.GABI_CALL),
            call("CallGABIService_4buf", fw.SDA_READ, 8), call("_CallServiceInterface", fw.NVMISC),
            call("_CallEnter", fw.NVMISC), call("_CallExit", fw.NVMISC, 1),
            call("GABI_NVMISC_GetSystemInfo"), call("GABI_NVMISC_SetMessageIndicator", 1),
            call("GABI_NVMISC_GetWakeupOnRTC"), call("GABI_NVMISC_SetWakeupOnRTC", "0102030405060708"),
            call("GABI_NVMISC_GetBspfInfo"), call("GABI_NVMISC_GetBspfInfo_V2"),
            call("GABI_NVMISC_SetBspfCommand", 16))
        for r in results.calls():
            self.assertEqual(r["status"], fw.DEVICE_UNAVAILABLE, r["name"])
        by_name = {r["name"]: r for r in results.calls()}
        self.assertEqual(fw.fields(by_name["GetDriverVersion"], "first", "second"), (fw.UNSET32, fw.UNSET32))
        self.assertEqual(by_name["CheckGABI"]["flag"], fw.UNSET32)
        self.assertEqual(by_name["GetGABIEntry"]["data"], "cc" * 64)
        self.assertTrue(by_name["CallGABIService"]["unchanged"])
        self.assertEqual(by_name["GABI_NVMISC_GetSystemInfo"]["record"], "cc" * 10)
        # The status outputs are zeroed on entry, the record is not touched.
        self.assertEqual(fw.words(by_name["GABI_NVMISC_GetSystemInfo"]), (0, 0, 0))
        self.assertEqual(by_name["GABI_NVMISC_GetBspfInfo"]["info"], "cc" * 8)

    def test_uninstall_without_a_service_removes_a_leftover_driver_file(self):
        bench = Bench(self)
        fw.INSTALLED_DRIVER.parent.mkdir(parents=True, exist_ok=True)
        fw.INSTALLED_DRIVER.write_bytes(b"left over")
        results = bench.run(call("KernelDrv_UnInstall"), cwd=bench.driver_folder(None))
        self.assertEqual(results["KernelDrv_UnInstall"]["status"], fw.OK)
        self.assertFalse(fw.INSTALLED_DRIVER.exists())

    def test_install_compare_stop_and_remove(self):
        bench = Bench(self)
        v5, v6, none = (bench.driver_folder(v) for v in ("1.2.0.5", "1.2.0.6", None))
        results = bench.run(
            cd(none), call("KernelDrv_Install", label="no file"),
            cd(v5), call("KernelDrv_Install", label="install"), fw.service("query", "installed service"),
            call("GetDriverVersion"), call("CheckGABI"),
            call("KernelDrv_Install", label="same file"),
            cd(v6), call("KernelDrv_Install", label="installed older"),
            cd(none), call("KernelDrv_Install", label="no file, service present"),  # the file is checked first
            fw.service("query", "service afterwards"),
            cwd=v5)
        self.assertEqual(results["no file"]["status"], fw.DRIVER_FILE_MISSING)
        self.assertEqual(results["install"]["status"], fw.OK)
        service = results["installed service"]
        self.assertEqual(service["state"], fw.SERVICE_RUNNING)
        self.assertEqual(service["start_type"], 0)  # boot start
        self.assertEqual(service["group"], "Extended base")
        self.assertEqual(service["binary"].lower(), fw.INSTALLED_DRIVER_DOS.lower())
        version = results["GetDriverVersion"]
        self.assertEqual(fw.fields(version, "status", "first", "second"), (fw.OK, 1, 0x00020055))
        self.assertEqual(fw.fields(results["CheckGABI"], "status", "flag"), (fw.OK, 1))
        self.assertEqual(results["same file"]["status"], fw.INSTALLED_SAME)
        self.assertEqual(results["installed older"]["status"], fw.INSTALLED_OLDER)
        self.assertEqual(results["no file, service present"]["status"], fw.DRIVER_FILE_MISSING)
        self.assertEqual(results["service afterwards"]["state"], fw.SERVICE_RUNNING)  # none of it touched it
        self.assertEqual(fw.INSTALLED_DRIVER.read_bytes(), (v5 / "KHWPORT.SYS").read_bytes())

        # Removing a running driver stops it, deletes the service and the file.
        results = bench.run(call("KernelDrv_UnInstall"), fw.service("query"), call("GetDriverVersion"), cwd=none)
        self.assertEqual(results["KernelDrv_UnInstall"]["status"], fw.OK)
        self.assertEqual(results["service"]["error"], fw.ERROR_SERVICE_DOES_NOT_EXIST)
        self.assertEqual(results["GetDriverVersion"]["status"], fw.DEVICE_UNAVAILABLE)
        self.assertFalse(fw.INSTALLED_DRIVER.exists())

        # 1.2.0.6 installed, 1.2.0.5 offered: the installed one is newer.
        results = bench.run(cd(v6), call("KernelDrv_Install", label="install"),
                            cd(v5), call("KernelDrv_Install", label="offer older"), cwd=none)
        self.assertEqual(results["install"]["status"], fw.OK)
        self.assertEqual(results["offer older"]["status"], fw.INSTALLED_NEWER)

        # A service that is installed but not running stays, with its file.
        results = bench.run(fw.service("stop"), call("KernelDrv_UnInstall"), fw.service("query", "stopped"),
                            cwd=none)
        self.assertTrue(results["service"]["ok"], results["service"])
        self.assertEqual(results["KernelDrv_UnInstall"]["status"], fw.OK)
        self.assertEqual(results["stopped"]["state"], fw.SERVICE_STOPPED)
        self.assertTrue(fw.INSTALLED_DRIVER.exists())

        results = bench.run(fw.service("delete"), call("KernelDrv_UnInstall"), cwd=none)
        self.assertEqual(results["KernelDrv_UnInstall"]["status"], fw.OK)
        self.assertFalse(fw.INSTALLED_DRIVER.exists())

    def test_test_variants_use_the_callers_folder_and_start_type(self):
        bench = Bench(self)
        target = bench.folder / "target"
        target.mkdir()
        here = bench.driver_folder("1.2.0.6")
        results = bench.run(call("KernelDrv_Install_Test", fw.dos_path(target), fw.DEMAND_START),
                            fw.service("query", "installed service"), call("GetDriverVersion"),
                            call("KernelDrv_UnInstall_Test", fw.dos_path(target)),
                            fw.service("query", "removed service"), cwd=here)
        self.assertEqual(fw.fields(results["KernelDrv_Install_Test"], "status", "boxes"), (fw.OK, []))
        service = results["installed service"]
        self.assertEqual(service["start_type"], fw.DEMAND_START)
        self.assertEqual(service["binary"].lower(), (fw.dos_path(target) + "\\KHWPORT.SYS").lower())
        self.assertEqual(service["state"], fw.SERVICE_RUNNING)
        self.assertEqual(results["GetDriverVersion"]["status"], fw.OK)
        self.assertEqual(results["KernelDrv_UnInstall_Test"]["status"], fw.OK)
        self.assertEqual(results["removed service"]["error"], fw.ERROR_SERVICE_DOES_NOT_EXIST)
        self.assertFalse((target / "KHWPORT.SYS").exists())

        # A refused create shows its message box (default caption, the last error
        # twice) and leaves the copied file in place. Only the _Test variant shows one.
        results = bench.run(call("KernelDrv_Install_Test", fw.dos_path(target), 99), fw.service("query"), cwd=here)
        refused = results["KernelDrv_Install_Test"]
        self.assertEqual(refused["status"], fw.CREATE_FAILED)
        self.assertEqual(refused["boxes"], ["Error|CreateServiceFailed] LastError:00000057(87)"])
        self.assertEqual(results["service"]["error"], fw.ERROR_SERVICE_DOES_NOT_EXIST)
        self.assertTrue((target / "KHWPORT.SYS").exists())


if __name__ == "__main__":
    unittest.main()
