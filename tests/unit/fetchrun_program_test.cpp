// The download worker's program steps on a downloaded file: its ".exe" name and
// the hold on it (nobody can change, replace, rename or delete the held file; it
// can still be read), the hash and the publisher's signature judged through the
// hold. The start of a held program is in fetchrun_app_run_test.cpp.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/companion.h"
#include "fetchrun/app/exit_codes.h"
#include "fetchrun/transfer/hash_text.h"
#include "fetchrun/transfer/hash_thread.h"
#include "fetchrun/transfer/program_checks.h"
#include "tests/support/test_files.h"

namespace {

using namespace fetchrun;
using test_support::FileExists;
using test_support::ReadBytes;
using test_support::ScratchDir;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring TestBin() { return cw::OwnFolder(); }

std::wstring HashOfFile(const std::wstring& path) {
    CThreadHash hash(path.c_str());
    if (!hash.Start()) return L"";
    WaitForSingleObject(hash.GetHandle(), INFINITE);
    return hash.GetResult();
}

// Opens `path` as another process would; true when that worked.
bool Opens(const std::wstring& path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING) {
    HANDLE file = CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

std::string Describe(const TransferResult& result) { return test_support::Narrow(FormatTransferResult(result)); }

class FetchrunProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.ok());
        downloaded_ = scratch_.File(L"tpf1.tmp");
        other_ = scratch_.File(L"other.exe");
        ASSERT_TRUE(CopyFileW((TestBin() + L"\\signed\\recorder.exe").c_str(), downloaded_.c_str(), FALSE));
        ASSERT_TRUE(CopyFileW((TestBin() + L"\\recorder.exe").c_str(), other_.c_str(), FALSE));
        original_ = ReadBytes(downloaded_);
        ASSERT_FALSE(original_.empty());
    }

    ScratchDir scratch_;
    std::wstring downloaded_;
    std::wstring other_;
    std::vector<std::uint8_t> original_;
};

