#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/companion.h"
#include "cellwise/ui/start_fetchrun.h"
#include "tests/support/test_files.h"

using test_support::Narrow;
using test_support::ReadNarrowFile;

// One test: every step places its own Fetchrun.exe beside the test program.
TEST(StartFetchrun, StartsOnlyATrustedFetchrunFromTheOwnFolder) {
    const std::wstring folder = cw::OwnFolder();
    ASSERT_FALSE(folder.empty());
    const std::wstring fetchrun = folder + L"\\Fetchrun.exe";
    const std::wstring record = fetchrun + L".record";
    DeleteFileW(fetchrun.c_str());
    DeleteFileW(record.c_str());

    SetLastError(0);
    EXPECT_FALSE(cw::StartFetchrun(false, L"T"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    ASSERT_TRUE(CreateDirectoryW(fetchrun.c_str(), nullptr));
    SetLastError(0);
    EXPECT_FALSE(cw::StartFetchrun(false, L"T"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    RemoveDirectoryW(fetchrun.c_str());

    ASSERT_TRUE(CopyFileW((folder + L"\\recorder.exe").c_str(), fetchrun.c_str(), FALSE));
    EXPECT_FALSE(cw::StartFetchrun(false, L"T"));  // unsigned
    Sleep(200);
    EXPECT_EQ(GetFileAttributesW(record.c_str()), INVALID_FILE_ATTRIBUTES) << "an untrusted program ran";

    ASSERT_TRUE(CopyFileW((folder + L"\\signed\\recorder.exe").c_str(), fetchrun.c_str(), FALSE));
    wchar_t elsewhere[MAX_PATH];
    GetTempPathW(MAX_PATH, elsewhere);
    SetCurrentDirectoryW(elsewhere);
    ASSERT_TRUE(cw::StartFetchrun(true, L"0x4E560A17-0x00000003"));
    for (int i = 0; i < 100 && GetFileAttributesW(record.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
    EXPECT_EQ(ReadNarrowFile(record), "\"" + Narrow(fetchrun) + "\" \"/Target:0x4E560A17-0x00000003\"" +
                                      " /log:c:\\temp\\Fetchrun.log\n" + Narrow(folder) + "\n");
    DeleteFileW(record.c_str());
    DeleteFileW(fetchrun.c_str());
}

TEST(FetchrunCommandLine, QuotesProgramAndTargetAndAddsTheDebugLog) {
    EXPECT_EQ(cw::BuildFetchrunCommandLine(L"C:\\t\\Fetchrun.exe", L"0x4E560A17-0x00000003", false),
              L"\"C:\\t\\Fetchrun.exe\" \"/Target:0x4E560A17-0x00000003\"");
    EXPECT_EQ(cw::BuildFetchrunCommandLine(L"F.exe", L"T", true),
              L"\"F.exe\" \"/Target:T\" /log:c:\\temp\\Fetchrun.log");
}

TEST(FetchrunCommandLine, IsCutAtTheBufferLimit) {
    const std::wstring line = cw::BuildFetchrunCommandLine(L"F.exe", std::wstring(600, L'x'), true);
    EXPECT_EQ(line.size(), cw::kFetchrunCommandLineMax);
    EXPECT_EQ(line.substr(0, 18), L"\"F.exe\" \"/Target:x");
}
