// How the shipped files behave at run time through what they are built with:
// hardening_probe.exe (tests/sim/hardening) carries the programs' delay-load hooks,
// stack guard and load configuration; planted.dll lies beside it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/companion.h"
#include "common/unique_handle.h"

namespace {

std::wstring TestBin(const wchar_t* name) { return cw::OwnFolder() + L"\\" + name; }

// Runs the probe with `arguments`; its exit code.
DWORD RunProbe(const std::wstring& arguments) {
    const std::wstring probe = TestBin(L"hardening_probe.exe");
    std::wstring commandLine = L"\"" + probe + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(probe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        ADD_FAILURE() << "hardening_probe.exe missing, error " << GetLastError();
        return 0xFFFFFFFF;
    }
    const cw::unique_kernel process(info.hProcess);
    const cw::unique_kernel thread(info.hThread);
    EXPECT_EQ(WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
    DWORD code = 0xFFFFFFFF;
    EXPECT_TRUE(GetExitCodeProcess(process.get(), &code));
    return code;
}

}  // namespace

TEST(ImageLoader, StackGuardIsMadeRandomByTheLoader) { EXPECT_EQ(RunProbe(L"guard"), 0u); }

// hwlink.dll runs no C runtime start-up: the loader alone sets its guard.
TEST(ImageLoader, HwlinkStackGuardIsMadeRandomByTheLoader) {
    const std::wstring hwlink = cw::OwnFolder() + L"\\..\\ship\\hwlink.dll";
    ASSERT_TRUE(cw::IsExistingFile(hwlink.c_str()));
    EXPECT_EQ(RunProbe(L"module \"" + hwlink + L"\""), 0u);
}

TEST(ImageLoader, StackOverrunEndsWithStatusStackBufferOverrun) { EXPECT_EQ(RunProbe(L"smash"), 0xC0000409u); }

// planted.dll lies beside the probe, not in the system folder: it is not loaded,
// and the process ends with the code of a missing DLL.
TEST(ImageLoader, DelayLoadedDllComesFromTheSystemFolderOnly) {
    const std::wstring marker = TestBin(L"planted.dll.loaded");
    DeleteFileW(marker.c_str());
    ASSERT_TRUE(cw::IsExistingFile(TestBin(L"planted.dll").c_str()));
    EXPECT_EQ(RunProbe(L"planted"), 0xC0000135u);
    EXPECT_FALSE(cw::IsExistingFile(marker.c_str()));
}

TEST(ImageLoader, MissingDelayLoadedFunctionEndsWithStatusEntryPointNotFound) {
    EXPECT_EQ(RunProbe(L"no-function"), 0xC0000139u);
}
