// How the shipped programs end when memory runs out: out_of_memory_probe.exe is
// linked with their lean runtime.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/companion.h"
#include "common/unique_handle.h"

TEST(LeanRuntime, OutOfMemoryEndsWithStatusNoMemoryNotAVerdict) {
    const std::wstring probe = cw::OwnFolder() + L"\\out_of_memory_probe.exe";
    std::wstring commandLine = L"\"" + probe + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(probe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &info))
        << "out_of_memory_probe.exe missing, error " << GetLastError();
    const cw::unique_kernel process(info.hProcess);
    const cw::unique_kernel thread(info.hThread);
    ASSERT_EQ(WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeProcess(process.get(), &code));
    EXPECT_EQ(code, 0xC0000017u);
}
