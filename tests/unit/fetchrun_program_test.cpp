// The download worker's program steps on a file: the file a program is written
// into (nobody else can open it while it is written; its descriptor; hashed as it
// is written; renamed through its writing handle), the hold on it (only the file
// that was written; nobody can change, replace, rename or delete the held file; it
// can still be read), the published hash and the publisher's signature. The start
// of a held program is in fetchrun_app_run_test.cpp.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/companion.h"
#include "common/unique_handle.h"
#include "fetchrun/app/exit_codes.h"
#include "fetchrun/transfer/hash_text.h"
#include "fetchrun/transfer/hash_thread.h"
#include "fetchrun/transfer/program_checks.h"
#include "fetchrun/transfer/program_file.h"
#include "tests/support/test_files.h"

namespace {

using namespace fetchrun;
using test_support::FileExists;
using test_support::ReadBytes;
using test_support::ScratchDir;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kChunk = 65536;

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

// Writes `bytes` into `file` as the download does, in blocks.
bool WriteAll(ProgramFile& file, const std::vector<std::uint8_t>& bytes) {
    for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
        const DWORD size = static_cast<DWORD>(bytes.size() - at < kChunk ? bytes.size() - at : kChunk);
        if (!file.Write(bytes.data() + at, size)) return false;
    }
    return true;
}

std::wstring DigestText(ProgramFile& file) {
    std::vector<BYTE> digest;
    if (!file.Digest(digest)) return L"<none>";
    return HashToText(digest.data(), digest.size());
}

class FetchrunProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.ok());
        downloaded_ = scratch_.File(L"tpf1.tmp");
        named_ = downloaded_ + L".exe";
        other_ = scratch_.File(L"other.exe");
        ASSERT_TRUE(CopyFileW((TestBin() + L"\\recorder.exe").c_str(), other_.c_str(), FALSE));
        signed_ = ReadBytes(TestBin() + L"\\signed\\recorder.exe");
        ASSERT_FALSE(signed_.empty());
    }

    // The signed program written, renamed to its ".exe" name and closed, as the
    // worker leaves it before the hold.
    void WriteProgram(ProgramFile& file) {
        ASSERT_TRUE(file.Create(downloaded_));
        ASSERT_TRUE(WriteAll(file, signed_));
        ASSERT_TRUE(file.Rename(named_));
        file.Close();
    }

    ScratchDir scratch_;
    std::wstring downloaded_;
    std::wstring named_;
    std::wstring other_;
    std::vector<std::uint8_t> signed_;
};

