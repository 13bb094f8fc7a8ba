// A trusted file held from its check until its use: nobody can change, replace,
// rename or delete it meanwhile, while it can still be read and started.
#include <gtest/gtest.h>

#include <windows.h>
#include <wintrust.h>

#include <string>

#include "common/companion.h"
#include "common/signature.h"
#include "tests/support/test_files.h"

namespace {

bool Opens(const std::wstring& path, DWORD access, DWORD share) {
    HANDLE file = CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

TEST(HoldTrustedFile, HoldsOnlyATrustedFileAndKeepsItAsChecked) {
    test_support::ScratchDir scratch;
    ASSERT_TRUE(scratch.ok());
    const std::wstring bin = cw::OwnFolder();
    const std::wstring program = scratch.File(L"Fetchrun.exe");
    const std::wstring moved = scratch.File(L"moved.exe");

    ASSERT_TRUE(CopyFileW((bin + L"\\recorder.exe").c_str(), program.c_str(), FALSE));
    EXPECT_FALSE(cw::HoldTrustedFile(program.c_str(), WTD_UI_NONE)) << "an unsigned file was held";
    EXPECT_TRUE(Opens(program, GENERIC_WRITE, kShareAll)) << "a refused file stays held";

    ASSERT_TRUE(CopyFileW((bin + L"\\signed\\recorder.exe").c_str(), program.c_str(), FALSE));
    {
        const cw::unique_file held = cw::HoldTrustedFile(program.c_str(), WTD_UI_NONE);
        ASSERT_TRUE(held);
        EXPECT_FALSE(Opens(program, GENERIC_WRITE, kShareAll));
        EXPECT_FALSE(MoveFileExW(program.c_str(), moved.c_str(), 0));
        EXPECT_FALSE(DeleteFileW(program.c_str()));
        // As the loader opens a program it starts.
        EXPECT_TRUE(Opens(program, GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ | FILE_SHARE_DELETE));
    }
    EXPECT_TRUE(MoveFileExW(program.c_str(), moved.c_str(), 0));
}

}  // namespace
