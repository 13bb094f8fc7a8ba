// Starting other programs: the held update program through the shell (quoted
// path, parameters, its folder as working directory; the hold does not stand in
// the way) and a plain command line; and the temporary files the dialog downloads
// into.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/companion.h"
#include "fetchrun/app/fetch_dialog.h"
#include "tests/support/test_files.h"
#include "fetchrun/app/run_update.h"

namespace fetchrun {
namespace {

using test_support::Narrow;
using test_support::ScratchDir;

// The record the recorder writes beside itself: command line, working directory.
bool WaitForRecord(const std::wstring& program, std::string& record, int tries = 200) {
    const std::wstring path = program + L".record";
    for (int i = 0; i < tries; ++i) {
        if (test_support::FileExists(path)) {
            record = test_support::ReadNarrowFile(path);
            return true;
        }
        Sleep(50);
    }
    return false;
}

class FetchrunStart : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.ok());
        folder_ = scratch_.File(L"with blank");
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        program_ = folder_ + L"\\update tool.exe";
        ASSERT_TRUE(CopyFileW((cw::OwnFolder() + L"\\recorder.exe").c_str(), program_.c_str(), FALSE));
    }
    void TearDown() override {
        DeleteFileW(program_.c_str());
        DeleteFileW((program_ + L".record").c_str());
        RemoveDirectoryW(folder_.c_str());
    }

    ScratchDir scratch_;
    std::wstring folder_;
    std::wstring program_;
};

TEST_F(FetchrunStart, ElevatedStartQuotesThePathAndRunsInItsFolder) {
    VerifiedFileLock program;
    ASSERT_TRUE(program.Hold(program_));
    ASSERT_EQ(RunElevated(program, L"/quiet \"x y\"", L"runas"), 0u);
    std::string record;
    ASSERT_TRUE(WaitForRecord(program_, record));
    EXPECT_EQ(record, "\"" + Narrow(program_) + "\" /quiet \"x y\"\n" + Narrow(folder_) + "\n");
    EXPECT_TRUE(program.IsHeld());
    // The program's own image may keep the file busy for a moment after it ended.
    program.Release();
    bool deleted = false;
    for (int i = 0; i < 100 && !(deleted = DeleteFileW(program_.c_str())); ++i) Sleep(50);
    EXPECT_TRUE(deleted);
}

TEST_F(FetchrunStart, ElevatedStartWithoutParametersOrVerb) {
    VerifiedFileLock program;
    ASSERT_TRUE(program.Hold(program_));
    ASSERT_EQ(RunElevated(program, L"", L""), 0u);
    std::string record;
    ASSERT_TRUE(WaitForRecord(program_, record));
    EXPECT_EQ(record.substr(0, record.find('\n')), "\"" + Narrow(program_) + "\"");
}

TEST_F(FetchrunStart, NothingHeldStartsNothing) {
    VerifiedFileLock missing;
    EXPECT_FALSE(missing.Hold(folder_ + L"\\missing.exe"));
    EXPECT_EQ(RunElevated(missing, L"", L"runas"), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    VerifiedFileLock released;
    ASSERT_TRUE(released.Hold(program_));
    released.Release();
    EXPECT_EQ(RunElevated(released, L"", L"runas"), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    std::string record;
    EXPECT_FALSE(WaitForRecord(program_, record, 10));
}

TEST_F(FetchrunStart, PlainStartTakesTheWholeCommandLine) {
    const std::wstring line = L"\"" + program_ + L"\" --from run key";
    ASSERT_EQ(StartProcess(line.c_str()), 0u);
    std::string record;
    ASSERT_TRUE(WaitForRecord(program_, record));
    EXPECT_EQ(record.substr(0, record.find('\n')), Narrow(line));
    const std::wstring missing = L"\"" + folder_ + L"\\missing.exe\" x";
    EXPECT_NE(StartProcess(missing.c_str()), 0u);
}

TEST(FetchrunTempFile, EachCallMakesANewEmptyFileInTheTemporaryFolder) {
    wchar_t temp[MAX_PATH + 1];
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring first = MakeTempFile();
    const std::wstring second = MakeTempFile();
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    for (const std::wstring& file : {first, second}) {
        EXPECT_EQ(file.rfind(temp, 0), 0u) << Narrow(file);
        const std::wstring name = file.substr(file.rfind(L'\\') + 1);
        EXPECT_EQ(name.rfind(L"tpf", 0), 0u) << Narrow(name);
        WIN32_FILE_ATTRIBUTE_DATA data;
        ASSERT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ(data.nFileSizeLow, 0u);
        DeleteFileW(file.c_str());
    }
}

}  // namespace
}  // namespace fetchrun
