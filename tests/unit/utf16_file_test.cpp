// Appending to a UTF-16 file that another process is writing: the open waits its
// turn, within its budget.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/unique_handle.h"
#include "common/utf16_file.h"
#include "tests/support/test_files.h"

namespace {

// Holds `path` the way another run holds the report: open for writing, unshared.
cw::unique_file HoldForWriting(const std::wstring& path) {
    return cw::unique_file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

DWORD WINAPI LetGoAfter200Ms(void* held) {
    Sleep(200);
    static_cast<cw::unique_file*>(held)->reset();
    return 0;
}

}  // namespace

TEST(Utf16File, AFileHeldElsewhereIsWaitedForWithinTheBudget) {
    const test_support::ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    const std::wstring path = dir.File(L"report.csv");
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE;

    cw::unique_file held = HoldForWriting(path);
    ASSERT_TRUE(held);
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(cw::OpenUtf16ForAppend(path.c_str(), share, 500));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    const ULONGLONG waited = GetTickCount64() - start;
    EXPECT_GE(waited, 450u);
    EXPECT_LT(waited, 3000u);
    EXPECT_FALSE(cw::OpenUtf16ForAppend(path.c_str(), share)) << "no budget: no wait";

    const cw::unique_kernel releaser(CreateThread(nullptr, 0, &LetGoAfter200Ms, &held, 0, nullptr));
    ASSERT_TRUE(releaser);
    const cw::unique_file file = cw::OpenUtf16ForAppend(path.c_str(), share, 10000);
    EXPECT_TRUE(file) << "error " << GetLastError();
    WaitForSingleObject(releaser.get(), INFINITE);
}
