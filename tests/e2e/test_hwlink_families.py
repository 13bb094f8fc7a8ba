"""hwlink.dll's firmware tables, ports and memory, and its NVRAM, setup, system data
and device firmware families against the simulated driver and its firmware models.

One scenario per family: hwcall.exe calls the exports by name, through the types
of hwlink.h, the way a caller binds them; the firmware model answers; the results
and the frames the driver received are checked. The last scenario calls every
export once and makes sure each is called as its declared convention says."""
import struct
import unittest
from pathlib import Path

import firmware as fw
from firmware import LOG, Bench, Firmware, call, configure

EXPORTS = Path(__file__).resolve().parents[2] / "hwlink" / "exports.txt"

NVRAM, SETUP, SDA, SDA_ALIAS, DEVFW = 7, 2, 0x8000, 5, 0x8002
GUID1 = bytes(range(0x11, 0x21))
GUID2 = bytes(range(0x21, 0x31))

# The simulated SMBIOS table: type 0 with two strings, OEM type 0x85 (identifier 2,
# keys 1 and 7), OEM type 0x90 (identifier 3) with a string, end of table.
BIOS = bytes.fromhex("001200000102 00f0 0307 800000000000 0100") + b"Norvane\0" + b"1.05\0\0"
OEM2 = bytes.fromhex("85080100020107000000")
OEM3 = bytes.fromhex("90070200035566") + b"OEM\0\0"
END = bytes.fromhex("7f0403000000")
TABLE = BIOS + OEM2 + OEM3 + END