TEST_F(FetchrunProgram, HeldUnderItsExeNameAgainstEveryChange) {
    std::wstring path = downloaded_;
    VerifiedFileLock program;
    ASSERT_TRUE(HoldProgram(path, program).ok());
    EXPECT_EQ(downloaded_ + L".exe", path);
    EXPECT_EQ(path, program.Path());
    EXPECT_TRUE(program.IsHeld());
    EXPECT_FALSE(FileExists(downloaded_));

    EXPECT_FALSE(Opens(path, GENERIC_WRITE, kShareAll));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_FALSE(Opens(path, FILE_APPEND_DATA, kShareAll));
    EXPECT_FALSE(Opens(path, GENERIC_WRITE, kShareAll, CREATE_ALWAYS));
    EXPECT_FALSE(Opens(path, DELETE, kShareAll));
    EXPECT_FALSE(DeleteFileW(path.c_str()));
    EXPECT_FALSE(MoveFileW(path.c_str(), scratch_.File(L"moved.exe").c_str()));
    EXPECT_FALSE(MoveFileExW(other_.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(CopyFileW(other_.c_str(), path.c_str(), FALSE));
    EXPECT_FALSE(ReplaceFileW(path.c_str(), other_.c_str(), nullptr, 0, nullptr, nullptr));
    // What the shell and the loader ask for still works.
    EXPECT_TRUE(Opens(path, GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ | FILE_SHARE_DELETE));
    EXPECT_EQ(original_, ReadBytes(path));
    EXPECT_FALSE(FileExists(scratch_.File(L"moved.exe")));

    // Moves with its owner, as from the worker to the dialog.
    VerifiedFileLock taken = std::move(program);
    EXPECT_TRUE(taken.IsHeld());
    EXPECT_FALSE(DeleteFileW(path.c_str()));
    taken.Release();
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST_F(FetchrunProgram, NoHoldWhileAnotherHandleMayChangeTheFile) {
    struct Row {
        const char* name;
        DWORD access;  // of the other handle; 0: none
        bool onExeName;  // the other handle is on a file already under the ".exe" name
    };
    const Row rows[] = {
        // A writer or deleter that shares delete lets the rename pass; the hold
        // then refuses to judge bytes it could change.
        {"writer", GENERIC_WRITE, false},
        {"deleter", DELETE, false},
        // A program of an earlier run that still runs from the ".exe" name.
        {"name in use", GENERIC_READ | GENERIC_EXECUTE, true},
    };
    const std::wstring exeName = downloaded_ + L".exe";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.onExeName) {
            ASSERT_TRUE(CopyFileW(other_.c_str(), exeName.c_str(), FALSE));
        }
        HANDLE other = CreateFileW((row.onExeName ? exeName : downloaded_).c_str(), row.access,
                                   row.onExeName ? FILE_SHARE_READ : kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, other);
        std::wstring path = downloaded_;
        VerifiedFileLock program;
        const TransferResult result = HoldProgram(path, program);
        EXPECT_EQ(TransferFailure::Rename, result.failure) << Describe(result);
        if (!row.onExeName) {
            EXPECT_EQ(static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION), result.code);
        }
        EXPECT_FALSE(program.IsHeld());
        CloseHandle(other);
        // Back to the downloaded name for the next row.
        if (row.onExeName) {
            EXPECT_EQ(original_, ReadBytes(downloaded_));
            ASSERT_TRUE(DeleteFileW(exeName.c_str()));
        } else {
            ASSERT_TRUE(MoveFileW(path.c_str(), downloaded_.c_str()));
        }
    }

    // A file an earlier run left under the ".exe" name is replaced; a reader (one
    // that lets the file be renamed, as scanners and the loader do) does not stand
    // in the way.
    ASSERT_TRUE(CopyFileW(other_.c_str(), exeName.c_str(), FALSE));
    HANDLE reader = CreateFileW(downloaded_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    std::wstring path = downloaded_;
    VerifiedFileLock program;
    EXPECT_TRUE(HoldProgram(path, program).ok());
    CloseHandle(reader);
    EXPECT_EQ(original_, ReadBytes(exeName));
}

TEST_F(FetchrunProgram, HashAndPublisherAreJudgedOnTheHeldBytes) {
    const std::wstring published = HashOfFile(downloaded_);
    ASSERT_EQ(64u, published.size());
    std::wstring lower = published;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
    std::wstring wrong = published;
    wrong[0] = wrong[0] == L'0' ? L'1' : L'0';

    std::wstring path = downloaded_;
    VerifiedFileLock program;
    ASSERT_TRUE(HoldProgram(path, program).ok());
    struct Row {
        const wchar_t* name;
        std::wstring hash;
        TransferFailure failure;
    };
    const Row rows[] = {
        {L"published", published, TransferFailure::None},
        {L"lower case", lower, TransferFailure::None},
        {L"none published", L"", TransferFailure::Hash},
        {L"another", wrong, TransferFailure::Hash},
        {L"cut", published.substr(0, 63), TransferFailure::Hash},
        // Again on the same handle: each check reads from the start.
        {L"published again", published, TransferFailure::None},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(test_support::Narrow(row.name));
        EXPECT_EQ(row.failure, CheckProgramHash(program, row.hash).failure);
    }
    EXPECT_TRUE(CheckProgramSignature(program).ok());

    // Only the update publisher's trusted signature passes.
    struct Signed {
        const wchar_t* copy;
        const char* line;
    };
    const Signed copies[] = {
        {L"recorder.exe", "CThreadDL - error: WinVerifyTrust return 0x800B0100."},
        {L"signed\\recorder-other.exe", "CThreadDL - error: WinVerifyTrust return 0x800B0004."},
    };
    for (const Signed& copy : copies) {
        SCOPED_TRACE(test_support::Narrow(copy.copy));
        std::wstring candidate = scratch_.File(L"tpf2.tmp");
        ASSERT_TRUE(CopyFileW((TestBin() + L"\\" + copy.copy).c_str(), candidate.c_str(), FALSE));
        VerifiedFileLock held;
        ASSERT_TRUE(HoldProgram(candidate, held).ok());
        EXPECT_TRUE(CheckProgramHash(held, HashOfFile(candidate)).ok());
        EXPECT_EQ(copy.line, Describe(CheckProgramSignature(held)));
        held.Release();
        DeleteFileW(candidate.c_str());
    }
}

TEST(FetchrunHeldChecks, HandleBasedChecksJudgeTheOpenFileNotThePath) {
    const std::wstring signedPath = TestBin() + L"\\signed\\recorder.exe";
    const std::wstring unsignedPath = TestBin() + L"\\recorder.exe";
    HANDLE file = CreateFileW(signedPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_EQ(0, VerifyProgramSignature(unsignedPath.c_str(), file));
    // The check leaves the position anywhere; the hash starts from the beginning.
    std::vector<BYTE> digest;
    char skip[100];
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(file, skip, sizeof(skip), &read, nullptr));
    ASSERT_TRUE(HashOpenFile(file, digest));
    EXPECT_EQ(HashOfFile(signedPath), HashToText(digest.data(), digest.size()));
    CloseHandle(file);

    file = CreateFileW(unsignedPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_EQ(static_cast<LONG>(0x800B0100), VerifyProgramSignature(signedPath.c_str(), file));
    CloseHandle(file);

    EXPECT_FALSE(HashOpenFile(INVALID_HANDLE_VALUE, digest));
    EXPECT_TRUE(digest.empty());
}

// The log line and the exit code of every failure: the log text is formatted
// by the product's wide formatter, so this table runs under Wine only.
TEST(FetchrunTransferResult, EachFailureHasItsOneLogLineAndResultCode) {
    struct Row {
        TransferFailure failure;
        std::uint32_t code;
        const wchar_t* line;
        std::uint32_t resultCode;
    };
    const Row rows[] = {
        {TransferFailure::UrlOrPath, 0, L"CThreadDL - error: URL or Path invalid", 102},
        {TransferFailure::Interrupted, 0, L"CThreadDL - thread interruped.", 102},
        {TransferFailure::CreateTarget, 3, L"CThreadDL - error: CreateFile (0x00000003)", 102},
        {TransferFailure::OpenSession, 0x2EE7, L"CThreadDL - error: InternetOpen (0x00002EE7)", 102},
        {TransferFailure::OpenUrl, 0x2EFD, L"CThreadDL - error: InternetOpenUrl (0x00002EFD)", 102},
        {TransferFailure::ReadBody, 0x2EE2, L"CThreadDL - error: InternetReadFile (0x00002EE2)", 102},
        {TransferFailure::WriteTarget, 112, L"CThreadDL - error: WriteFile (0x00000070)", 102},
        {TransferFailure::Hash, 0, L"CThreadDL - error: Hash invalid", 102},
        {TransferFailure::Rename, 32, L"rename failed.", 114},
        {TransferFailure::Trust, 0x800B0004, L"CThreadDL - error: WinVerifyTrust return 0x800B0004.", 102},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.failure));
        const TransferResult result = TransferFailed(row.failure, row.code);
        EXPECT_EQ(row.line, FormatTransferResult(result));
        EXPECT_EQ(row.resultCode, DownloadFailureCode(result));
    }
    EXPECT_EQ(L"", FormatTransferResult(TransferResult()));

    TransferResult incomplete = TransferFailed(TransferFailure::Incomplete);
    incomplete.received = 100000;
    incomplete.announced = 5368709120u;  // beyond 32 bits
    EXPECT_EQ(L"CThreadDL - error: body incomplete (100000 of 5368709120 bytes)", FormatTransferResult(incomplete));

    // The server's last words follow a WinINet failure, "%" and all.
    TransferResult refused = TransferFailed(TransferFailure::OpenUrl, 0x2F76);
    refused.responseError = 12;
    refused.responseText = L"HTTP/1.0 403 100% denied";
    EXPECT_EQ(L"CThreadDL - error: InternetOpenUrl (0x00002F76) err=12,HTTP/1.0 403 100% denied",
              FormatTransferResult(refused));
}

}  // namespace