TEST_F(FetchrunProgram, NobodyElseOpensTheFileWhileItIsWritten) {
    ProgramFile file;
    ASSERT_TRUE(file.Create(downloaded_));
    ASSERT_TRUE(WriteAll(file, signed_));
    struct Row {
        const char* name;
        DWORD access;
    };
    const Row rows[] = {
        {"writer", GENERIC_WRITE},
        {"appender", FILE_APPEND_DATA},
        // Mapping takes an open handle; none is given, not even to read.
        {"reader", GENERIC_READ},
        {"deleter", DELETE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(Opens(downloaded_, row.access, kShareAll));
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    }
    EXPECT_FALSE(Opens(downloaded_, GENERIC_WRITE, kShareAll, CREATE_ALWAYS));
    EXPECT_FALSE(MoveFileW(downloaded_.c_str(), scratch_.File(L"moved.tmp").c_str()));
    EXPECT_FALSE(DeleteFileW(downloaded_.c_str()));

    // Renamed through the writing handle: no moment without it.
    const FileIdentity written = file.Identity();
    ASSERT_TRUE(file.Rename(named_));
    EXPECT_FALSE(FileExists(downloaded_));
    EXPECT_FALSE(Opens(named_, GENERIC_WRITE, kShareAll));
    file.Close();
    EXPECT_EQ(signed_, ReadBytes(named_));
    const cw::unique_file reader(CreateFileW(named_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    FileIdentity renamed;
    ASSERT_TRUE(IdentifyFile(reader.get(), renamed));
    EXPECT_TRUE(written == renamed);
}

TEST_F(FetchrunProgram, TheBytesWrittenAreTheBytesHashed) {
    std::vector<std::uint8_t> pattern(200000);
    for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(i % 251);
    struct Row {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const wchar_t* sha256;
    };
    const Row rows[] = {
        {"nothing", {}, L"E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
        {"abc", {'a', 'b', 'c'}, L"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
        {"four blocks", pattern, L"E24BC62381F1224FBBB74688663F8F9743B9680B193EDD666835E97B06E730EB"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ProgramFile file;
        ASSERT_TRUE(file.Create(downloaded_));
        ASSERT_TRUE(WriteAll(file, row.bytes));
        EXPECT_EQ(row.sha256, DigestText(file));
        file.Close();
        EXPECT_EQ(row.bytes, ReadBytes(downloaded_));
        ASSERT_TRUE(DeleteFileW(downloaded_.c_str()));
    }
    // And as hash mode hashes the file.
    ProgramFile file;
    WriteProgram(file);
    std::vector<BYTE> digest;
    ASSERT_TRUE(file.Digest(digest));
    EXPECT_EQ(HashOfFile(named_), HashToText(digest.data(), digest.size()));
}

// Wine keeps no file descriptor and enforces none: what the file gets is checked on
// the descriptor Create hands over, entry by entry and by the system's access check.
TEST_F(FetchrunProgram, TheDescriptorLetsTheUserReadRunAndDeleteButNotWrite) {
    const cw::unique_local descriptor = MakeProgramDescriptor();
    ASSERT_TRUE(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor.get(), &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED);  // nothing inherited from the folder
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl);

    HANDLE opened = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &opened));
    const cw::unique_kernel process(opened);
    std::vector<BYTE> userBuffer(256);
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(process.get(), TokenUser, userBuffer.data(), 256, &size));
    PSID user = reinterpret_cast<TOKEN_USER*>(userBuffer.data())->User.Sid;
    wchar_t* userText = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidW(user, &userText));
    const cw::unique_local ownedText(userText);

    struct Entry {
        std::wstring sid;
        DWORD mask;
    };
    const Entry expected[] = {
        {L"S-1-5-18", 0x1F01FF},      // the system: full control
        {L"S-1-5-32-544", 0x1F01FF},  // the administrators: full control
        {userText, 0x1300A9},         // the user: read, execute, delete
        {L"S-1-3-4", 0x1200A9},       // the owner, whoever it is: read, execute, and no WRITE_DAC
    };
    ASSERT_EQ(4u, dacl->AceCount);
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        SCOPED_TRACE(i);
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType);
        EXPECT_EQ(0, ace->Header.AceFlags);
        EXPECT_EQ(expected[i].mask, ace->Mask);
        wchar_t* sid = nullptr;
        ASSERT_TRUE(ConvertSidToStringSidW(&ace->SidStart, &sid));
        const cw::unique_local ownedSid(sid);
        EXPECT_EQ(expected[i].sid, sid);
    }

    // The access check of the user's token without the administrators (a standard
    // user, or an administrator's token before elevation) against that DACL, on a
    // file the user owns.
    SECURITY_DESCRIPTOR file = {};
    ASSERT_TRUE(InitializeSecurityDescriptor(&file, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&file, TRUE, dacl, FALSE));
    ASSERT_TRUE(SetSecurityDescriptorOwner(&file, user, FALSE));
    ASSERT_TRUE(SetSecurityDescriptorGroup(&file, user, FALSE));
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD administratorsSize = sizeof(administrators);
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &administratorsSize));
    SID_AND_ATTRIBUTES denyOnly = {administrators, 0};
    HANDLE restricted = nullptr;
    ASSERT_TRUE(CreateRestrictedToken(process.get(), 0, 1, &denyOnly, 0, nullptr, 0, nullptr, &restricted));
    const cw::unique_kernel restrictedToken(restricted);
    HANDLE impersonation = nullptr;
    ASSERT_TRUE(DuplicateToken(restrictedToken.get(), SecurityImpersonation, &impersonation));
    const cw::unique_kernel token(impersonation);

    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    struct Ask {
        const char* name;
        DWORD access;
        bool granted;
    };
    // WRITE_DAC for the owner is taken away by the OWNER RIGHTS entry on Windows;
    // Wine's access check does not know that entry, so it is checked above.
    const Ask asks[] = {
        {"read", GENERIC_READ, true},
        {"execute", GENERIC_EXECUTE, true},
        {"delete", DELETE, true},
        {"write", GENERIC_WRITE, false},
        {"write data", FILE_WRITE_DATA, false},
        {"append", FILE_APPEND_DATA, false},
        {"write attributes", FILE_WRITE_ATTRIBUTES, false},
        {"write extended attributes", FILE_WRITE_EA, false},
    };
    for (const Ask& ask : asks) {
        SCOPED_TRACE(ask.name);
        DWORD access = ask.access;
        MapGenericMask(&access, &mapping);
        PRIVILEGE_SET privileges = {};
        DWORD privilegesSize = sizeof(privileges);
        DWORD granted = 0;
        BOOL status = FALSE;
        ASSERT_TRUE(AccessCheck(&file, token.get(), access, &mapping, &privileges, &privilegesSize, &granted, &status));
        EXPECT_EQ(ask.granted, status != FALSE);
    }
}