class Families(fw.DriverScenario):
    def test_tables_ports_and_memory(self):
        r = Bench(self).run(
            configure(Firmware()),
            call("GetSMBIOSHeader", 10), call("GetSMBIOSTable", "null", label="table size"),
            call("GetSMBIOSTable", 59, label="table short"), call("GetSMBIOSTable", 64, label="table"),
            call("GetSMBIOSStruct", 0, "null", label="structure size"),
            call("GetSMBIOSStruct", 0, 64, label="structure"),
            call("GetOEMStruct", 2, 1, 7, 64, label="OEM 2"),
            call("GetOEMStruct", 2, 1, 8, 64, label="OEM 2, other key"),
            call("GetOEMStruct", 3, 9, 9, 64, label="OEM 3"),
            call("GetNBEStruct", 40),
            call("HWLINK_WritePort", 0x70, 1, 0x42), call("HWLINK_ReadPort", 0x70, 1, label="port written"),
            call("HWLINK_ReadPort", 0x71, 2, label="port not written"),
            call("HWLINK_ReadMemory", 0x1000, 1, 8), LOG)
        self.assertEqual(fw.fields(r["GetSMBIOSHeader"], "status", "data"), (fw.OK, "5f534d5f001f02070000"))
        self.assertEqual(fw.fields(r["table size"], "status", "length"), (fw.OK, 60))
        self.assertEqual(fw.fields(r["table short"], "status", "length"), (fw.BUFFER_TOO_SMALL, fw.UNSET32))
        self.assertEqual(fw.fields(r["table"], "status", "length", "data"), (fw.OK, 60, (TABLE + b"\xcc" * 4).hex()))
        self.assertEqual(fw.fields(r["structure size"], "status", "length", "data"), (fw.OK, 32, ""))
        self.assertEqual(r["structure"]["data"], (BIOS + b"\xcc" * 32).hex())
        self.assertEqual(fw.fields(r["OEM 2"], "status", "length"), (fw.OK, 10))
        self.assertEqual(r["OEM 2"]["data"][:20], OEM2.hex())
        self.assertEqual(r["OEM 2, other key"]["status"], 0x1000A)
        self.assertEqual(r["OEM 3"]["data"][:24], OEM3.hex())
        self.assertEqual(r["GetNBEStruct"]["data"], bytes(range(0xB0, 0xD0)).hex() + "cc" * 8)
        self.assertEqual(r["HWLINK_WritePort"]["status"], fw.OK)
        self.assertEqual(fw.fields(r["port written"], "status", "value"), (fw.OK, 0x42))
        self.assertEqual(r["port not written"]["value"], 0xA5000071)
        self.assertEqual(r["HWLINK_ReadMemory"]["data"], "0001020304050607")

        log = r.log()
        table_requests = [rec.size for rec in log.records if rec.code == fw.SMBIOS_TABLE]
        # GetSMBIOSTable reads into the caller's 64 bytes; a structure search asks T + 10.
        self.assertEqual(table_requests, [64, 70, 70, 70, 70, 70])
        self.assertEqual(log.inputs(fw.PORT_WRITE), [struct.pack("<3I", 1, 0x42, 0x70)])
        self.assertEqual(log.inputs(fw.PORT_READ), [struct.pack("<3I", 1, 0, 0x70), struct.pack("<3I", 2, 0, 0x71)])
        self.assertEqual(log.inputs(fw.MEMORY_READ), [struct.pack("<3I", 0x1000, 1, 8)])

    def test_nvram_store(self):
        names = "Boot:%s;Lang:%s" % (GUID1.hex(), GUID2.hex())
        entries = "Boot:%s:7:d1d2d3;Lang:%s:3:656e" % (GUID1.hex(), GUID2.hex())
        r = Bench(self).run(
            configure(Firmware()),
            call("GABI_NVRAMAPI_SetNvramData", 5, "key", 0x1111, 0x2222, names, entries),
            call("GABI_NVRAMAPI_GetNvramData", 5, "key", 0x3333, "Boot:" + GUID1.hex()),
            call("GABI_NVRAMAPI_GetNvramData_V2", 5, "key", 0, ""), LOG)
        self.assertEqual(fw.fields(r["GABI_NVRAMAPI_SetNvramData"], "status", "s1", "s2"), (fw.OK, 1, 1))

        got = r["GABI_NVRAMAPI_GetNvramData"]
        self.assertEqual(fw.fields(got, "status", "header_word", "count"), (fw.OK, 0x4D48, 1))
        self.assertEqual(got["header"], (struct.pack("<HH", 32, 1) + bytes(range(0x60, 0x7C))).hex())
        self.assertEqual(got["entries"], [{"guid": GUID1.hex(), "attributes": 7, "name": "Boot", "data": "d1d2d3"}])

        both = r["GABI_NVRAMAPI_GetNvramData_V2"]
        self.assertEqual(fw.fields(both, "status", "count"), (fw.OK, 2))
        self.assertEqual([e["name"] for e in both["entries"]], ["Boot", "Lang"])
        self.assertEqual(both["entries"][1]["data"], "656e")
        header = bytes.fromhex(both["header"])  # type 2: 48 + 4k bytes, k at 40, the words at 44
        self.assertEqual(len(header), 56)
        self.assertEqual(struct.unpack_from("<HH", header, 0), (48, 2))
        self.assertEqual(header[4:40], bytes(range(0x60, 0x84)))
        self.assertEqual(struct.unpack_from("<3I", header, 40), (2, 0xA1, 0xA2))

        calls = [c for c in r.log().calls() if c.service_class in (1, NVRAM)]
        self.assertEqual([c.step() for c in calls], [("dir", NVRAM), (NVRAM, 1), (NVRAM, 4), (NVRAM, 2)] +
                         [("dir", NVRAM), (NVRAM, 1), (NVRAM, 3), (NVRAM, 2)] * 2)
        service = [c for c in calls if c.service_class == NVRAM]
        self.assertEqual({c.code for c in service}, {fw.NVRAM_CALL})
        self.assertEqual({c.category for c in service}, {1})
        self.assertEqual({struct.unpack_from("<H", c.output, 2)[0] for c in service}, {1})
        enter, set_ = service[0:2]
        self.assertEqual(enter.input[8:23], struct.pack("<QHH", 7, 5, 3) + b"key")
        # Set: 38 + 2 x (18 + 10) + 2 + (36 + 10 + 3) + (36 + 10 + 2) + 16 = 209 payload bytes;
        # the firmware read both items out of it (the get above).
        self.assertEqual((len(set_.input), struct.unpack_from("<Q", set_.input, 8)[0]), (225, 209))
        self.assertEqual(struct.unpack_from("<4H", set_.input, 16), (0x1111, 0x2222, 32, 1))
        self.assertEqual([c.version for c in service if c.function in (3, 4)], [1, 1, 2])

    def test_setup_items_and_passwords(self):
        # This firmware answers every version 1 enter asking for version 2.
        r = Bench(self).run(
            configure(Firmware().on(SETUP, 1, 1, 0x101, version=1)),
            call("GABI_SAPI_SetBIOSSetupItem", 0x31, 0x32, "0a0b0c", 1, ""),
            call("GABI_SAPI_GetBIOSSetupItem", 0x31, 1, "", 16),
            call("GABI_SAPI_SetPassword", 1, 1, 0, "", "secret"),
            call("GABI_SAPI_GetDefaultValuesProperty", 1, "wrong", label="defaults, wrong credential"),
            call("GABI_SAPI_SetDefaultValuesProperty_V2", 0x77, 1, 1, "secret"),
            call("GABI_SAPI_GetDefaultValuesProperty", 1, "secret", label="defaults"),
            call("GABI_SAPI_GetPasswordProperty", 1, "secret", 4),
            call("GABI_SAPI_SetBootOrder", 0, 0, "0102030405", 1, "secret"),
            call("GABI_SAPI_GetBootOrder", 0, 1, "secret", 4), LOG)
        refused = r["defaults, wrong credential"]
        for result in r.calls():
            if result is not refused:
                self.assertEqual(result["status"], fw.OK, result["name"])
        item = r["GABI_SAPI_GetBIOSSetupItem"]
        self.assertEqual(fw.fields(item, "word8", "word10", "word12", "word14", "word16"), (0x31, 3, 0, 0, 0x32))
        self.assertEqual(item["data"], "0a0b0c" + "00" * 13)
        # The password set, a wrong credential no longer enters.
        self.assertEqual(refused["status"], fw.ENTER_FAILED)
        self.assertEqual(fw.words(refused, 4), (1, 0x103, 0, 0))
        self.assertEqual(fw.fields(r["defaults"], "word8", "word10"), (0x77, 0x5A))
        self.assertEqual(r["GABI_SAPI_GetPasswordProperty"]["data"], "01000100")  # kind 1, set
        self.assertEqual(fw.fields(r["GABI_SAPI_GetBootOrder"], "word10", "data"), (32, "01020304"))  # 4 of 32 bytes

        calls = [c for c in r.log().calls() if c.service_class == SETUP]
        enters = [c for c in calls if c.function == 1]
        self.assertEqual([c.version for c in enters], [1, 2] * 9)
        self.assertEqual(enters[7].input[8:18], struct.pack("<HBH", 1, 1, 5) + b"wrong")
        functions = [(c.function, c.category, c.version) for c in calls if c.function > 2]
        self.assertEqual(functions, [(4, 1, 1), (3, 1, 1), (4, 3, 3), (4, 5, 1), (3, 5, 1), (3, 3, 1), (4, 2, 1),
                                     (3, 2, 1)])
        self.assertEqual({c.category for c in calls if c.function in (1, 2)}, {1})

    def test_system_data(self):
        r = Bench(self).run(
            configure(Firmware()),
            call("GABI_SDA2_GetSystemDataInfo", 0x10, 0x20),
            call("GABI_SDA2_ReadSystemData", 0x10, 0x20, 13),
            call("GABI_SDA2_WriteSystemData", 0x30, 0x40, "c0ffee"),
            call("GABI_SDA_ReadSystemData", 0x30, 0x40, 3),
            call("GABI_SDA2_EnumSystemData", 2, 12),
            call("GABI_SDA2_EnumSystemData_SCC0005", 1, 12),
            call("GABI_SDA_GetSystemDataInfo", 0x99, 0x99), LOG)
        info = r["GABI_SDA2_GetSystemDataInfo"]
        self.assertEqual(fw.fields(info, "status", "info"), (fw.OK, [13, 0x10, 0x20, 0x53444131]))
        self.assertEqual(fw.words(info), (1, 1, 0))
        self.assertEqual(r["GABI_SDA2_ReadSystemData"]["data"], b"NORVANE-SDA-0".hex())
        self.assertEqual(r["GABI_SDA2_WriteSystemData"]["status"], fw.OK)
        self.assertEqual(fw.fields(r["GABI_SDA_ReadSystemData"], "status", "data"), (fw.OK, "c0ffee"))
        self.assertEqual(r["GABI_SDA2_EnumSystemData"]["data"], struct.pack("<3I", 0x30, 0x40, 3).hex())
        self.assertEqual(r["GABI_SDA2_EnumSystemData_SCC0005"]["data"], struct.pack("<3I", 0x10, 0x20, 13).hex())
        # The older form: 0x20000 + word 2.
        self.assertEqual(r["GABI_SDA_GetSystemDataInfo"]["status"], fw.FIRMWARE_BASE + 0x104)

        calls = r.log().calls()
        write = [c for c in calls if c.code == fw.SDA_WRITE][0]
        self.assertEqual(struct.unpack_from("<3HI", write.frame, 0), (1024, 512, 64, 3))
        self.assertEqual(struct.unpack_from("<3I", write.input, 8), (0x30, 0x40, 3))
        self.assertEqual(write.extra, bytes.fromhex("c0ffee"))
        reads = [c for c in calls if c.code == fw.SDA_READ]
        self.assertEqual([len(c.extra) for c in reads], [13, 3])
        self.assertEqual(reads[1].extra, bytes(3))  # the older read sends zeros
        alias = [c.step() for c in calls][-8:-4]
        self.assertEqual(alias, [("dir", SDA), (SDA_ALIAS, 1), (SDA_ALIAS, 6), (SDA_ALIAS, 2)])

    def test_device_firmware_list(self):
        r = Bench(self).run(
            configure(Firmware(devfw_count=2)),
            call("GABI_DevFwUpdate_GetDeviceFirmwareInfo"), call("GABI_DevFwUpdate_GetDeviceFirmwareRuntimeInfo"),
            call("GABI_DevFwUpdate_FreeMemory"), LOG)
        stored = r["GABI_DevFwUpdate_GetDeviceFirmwareInfo"]
        self.assertEqual(fw.fields(stored, "status", "value", "count"), (fw.OK, 0x00F0F004, 2))
        self.assertEqual(fw.words(stored), (1, 1, 0))
        second = bytes(range(0x20, 0x30)) + struct.pack("<H6xQI4x", 0x101, 0x0001000200030001, 0x20240001)
        self.assertEqual(stored["records"][1], second.hex())
        self.assertEqual(fw.fields(r["GABI_DevFwUpdate_GetDeviceFirmwareRuntimeInfo"], "status", "value"),
                         (fw.OK, 0x00F0F005))
        self.assertTrue(r["GABI_DevFwUpdate_FreeMemory"]["same_function"])  # one release for both kinds of block

        calls = [c for c in r.log().calls() if c.service_class == DEVFW]
        self.assertEqual([c.function for c in calls], [1, 4, 2, 1, 5, 2])
        self.assertEqual([(len(c.input), len(c.output)) for c in calls[:3]], [(1024, 8), (1024, 1024), (1024, 8)])
        self.assertEqual(struct.unpack_from("<HH", calls[1].output, 0), (0x400, 1))

    def test_every_export_is_called_as_its_type_declares(self):
        long_folder = "C:\\" + "d" * 300
        guid = GUID1.hex()
        steps = {
            "KernelDrv_Install": call("KernelDrv_Install"),
            "KernelDrv_Install_Test": call("KernelDrv_Install_Test", long_folder, 3),
            "KernelDrv_UnInstall_Test": call("KernelDrv_UnInstall_Test", long_folder),
            "GetDriverVersion": call("GetDriverVersion"),
            "CheckGABI": call("CheckGABI"),
            "GetGABIEntry": call("GetGABIEntry", 64),
            "CallGABIService": call("CallGABIService"),
            "CallGABIService_SingleBuf": call("CallGABIService_SingleBuf", fw.GABI_CALL),
            "CallGABIService_4buf": call("CallGABIService_4buf", fw.SDA_READ, 8),
            "_CallServiceInterface": call("_CallServiceInterface", fw.NVMISC),
            "_CallEnter": call("_CallEnter", fw.NVMISC),
            "_CallExit": call("_CallExit", fw.NVMISC, fw.SERVICE_HANDLE),
            "GetSMBIOSHeader": call("GetSMBIOSHeader", 31),
            "GetSMBIOSTable": call("GetSMBIOSTable", "null"),
            "GetSMBIOSStruct": call("GetSMBIOSStruct", 0, "null"),
            "GetOEMStruct": call("GetOEMStruct", 2, 1, 7, "null"),
            "GetNBEStruct": call("GetNBEStruct", 32),
            "HWLINK_ReadPort": call("HWLINK_ReadPort", 0x70, 1),
            "HWLINK_WritePort": call("HWLINK_WritePort", 0x70, 1, 5),
            "HWLINK_ReadMemory": call("HWLINK_ReadMemory", 0, 0, 4),
            "GABI_NVMISC_GetSystemInfo": call("GABI_NVMISC_GetSystemInfo"),
            "GABI_NVMISC_SetMessageIndicator": call("GABI_NVMISC_SetMessageIndicator", 1),
            "GABI_NVMISC_GetWakeupOnRTC": call("GABI_NVMISC_GetWakeupOnRTC"),
            "GABI_NVMISC_SetWakeupOnRTC": call("GABI_NVMISC_SetWakeupOnRTC", "0102030405060708"),
            "GABI_NVMISC_GetBspfInfo": call("GABI_NVMISC_GetBspfInfo"),
            "GABI_NVMISC_GetBspfInfo_V2": call("GABI_NVMISC_GetBspfInfo_V2"),
            "GABI_NVMISC_SetBspfCommand": call("GABI_NVMISC_SetBspfCommand", 16),
            "GABI_NVRAMAPI_SetNvramData": call("GABI_NVRAMAPI_SetNvramData", 1, "k", 0, 0, "", "A:%s:0:01" % guid),
            "GABI_NVRAMAPI_SetNvramData_V2": call("GABI_NVRAMAPI_SetNvramData_V2", 1, "k", 0, 0, "", "B:%s:0:02" % guid),
            "GABI_NVRAMAPI_GetNvramData": call("GABI_NVRAMAPI_GetNvramData", 1, "k", 0, ""),
            "GABI_NVRAMAPI_GetNvramData_V2": call("GABI_NVRAMAPI_GetNvramData_V2", 1, "k", 0, ""),
            "GABI_NVRAMAPI_FreeMemory": call("GABI_NVRAMAPI_FreeMemory"),
            "GABI_SAPI_SetBIOSSetupItem_V2": call("GABI_SAPI_SetBIOSSetupItem_V2", 1, 0, "01", 1, 1, ""),
            "GABI_SAPI_SetBIOSSetupItem": call("GABI_SAPI_SetBIOSSetupItem", 1, 0, "01", 1, ""),
            "GABI_SAPI_GetBIOSSetupItem_V2": call("GABI_SAPI_GetBIOSSetupItem_V2", 1, 1, 1, "", 8),
            "GABI_SAPI_GetBIOSSetupItem": call("GABI_SAPI_GetBIOSSetupItem", 1, 1, "", 8),
            "GABI_SAPI_GetBootOrder_V2": call("GABI_SAPI_GetBootOrder_V2", 0, 1, 1, "", 8),
            "GABI_SAPI_GetBootOrder": call("GABI_SAPI_GetBootOrder", 0, 1, "", 8),
            "GABI_SAPI_SetBootOrder_V2": call("GABI_SAPI_SetBootOrder_V2", 0, 0, "01", 1, 1, ""),
            "GABI_SAPI_SetBootOrder": call("GABI_SAPI_SetBootOrder", 0, 0, "01", 1, ""),
            "GABI_SAPI_GetDefaultValuesProperty_V2": call("GABI_SAPI_GetDefaultValuesProperty_V2", 1, 1, ""),
            "GABI_SAPI_GetDefaultValuesProperty": call("GABI_SAPI_GetDefaultValuesProperty", 1, ""),
            "GABI_SAPI_SetDefaultValuesProperty_V2": call("GABI_SAPI_SetDefaultValuesProperty_V2", 1, 1, 1, ""),
            "GABI_SAPI_SetDefaultValuesProperty": call("GABI_SAPI_SetDefaultValuesProperty", 1, 1, ""),
            "GABI_SAPI_GetPasswordProperty_V3": call("GABI_SAPI_GetPasswordProperty_V3", 1, 1, 0, 1, "", 4),
            "GABI_SAPI_GetPasswordPropertyEx": call("GABI_SAPI_GetPasswordPropertyEx", 1, 1, "", 4),
            "GABI_SAPI_GetPasswordProperty": call("GABI_SAPI_GetPasswordProperty", 1, "", 4),
            "GABI_SAPI_SetPassword_V3": call("GABI_SAPI_SetPassword_V3", 2, 1, "", 2, 0, 0, 1, "", "p2"),
            "GABI_SAPI_SetPassword2": call("GABI_SAPI_SetPassword2", 3, "", 3, 0, "", "p3"),
            "GABI_SAPI_SetPassword": call("GABI_SAPI_SetPassword", 4, 4, 0, "", "p4"),
            "GABI_SDA_GetSystemDataInfo": call("GABI_SDA_GetSystemDataInfo", 0x10, 0x20),
            "GABI_SDA_ReadSystemData": call("GABI_SDA_ReadSystemData", 0x10, 0x20, 4),
            "GABI_SDA_WriteSystemData": call("GABI_SDA_WriteSystemData", 0x10, 0x20, "4e4f"),
            "GABI_SDA2_GetSystemDataInfo": call("GABI_SDA2_GetSystemDataInfo", 0x10, 0x20),
            "GABI_SDA2_ReadSystemData": call("GABI_SDA2_ReadSystemData", 0x10, 0x20, 4),
            "GABI_SDA2_WriteSystemData": call("GABI_SDA2_WriteSystemData", 0x10, 0x20, "4e4f"),
            "GABI_SDA2_EnumSystemData": call("GABI_SDA2_EnumSystemData", 0, 12),
            "GABI_SDA2_GetSystemDataInfo_SCC0005": call("GABI_SDA2_GetSystemDataInfo_SCC0005", 0x10, 0x20),
            "GABI_SDA2_ReadSystemData_SCC0005": call("GABI_SDA2_ReadSystemData_SCC0005", 0x10, 0x20, 4),
            "GABI_SDA2_WriteSystemData_SCC0005": call("GABI_SDA2_WriteSystemData_SCC0005", 0x10, 0x20, "4e4f"),
            "GABI_SDA2_EnumSystemData_SCC0005": call("GABI_SDA2_EnumSystemData_SCC0005", 0, 12),
            "GABI_DevFwUpdate_GetDeviceFirmwareInfo": call("GABI_DevFwUpdate_GetDeviceFirmwareInfo"),
            "GABI_DevFwUpdate_GetDeviceFirmwareRuntimeInfo": call("GABI_DevFwUpdate_GetDeviceFirmwareRuntimeInfo"),
            "GABI_DevFwUpdate_FreeMemory": call("GABI_DevFwUpdate_FreeMemory"),
            # Last: removing the driver, then installing it again.
            "KernelDrv_UnInstall": call("KernelDrv_UnInstall"),
        }
        exported = {line.strip() for line in EXPORTS.read_text().splitlines() if line.strip()[:1] not in ("", "#")}
        self.assertEqual(set(steps), exported)
        self.assertEqual(len(steps), 65)

        bench = Bench(self)
        results = bench.run(configure(Firmware(devfw_count=1)), *steps.values(),
                            call("KernelDrv_Install", label="install again"), "mismatch",
                            cwd=bench.driver_folder("1.2.0.5"))
        # Bench.run has already failed a call left unbalanced or not exported.
        statuses = {name: results[name]["status"] for name in steps}
        self.assertEqual(statuses["KernelDrv_Install"], fw.INSTALLED_SAME)
        self.assertEqual(statuses["KernelDrv_Install_Test"], fw.INVALID_ARGUMENT)
        self.assertEqual(statuses["KernelDrv_UnInstall"], fw.OK)
        self.assertEqual(results["install again"]["status"], fw.OK)
        refusals = {"KernelDrv_Install", "KernelDrv_Install_Test", "KernelDrv_UnInstall_Test", "GetGABIEntry"}
        for name, status in statuses.items():
            if name not in refusals:
                self.assertEqual(status, fw.OK, name)

        # The check itself: in a 32-bit build, calling through the other convention
        # leaves the stack pointer off by the arguments (12 and 8 bytes).
        mismatch = results["mismatch"]
        expected = (-12, 8) if mismatch["bits"] == 32 else (0, 0)
        self.assertEqual(fw.fields(mismatch, "first", "second"), expected)
        self.assertEqual(fw.fields(mismatch, "first_status", "second_status"), (fw.INVALID_ARGUMENT,) * 2)


if __name__ == "__main__":
    unittest.main()
