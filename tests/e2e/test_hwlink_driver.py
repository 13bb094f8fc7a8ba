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
        for r in results:
            self.assertEqual(r["status"], fw.DEVICE_UNAVAILABLE, r["name"])
        by_name = {r["name"]: r for r in results}
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
        self.assertEqual(results[0]["status"], fw.OK)
        self.assertFalse(fw.INSTALLED_DRIVER.exists())

    def test_install_compare_stop_and_remove(self):
        bench = Bench(self)
        v5, v6, none = (bench.driver_folder(v) for v in ("1.2.0.5", "1.2.0.6", None))
        results = bench.run(
            cd(none), call("KernelDrv_Install"),
            cd(v5), call("KernelDrv_Install"), "service=query", call("GetDriverVersion"), call("CheckGABI"),
            call("KernelDrv_Install"),              # the same file again
            cd(v6), call("KernelDrv_Install"),      # the installed one is older
            cd(none), call("KernelDrv_Install"),    # no file: checked before the service
            "service=query",
            cwd=v5)
        r = iter(results)
        next(r)
        self.assertEqual(next(r)["status"], fw.DRIVER_FILE_MISSING)
        next(r)
        self.assertEqual(next(r)["status"], fw.OK)
        service = next(r)
        self.assertEqual(service["state"], fw.SERVICE_RUNNING)
        self.assertEqual(service["start_type"], 0)  # boot start
        self.assertEqual(service["group"], "Extended base")
        self.assertEqual(service["binary"].lower(), fw.INSTALLED_DRIVER_DOS.lower())
        version = next(r)
        self.assertEqual(fw.fields(version, "status", "first", "second"), (fw.OK, 1, 0x00020055))
        self.assertEqual(fw.fields(next(r), "status", "flag"), (fw.OK, 1))
        self.assertEqual(next(r)["status"], fw.INSTALLED_SAME)
        next(r)
        self.assertEqual(next(r)["status"], fw.INSTALLED_OLDER)
        next(r)
        self.assertEqual(next(r)["status"], fw.DRIVER_FILE_MISSING)
        self.assertEqual(next(r)["state"], fw.SERVICE_RUNNING)  # none of it touched the service
        self.assertEqual(fw.INSTALLED_DRIVER.read_bytes(), (v5 / "KHWPORT.SYS").read_bytes())

        # Removing a running driver stops it, deletes the service and the file.
        results = bench.run(call("KernelDrv_UnInstall"), "service=query", call("GetDriverVersion"), cwd=none)
        self.assertEqual(results[0]["status"], fw.OK)
        self.assertEqual(results[1]["error"], fw.ERROR_SERVICE_DOES_NOT_EXIST)
        self.assertEqual(results[2]["status"], fw.DEVICE_UNAVAILABLE)
        self.assertFalse(fw.INSTALLED_DRIVER.exists())

        # 1.2.0.6 installed, 1.2.0.5 offered: the installed one is newer.
        results = bench.run(cd(v6), call("KernelDrv_Install"), cd(v5), call("KernelDrv_Install"), cwd=none)
        self.assertEqual(results[1]["status"], fw.OK)
        self.assertEqual(results[3]["status"], fw.INSTALLED_NEWER)

        # A service that is installed but not running stays, with its file.
        results = bench.run("service=stop", call("KernelDrv_UnInstall"), "service=query", cwd=none)
        self.assertTrue(results[0]["ok"], results[0])
        self.assertEqual(results[1]["status"], fw.OK)
        self.assertEqual(results[2]["state"], fw.SERVICE_STOPPED)
        self.assertTrue(fw.INSTALLED_DRIVER.exists())

        results = bench.run("service=delete", call("KernelDrv_UnInstall"), cwd=none)
        self.assertEqual(results[1]["status"], fw.OK)
        self.assertFalse(fw.INSTALLED_DRIVER.exists())

    def test_test_variants_use_the_callers_folder_and_start_type(self):
        bench = Bench(self)
        target = bench.folder / "target"
        target.mkdir()
        here = bench.driver_folder("1.2.0.6")
        results = bench.run(call("KernelDrv_Install_Test", fw.dos_path(target), fw.DEMAND_START), "service=query",
                            call("GetDriverVersion"), call("KernelDrv_UnInstall_Test", fw.dos_path(target)),
                            "service=query", cwd=here)
        self.assertEqual(fw.fields(results[0], "status", "boxes"), (fw.OK, []))
        self.assertEqual(results[1]["start_type"], fw.DEMAND_START)
        self.assertEqual(results[1]["binary"].lower(), (fw.dos_path(target) + "\\KHWPORT.SYS").lower())
        self.assertEqual(results[1]["state"], fw.SERVICE_RUNNING)
        self.assertEqual(results[2]["status"], fw.OK)
        self.assertEqual(results[3]["status"], fw.OK)
        self.assertEqual(results[4]["error"], fw.ERROR_SERVICE_DOES_NOT_EXIST)
        self.assertFalse((target / "KHWPORT.SYS").exists())

        # A refused create shows its message box (default caption, the last error
        # twice) and leaves the copied file in place. Only the _Test variant shows one.
        results = bench.run(call("KernelDrv_Install_Test", fw.dos_path(target), 99), "service=query", cwd=here)
        self.assertEqual(results[0]["status"], fw.CREATE_FAILED)
        self.assertEqual(results[0]["boxes"], ["Error|CreateServiceFailed] LastError:00000057(87)"])
        self.assertEqual(results[1]["error"], fw.ERROR_SERVICE_DOES_NOT_EXIST)
        self.assertTrue((target / "KHWPORT.SYS").exists())


if __name__ == "__main__":
    unittest.main()
