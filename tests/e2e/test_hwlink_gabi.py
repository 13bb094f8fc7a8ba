"""hwlink.dll's GABI call path and NVMISC services against the simulated driver.

The driver is installed once with KernelDrv_Install; each scenario sets the
firmware's answers, calls exports by name through hwcall.exe and reads back the
frames the driver received, so the wire bytes are checked too."""
import struct
import unittest

import firmware as fw
from firmware import LOG, NVMISC, Bench, Firmware, call, configure, log

SYSTEM_INFO = bytes.fromhex("170a564e2211443366558899")  # output bytes 8..19 of function 3


class GabiCallPath(fw.DriverScenario):
    def nvmisc(self, size=48) -> Firmware:
        return Firmware().directory(NVMISC, size).on(NVMISC, 3, 1, 1, 0x0C, data=SYSTEM_INFO)

    def test_system_info_runs_directory_enter_function_exit_over_the_wire(self):
        results = Bench(self).run(configure(self.nvmisc()), call("GABI_NVMISC_GetSystemInfo"), LOG)
        info = results["GABI_NVMISC_GetSystemInfo"]
        self.assertEqual(info["status"], fw.OK)
        self.assertEqual(info["record"], SYSTEM_INFO[:10].hex())
        self.assertEqual(fw.words(info), (1, 1, 0x0C))

        record = results.log()
        # Every firmware call opens the channel, checks presence, sends one frame.
        self.assertEqual(record.codes(), [fw.GABI_PRESENT, fw.GABI_CALL] * 4)
        calls = record.calls()
        self.assertEqual([c.step() for c in calls], [("dir", NVMISC), (NVMISC, 1), (NVMISC, 3), (NVMISC, 2)])
        directory = calls[0]
        self.assertEqual(directory.input, b"\x02\x00")
        self.assertEqual(len(directory.output), 32)
        self.assertEqual(len(directory.control), 1024)
        for c in calls[1:]:
            self.assertEqual((len(c.control), len(c.input), len(c.output)), (1024, 512, 48))
            self.assertEqual(struct.unpack_from("<3H", c.frame, 0), (1024, 512, 48))
            self.assertEqual(struct.unpack_from("<H", c.control, 0)[0], 0x0400)
            self.assertEqual(c.control[6:], bytes(1018), "status words and the rest start zero")
            self.assertEqual(c.version, 1)
            self.assertEqual(c.input[8:], bytes(504))
            self.assertEqual(c.output, struct.pack("<H", 48) + bytes(46))
        self.assertEqual([c.handle for c in calls[1:]], [0, fw.SERVICE_HANDLE, fw.SERVICE_HANDLE])

    def test_each_step_of_the_sequence_failing(self):
        enter = self.nvmisc().on(NVMISC, 1, 1, 0, 4)
        function = self.nvmisc()
        function.rules.insert(0, fw.Rule(NVMISC, 3, words=(1, 5, 9)))
        exit_ = self.nvmisc().on(NVMISC, 2, 1, 2, 3)
        short = self.nvmisc()
        short.rules.insert(0, fw.Rule(NVMISC, 3, mode=fw.SHORT, data=SYSTEM_INFO))
        steps = []
        for label, firmware in (("enter", enter), ("function", function), ("exit", exit_), ("short", short)):
            steps += [configure(firmware), call("GABI_NVMISC_GetSystemInfo", label=label), log(label + " log")]
        results = Bench(self).run(*steps)

        self.assertEqual(results["enter"]["status"], fw.ENTER_FAILED)
        self.assertEqual(fw.words(results["enter"]), (1, 0, 4))
        self.assertEqual(results["enter"]["record"], "cc" * 10)
        self.assertEqual(results.log("enter log").steps(), [("dir", NVMISC), (NVMISC, 1)])  # no exit

        self.assertEqual(results["function"]["status"], fw.FUNCTION_FAILED)
        self.assertEqual(fw.words(results["function"]), (1, 5, 9))
        self.assertEqual(results["function"]["record"], "cc" * 10)
        self.assertEqual(results.log("function log").steps()[-1], (NVMISC, 2))  # the exit is still sent

        self.assertEqual(results["exit"]["status"], fw.EXIT_FAILED)
        self.assertEqual(fw.words(results["exit"]), (1, 2, 3))
        self.assertEqual(results["exit"]["record"], SYSTEM_INFO[:10].hex())  # results kept

        # A reply one byte short is a failed function call.
        self.assertEqual(results["short"]["status"], fw.FUNCTION_FAILED)
        self.assertEqual(fw.words(results["short"]), (0, 0, 0))
        self.assertEqual(results["short"]["record"], "cc" * 10)

    def test_firmware_absent_and_argument_checks(self):
        entry = bytes(range(0x40, 0x48)) + bytes([12]) + bytes(range(0x50, 0x60))
        absent = Firmware(presence=0, entry=entry)
        results = Bench(self).run(
            configure(absent), call("CheckGABI", label="absent flag"), call("CallGABIService", label="absent call"),
            call("GABI_NVMISC_GetSystemInfo", label="absent service"),
            call("GetGABIEntry", 12, label="entry"), call("GetGABIEntry", 11, label="entry short"),
            log("absent log"),
            configure(Firmware()), call("CallGABIService", "null", label="null block"),
            call("CheckGABI", "null", label="null flag"), log("null log"),
            configure(Firmware(presence_mode=fw.SHORT)), call("CheckGABI", label="short flag"),
            call("GABI_NVMISC_GetSystemInfo", label="short service"))
        self.assertEqual(fw.fields(results["absent flag"], "status", "flag"), (fw.OK, 0))
        self.assertEqual(results["absent call"]["status"], fw.GABI_ABSENT)
        self.assertTrue(results["absent call"]["unchanged"])
        self.assertEqual(results["absent service"]["status"], fw.GABI_ABSENT)
        # The entry does not depend on presence; it is copied by its own length byte.
        self.assertEqual(results["entry"]["status"], fw.OK)
        self.assertEqual(results["entry"]["data"], entry[:12].hex())
        self.assertEqual(results["entry short"]["status"], fw.BUFFER_TOO_SMALL)
        self.assertEqual(results["entry short"]["data"], "cc" * 11)
        self.assertNotIn(fw.GABI_CALL, results.log("absent log").codes())

        # A null block is refused after the presence check; a null flag before the channel.
        self.assertEqual(results["null block"]["status"], fw.INVALID_ARGUMENT)
        self.assertEqual(results["null flag"]["status"], fw.INVALID_ARGUMENT)
        self.assertEqual(results.log("null log").codes(), [fw.GABI_PRESENT])

        self.assertEqual(results["short flag"]["status"], fw.REPLY_SIZE)
        self.assertEqual(results["short service"]["status"], fw.REPLY_SIZE)  # the directory query fails as it is

    def test_directory_words_and_sizes(self):
        refused = Firmware().directory(NVMISC, 48, 1, 3)
        results = Bench(self).run(
            configure(refused), call("_CallServiceInterface", NVMISC, label="refused directory"),
            call("GABI_NVMISC_GetSystemInfo", label="refused service"),
            configure(self.nvmisc(size=0)), call("GABI_NVMISC_GetSystemInfo", label="size 0"), LOG,
            configure(self.nvmisc(size=48)), call("_CallServiceInterface", NVMISC, label="directory"))
        self.assertEqual(results["refused directory"]["status"], fw.FIRMWARE_BASE + 3)
        self.assertEqual(results["refused service"]["status"], fw.FIRMWARE_BASE + 3)
        self.assertEqual(fw.words(results["refused service"]), (0, 0, 0))
        self.assertEqual(results["size 0"]["status"], fw.INVALID_ARGUMENT)
        self.assertEqual(results.log().steps(), [("dir", NVMISC)])  # nothing entered
        reply = bytes.fromhex(results["directory"]["reply"])
        self.assertEqual(results["directory"]["status"], fw.OK)
        self.assertEqual(struct.unpack_from("<HH", reply, 0), (32, 48))
        self.assertEqual(reply[32:], bytes(3))

    def test_bspf_version_fallback_and_command_block_size(self):
        bspf = (Firmware().on(NVMISC, 7, 1, 0x101, version=1)
                .on(NVMISC, 7, 1, 1, data=bytes.fromhex("b1b2b3b4b5b6"), version=2))
        results = Bench(self).run(
            configure(bspf), call("GABI_NVMISC_GetBspfInfo"), call("GABI_NVMISC_GetBspfInfo_V2"), log("info log"),
            configure(Firmware()), call("GABI_NVMISC_SetBspfCommand", 600, label="long command"),
            call("GABI_NVMISC_SetBspfCommand", 100, label="short command"), log("command log"))
        info, info2 = results["GABI_NVMISC_GetBspfInfo"], results["GABI_NVMISC_GetBspfInfo_V2"]
        self.assertEqual(fw.fields(info, "status", "info"), (fw.OK, "b1b2b3b4" + "cc" * 4))
        self.assertEqual(fw.words(info, 2), (1, 1))
        self.assertEqual(fw.fields(info2, "status", "info"), (fw.OK, "b1b2b3b4b5b6" + "cc" * 2))
        calls = [c for c in results.log("info log").calls() if c.function == 7]
        self.assertEqual([c.version for c in calls], [1, 2, 2])

        self.assertEqual(results["long command"]["status"], fw.OK)
        self.assertEqual(results["short command"]["status"], fw.OK)
        calls = [c for c in results.log("command log").calls() if c.service_class == NVMISC]
        self.assertEqual([len(c.input) for c in calls], [613] * 3 + [512] * 3)
        command = calls[1]
        self.assertEqual(command.function, 8)
        self.assertEqual(struct.unpack_from("<HHII", command.input, 0), (613, 1, fw.SERVICE_HANDLE, 600))
        self.assertEqual(command.input[12:612], bytes(i & 0xFF for i in range(600)))

    def test_generic_calls_and_enter_exit(self):
        results = Bench(self).run(
            configure(Firmware().on(0x8002, 2, 1, 7)),
            call("CallGABIService_SingleBuf", fw.GABI_CALL), call("CallGABIService_4buf", fw.SDA_READ, 6),
            call("CallGABIService_4buf", fw.SDA_READ, 6, "null", label="4buf without extra"),
            call("_CallEnter", 0x8002), call("_CallExit", 0x8002, fw.SERVICE_HANDLE), LOG)
        single = results["CallGABIService_SingleBuf"]
        self.assertEqual(single["status"], fw.OK)
        self.assertEqual(struct.unpack_from("<2H", bytes.fromhex(single["data"]), 6 + 6), (1, 1))  # firmware's words
        extended = results["CallGABIService_4buf"]
        self.assertEqual(fw.fields(extended, "status", "s1", "s2"), (fw.OK, 1, 1))
        self.assertEqual(extended["extra"], "404142434445")  # the driver's read data came back
        self.assertEqual(fw.fields(results["4buf without extra"], "status", "extra"), (fw.OK, "cc" * 6))
        self.assertEqual(fw.fields(results["_CallEnter"], "status", "handle"), (fw.OK, fw.SERVICE_HANDLE))
        self.assertEqual(results["_CallExit"]["status"], fw.FIRMWARE_BASE + 7)
        record = results.log()
        extended = [r for r in record.records if r.code == fw.SDA_READ]
        self.assertEqual([len(r.data) for r in extended], [48, 48])
        self.assertEqual(struct.unpack_from("<3HI", extended[0].data, 0), (16, 8, 8, 6))
        self.assertEqual(extended[1].data[42:], bytes(6))  # no extra given: zeros travel
        exit_call = record.calls()[-1]
        self.assertEqual((exit_call.function, exit_call.handle), (2, fw.SERVICE_HANDLE))


if __name__ == "__main__":
    unittest.main()
