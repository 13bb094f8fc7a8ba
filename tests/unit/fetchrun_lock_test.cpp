// The hold on a downloaded program between its last check and its start: nobody
// can change, replace, rename or delete the held file, it can still be read and
// started, and the checks judge the held bytes.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/companion.h"
#include "fetchrun/transfer/download_thread.h"
#include "tests/support/test_files.h"
#include "fetchrun/transfer/hash_text.h"
#include "fetchrun/transfer/hash_thread.h"
#include "fetchrun/app/run_update.h"
#include "fetchrun/transfer/verified_file_lock.h"

namespace {

using namespace fetchrun;
using test_support::FileExists;
using test_support::ReadBytes;
using test_support::ScratchDir;

std::wstring HashOfFile(const std::wstring& path) {
    CThreadHash hash(path.c_str());
    if (!hash.Start()) return L"";
    WaitForSingleObject(hash.GetHandle(), INFINITE);
    return hash.GetResult();
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}

// Opens `path` as another process would; true when that worked.
bool Opens(const std::wstring& path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING) {
    HANDLE file = CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class FetchrunLock : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.ok());
        const std::wstring bin = cw::OwnFolder();
        ASSERT_FALSE(bin.empty());
        program_ = scratch_.File(L"tpf1.tmp.exe");
        other_ = scratch_.File(L"other.exe");
        ASSERT_TRUE(CopyFileW((bin + L"\\signed\\recorder.exe").c_str(), program_.c_str(), FALSE));
        ASSERT_TRUE(CopyFileW((bin + L"\\recorder.exe").c_str(), other_.c_str(), FALSE));
        original_ = ReadBytes(program_);
        ASSERT_FALSE(original_.empty());
    }

    ScratchDir scratch_;
    std::wstring program_;
    std::wstring other_;
    std::vector<std::uint8_t> original_;
};

TEST_F(FetchrunLock, HeldFileCannotBeChangedReplacedRenamedOrDeleted) {
    VerifiedFileLock lock;
    ASSERT_TRUE(lock.Hold(program_.c_str()));
    EXPECT_TRUE(lock.IsHeld());

    EXPECT_FALSE(Opens(program_, GENERIC_WRITE, kShareAll));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_FALSE(Opens(program_, FILE_APPEND_DATA, kShareAll));
    EXPECT_FALSE(Opens(program_, GENERIC_WRITE, kShareAll, CREATE_ALWAYS));
    EXPECT_FALSE(Opens(program_, DELETE, kShareAll));
    EXPECT_FALSE(DeleteFileW(program_.c_str()));
    EXPECT_FALSE(MoveFileW(program_.c_str(), scratch_.File(L"moved.exe").c_str()));
    EXPECT_FALSE(MoveFileExW(other_.c_str(), program_.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(CopyFileW(other_.c_str(), program_.c_str(), FALSE));
    EXPECT_FALSE(ReplaceFileW(program_.c_str(), other_.c_str(), nullptr, 0, nullptr, nullptr));

    EXPECT_EQ(original_, ReadBytes(program_));
    EXPECT_FALSE(FileExists(scratch_.File(L"moved.exe")));
    EXPECT_TRUE(FileExists(other_));

    lock.Release();
    EXPECT_FALSE(lock.IsHeld());
    EXPECT_TRUE(DeleteFileW(program_.c_str()));
}

TEST_F(FetchrunLock, HeldFileCanStillBeReadAndStarted) {
    VerifiedFileLock lock;
    ASSERT_TRUE(lock.Hold(program_.c_str()));
    // What the signature check, the shell and the loader ask for.
    EXPECT_TRUE(Opens(program_, GENERIC_READ, FILE_SHARE_READ));
    EXPECT_TRUE(Opens(program_, GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ | FILE_SHARE_DELETE));
    EXPECT_EQ(original_, ReadBytes(program_));

    ASSERT_EQ(0u, RunElevated(program_.c_str(), L"/held", L"runas"));
    const std::wstring record = program_ + L".record";
    for (int i = 0; i < 200 && !FileExists(record); ++i) Sleep(50);
    EXPECT_TRUE(FileExists(record)) << "the held program did not run";
    EXPECT_TRUE(lock.IsHeld());
    // The program's own image may keep the file busy for a moment after it ended.
    lock.Release();
    bool deleted = false;
    for (int i = 0; i < 100 && !(deleted = DeleteFileW(program_.c_str())); ++i) Sleep(50);
    EXPECT_TRUE(deleted);
}

TEST_F(FetchrunLock, NoHoldWhileAnotherHandleMayWriteOrTheFileIsMissing) {
    HANDLE writer = CreateFileW(program_.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    VerifiedFileLock lock;
    EXPECT_FALSE(lock.Hold(program_.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_FALSE(lock.IsHeld());
    CloseHandle(writer);

    HANDLE deleter = CreateFileW(program_.c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, deleter);
    EXPECT_FALSE(lock.Hold(program_.c_str()));
    CloseHandle(deleter);

    EXPECT_FALSE(lock.Hold(scratch_.File(L"absent.exe").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_NE(L"", lock.Verify(L"")) << "nothing held must not pass";

    // A readers' handle does not stand in the way.
    HANDLE reader = CreateFileW(program_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    EXPECT_TRUE(lock.Hold(program_.c_str()));
    CloseHandle(reader);
}

TEST_F(FetchrunLock, VerifyChecksHashAndSignatureOfTheHeldBytes) {
    const std::wstring hash = HashOfFile(program_);
    ASSERT_EQ(64u, hash.size());
    VerifiedFileLock lock;
    ASSERT_TRUE(lock.Hold(program_.c_str()));
    EXPECT_EQ(L"", lock.Verify(hash));
    EXPECT_EQ(L"", lock.Verify(Lower(hash)));
    EXPECT_EQ(L"", lock.Verify(L"")) << "no hash published: the signature alone decides";
    // Twice on the same handle: each check reads from the start.
    EXPECT_EQ(L"", lock.Verify(hash));
    std::wstring wrong = hash;
    wrong[0] = wrong[0] == L'0' ? L'1' : L'0';
    EXPECT_EQ(kDlErrorHash, lock.Verify(wrong));
    EXPECT_EQ(kDlErrorHash, lock.Verify(hash.substr(0, 63)));

    const std::wstring unsignedHash = HashOfFile(other_);
    VerifiedFileLock unsignedLock;
    ASSERT_TRUE(unsignedLock.Hold(other_.c_str()));
    EXPECT_EQ(L"CThreadDL - error: WinVerifyTrust return 0x800B0100.", unsignedLock.Verify(unsignedHash));
    EXPECT_EQ(kDlErrorHash, unsignedLock.Verify(hash)) << "the hash is checked before the signature";
}

TEST(FetchrunHeldChecks, HandleBasedChecksJudgeTheOpenFileNotThePath) {
    ScratchDir scratch;
    ASSERT_TRUE(scratch.ok());
    const std::wstring bin = cw::OwnFolder();
    const std::wstring signedPath = bin + L"\\signed\\recorder.exe";
    const std::wstring unsignedPath = bin + L"\\recorder.exe";
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

}  // namespace