TEST_F(FetchrunProgram, TheEmptyFileLeftUnderTheNameIsNeverWrittenInto) {
    // What another process may have done to the empty file GetTempFileNameW made
    // before the download began: a writable view, its handle closed since.
    const std::vector<std::uint8_t> placeholder(4096, 'p');
    ASSERT_TRUE(test_support::WriteBytes(downloaded_, placeholder.data(), placeholder.size()));
    void* view = nullptr;
    {
        const cw::unique_file handle(CreateFileW(downloaded_.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(handle);
        const cw::unique_kernel mapping(CreateFileMappingW(handle.get(), nullptr, PAGE_READWRITE, 0, 0, nullptr));
        ASSERT_TRUE(mapping);
        view = MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0);
        ASSERT_NE(nullptr, view);
    }
    {
        // A mapped file keeps its name under Wine, and the creation of a new one
        // fails; where the name goes, the new file is one no view reaches.
        ProgramFile file;
        const bool created = file.Create(downloaded_);
        if (created) {
            ASSERT_TRUE(WriteAll(file, signed_));
            file.Close();
            static_cast<BYTE*>(view)[0] = 'X';
            FlushViewOfFile(view, 0);
            EXPECT_EQ(signed_, ReadBytes(downloaded_));
        } else {
            EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());
        }
    }
    UnmapViewOfFile(view);
    DeleteFileW(downloaded_.c_str());

    // A handle still open on it keeps the name: the download fails, nothing is reused.
    ASSERT_TRUE(test_support::WriteBytes(downloaded_, placeholder.data(), placeholder.size()));
    const cw::unique_file kept(CreateFileW(downloaded_.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(kept);
    ProgramFile refused;
    EXPECT_FALSE(refused.Create(downloaded_));
    EXPECT_EQ(placeholder, ReadBytes(downloaded_));
}

TEST_F(FetchrunProgram, RenameReplacesAnEarlierProgramButNotOneInUse) {
    ProgramFile file;
    ASSERT_TRUE(file.Create(downloaded_));
    ASSERT_TRUE(WriteAll(file, signed_));
    // An earlier run's program still running from the ".exe" name.
    ASSERT_TRUE(CopyFileW(other_.c_str(), named_.c_str(), FALSE));
    {
        const cw::unique_file running(CreateFileW(named_.c_str(), GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ,
                                                  nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(running);
        EXPECT_FALSE(file.Rename(named_));
    }
    EXPECT_EQ(ReadBytes(other_), ReadBytes(named_));
    // One that has ended is replaced.
    ASSERT_TRUE(file.Rename(named_));
    file.Close();
    EXPECT_EQ(signed_, ReadBytes(named_));
}

TEST_F(FetchrunProgram, AnUnfinishedProgramLeavesNothing) {
    {
        ProgramFile file;
        ASSERT_TRUE(file.Create(downloaded_));
        ASSERT_TRUE(WriteAll(file, signed_));
    }
    EXPECT_FALSE(FileExists(downloaded_));
    ProgramFile file;
    ASSERT_TRUE(file.Create(downloaded_));
    ASSERT_TRUE(file.Rename(named_));
    file.Discard();
    EXPECT_FALSE(FileExists(named_));
}

TEST_F(FetchrunProgram, OnlyTheFileThatWasWrittenIsHeld) {
    ProgramFile file;
    WriteProgram(file);
    VerifiedFileLock program;
    ASSERT_TRUE(HoldProgram(named_, file.Identity(), program).ok());
    EXPECT_TRUE(program.IsHeld());
    EXPECT_EQ(named_, program.Path());
    program.Release();

    struct Row {
        const char* name;
        bool replace;  // renamed away and another file put under the name
        DWORD otherAccess;  // or a handle open with this access; 0: none
        std::uint32_t code;
    };
    const Row rows[] = {
        {"replaced under its name", true, 0, ERROR_FILE_INVALID},
        {"open to write", false, GENERIC_WRITE, ERROR_SHARING_VIOLATION},
        {"open to delete", false, DELETE, ERROR_SHARING_VIOLATION},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::wstring away = scratch_.File(L"away.exe");
        if (row.replace) {
            ASSERT_TRUE(MoveFileW(named_.c_str(), away.c_str()));
            ASSERT_TRUE(CopyFileW(other_.c_str(), named_.c_str(), FALSE));
        }
        HANDLE other = row.otherAccess
                           ? CreateFileW(named_.c_str(), row.otherAccess, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr)
                           : INVALID_HANDLE_VALUE;
        const TransferResult result = HoldProgram(named_, file.Identity(), program);
        EXPECT_EQ(TransferFailure::Rename, result.failure) << Describe(result);
        EXPECT_EQ(row.code, result.code);
        EXPECT_FALSE(program.IsHeld());
        if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
        if (row.replace) {
            ASSERT_TRUE(MoveFileExW(away.c_str(), named_.c_str(), MOVEFILE_REPLACE_EXISTING));
        }
    }
}

TEST_F(FetchrunProgram, HeldUnderItsExeNameAgainstEveryChange) {
    ProgramFile file;
    WriteProgram(file);
    VerifiedFileLock program;
    ASSERT_TRUE(HoldProgram(named_, file.Identity(), program).ok());

    EXPECT_FALSE(Opens(named_, GENERIC_WRITE, kShareAll));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_FALSE(Opens(named_, FILE_APPEND_DATA, kShareAll));
    EXPECT_FALSE(Opens(named_, GENERIC_WRITE, kShareAll, CREATE_ALWAYS));
    EXPECT_FALSE(Opens(named_, DELETE, kShareAll));
    EXPECT_FALSE(DeleteFileW(named_.c_str()));
    EXPECT_FALSE(MoveFileW(named_.c_str(), scratch_.File(L"moved.exe").c_str()));
    EXPECT_FALSE(MoveFileExW(other_.c_str(), named_.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(CopyFileW(other_.c_str(), named_.c_str(), FALSE));
    EXPECT_FALSE(ReplaceFileW(named_.c_str(), other_.c_str(), nullptr, 0, nullptr, nullptr));
    // A reader cannot map it writable either.
    {
        const cw::unique_file reader(CreateFileW(named_.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(reader);
        const cw::unique_kernel mapping(CreateFileMappingW(reader.get(), nullptr, PAGE_READWRITE, 0, 0, nullptr));
        EXPECT_FALSE(mapping);
    }
    // What the shell and the loader ask for still works.
    EXPECT_TRUE(Opens(named_, GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ | FILE_SHARE_DELETE));
    EXPECT_EQ(signed_, ReadBytes(named_));
    EXPECT_FALSE(FileExists(scratch_.File(L"moved.exe")));

    // Moves with its owner, as from the worker to the dialog.
    VerifiedFileLock taken = std::move(program);
    EXPECT_TRUE(taken.IsHeld());
    EXPECT_FALSE(DeleteFileW(named_.c_str()));
    taken.Release();
    EXPECT_TRUE(DeleteFileW(named_.c_str()));
}

TEST_F(FetchrunProgram, HashAndPublisherAreJudged) {
    ProgramFile file;
    WriteProgram(file);
    std::vector<BYTE> digest;
    ASSERT_TRUE(file.Digest(digest));
    const std::wstring published = HashToText(digest.data(), digest.size());
    ASSERT_EQ(64u, published.size());
    std::wstring lower = published;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
    std::wstring wrong = published;
    wrong[0] = wrong[0] == L'0' ? L'1' : L'0';

    struct Row {
        const char* name;
        std::vector<BYTE> digest;
        std::wstring hash;
        TransferFailure failure;
    };
    const Row rows[] = {
        {"published", digest, published, TransferFailure::None},
        {"lower case", digest, lower, TransferFailure::None},
        {"none published", digest, L"", TransferFailure::Hash},
        {"another", digest, wrong, TransferFailure::Hash},
        {"cut", digest, published.substr(0, 63), TransferFailure::Hash},
        {"no digest", {}, published, TransferFailure::Hash},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.failure, CheckProgramHash(row.digest, row.hash).failure);
    }

    // Only the update publisher's trusted signature passes.
    struct Signed {
        const wchar_t* copy;
        const char* line;
    };
    const Signed copies[] = {
        {L"signed\\recorder.exe", ""},
        {L"recorder.exe", "CThreadDL - error: WinVerifyTrust return 0x800B0100."},
        {L"signed\\recorder-other.exe", "CThreadDL - error: WinVerifyTrust return 0x800B0004."},
    };
    for (const Signed& copy : copies) {
        SCOPED_TRACE(test_support::Narrow(copy.copy));
        const std::wstring candidate = scratch_.File(L"tpf2.tmp.exe");
        ASSERT_TRUE(CopyFileW((TestBin() + L"\\" + copy.copy).c_str(), candidate.c_str(), FALSE));
        VerifiedFileLock held;
        ASSERT_TRUE(held.Hold(candidate));
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
        std::uint64_t received;
        std::uint64_t limit;
        const wchar_t* line;
        std::uint32_t resultCode;
    };
    const Row rows[] = {
        {TransferFailure::UrlOrPath, 0, 0, 0, L"CThreadDL - error: URL or Path invalid", 102},
        {TransferFailure::Interrupted, 0, 0, 0, L"CThreadDL - thread interruped.", 102},
        {TransferFailure::CreateTarget, 3, 0, 0, L"CThreadDL - error: CreateFile (0x00000003)", 102},
        {TransferFailure::OpenSession, 0x2EE7, 0, 0, L"CThreadDL - error: InternetOpen (0x00002EE7)", 102},
        {TransferFailure::OpenUrl, 0x2EFD, 0, 0, L"CThreadDL - error: InternetOpenUrl (0x00002EFD)", 102},
        {TransferFailure::ReadBody, 0x2EE2, 0, 0, L"CThreadDL - error: InternetReadFile (0x00002EE2)", 102},
        {TransferFailure::WriteTarget, 112, 0, 0, L"CThreadDL - error: WriteFile (0x00000070)", 102},
        {TransferFailure::Hash, 0, 0, 0, L"CThreadDL - error: Hash invalid", 102},
        {TransferFailure::Rename, 32, 0, 0, L"rename failed.", 114},
        {TransferFailure::Trust, 0x800B0004, 0, 0, L"CThreadDL - error: WinVerifyTrust return 0x800B0004.", 102},
        {TransferFailure::NoResponse, 60, 0, 0, L"CThreadDL - error: no response within 60 s", 102},
        {TransferFailure::Stalled, 60, 64, 0, L"CThreadDL - error: no data for 60 s (64 bytes received)", 102},
        {TransferFailure::Deadline, 120, 5368709120u, 0,
         L"CThreadDL - error: not complete within 120 s (5368709120 bytes received)", 102},
        {TransferFailure::TooSlow, 120, 3, 0, L"CThreadDL - error: too slow (3 bytes in 120 s)", 102},
        {TransferFailure::TooLarge, 0, 0, 268435456, L"CThreadDL - error: larger than 268435456 bytes", 102},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.failure));
        TransferResult result = TransferFailed(row.failure, row.code);
        result.received = row.received;
        result.limit = row.limit;
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
