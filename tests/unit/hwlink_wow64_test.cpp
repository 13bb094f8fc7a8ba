// The driver file's operations see the native system folder, in a 32-bit process
// on 64-bit Windows too, and only while they run. The unit tests run as an x86_64
// program and as an i686 program under WoW64.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "hwlink/frame/driver_service.h"
#include "hwlink/hwlink.h"

namespace {

// The machine field of the PE header of the kernel32.dll that this thread finds in
// the system folder; 0 when it cannot be read.
WORD SystemKernelMachine() {
    char path[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH - 16) return 0;
    lstrcatA(path, "\\kernel32.dll");
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    unsigned char header[4096] = {};
    DWORD read = 0;
    const BOOL ok = ReadFile(file, header, sizeof header, &read, nullptr);
    CloseHandle(file);
    if (!ok || read < 0x40) return 0;
    const DWORD pe = header[0x3C] | header[0x3D] << 8 | header[0x3E] << 16 | static_cast<DWORD>(header[0x3F]) << 24;
    if (pe > read - 6 || header[pe] != 'P' || header[pe + 1] != 'E') return 0;
    return static_cast<WORD>(header[pe + 4] | header[pe + 5] << 8);
}

TEST(HwlinkNativeView, ShowsTheNativeSystemFolderOnlyWhileItLives) {
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    const WORD own = sizeof(void*) == 4 ? 0x14C : 0x8664;  // i386, AMD64
    EXPECT_EQ(SystemKernelMachine(), own);
    {
        hwlink::NativeFileSystemView native;
        EXPECT_EQ(native.redirectionOff(), wow64 != FALSE);
        EXPECT_EQ(SystemKernelMachine(), wow64 ? 0x8664 : own);
        SetLastError(1234);
    }
    EXPECT_EQ(GetLastError(), 1234u);  // an operation's error outlives the view
    EXPECT_EQ(SystemKernelMachine(), own);
}

// An installer whose current directory is the system folder (an elevated
// console's) finds the driver file in the view it copies it in: a file only in
// the native folder is found, so the copy is what fails, into a folder that does
// not exist. The prefix has no KHWPORT service.
TEST(HwlinkNativeView, TheDriverFileIsFoundInTheViewItIsCopiedIn) {
    char system[MAX_PATH] = {}, previous[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryA(system, MAX_PATH);
    ASSERT_TRUE(n > 0 && n < MAX_PATH - 16);
    ASSERT_NE(GetCurrentDirectoryA(MAX_PATH, previous), 0u);
    const std::string file = std::string(system) + "\\KHWPORT.SYS";
    {
        hwlink::NativeFileSystemView native;
        HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
    }
    ASSERT_TRUE(SetCurrentDirectoryA(system));
    const std::uint32_t result = KernelDrv_Install_Test("C:\\no such folder", 3);
    SetCurrentDirectoryA(previous);
    {
        hwlink::NativeFileSystemView native;
        DeleteFileA(file.c_str());
    }
    EXPECT_EQ(result, 0x10011u);
}

}  // namespace
