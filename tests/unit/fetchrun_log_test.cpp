// Fetchrun's log against real files (byte order mark, appending, line formats and
// cuts) and its cross-process line lock.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "fetchrun/transfer/fetchrun_log.h"
#include "tests/support/test_files.h"
#include "fetchrun/transfer/log_format.h"

namespace {

using namespace fetchrun;
using test_support::ScratchDir;

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(text.size(), start) << "text after the last CR LF";
    return lines;
}

const std::wregex kBanner(L"\\*{10} Fetchrun - \\d{4}/\\d{2}/\\d{2} - \\d{2}:\\d{2}:\\d{2} \\*{10}");
const std::wregex kEvent(L"\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2} - (.*)");

std::wstring EventText(const std::wstring& line) {
    std::wsmatch match;
    return std::regex_match(line, match, kEvent) ? match[1].str() : L"<not an event line: " + line + L">";
}

class FetchrunLog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.ok());
        CloseLog();
    }
    void TearDown() override { CloseLog(); }
    ScratchDir dir_;
};

TEST_F(FetchrunLog, ClosedLogIgnoresEveryCall) {
    EXPECT_FALSE(IsLogOpen());
    LogHeader();
    LogLine(L"nothing");
    LogFormat(L"%s", L"nothing");
    EXPECT_FALSE(OpenLog(L""));
    EXPECT_FALSE(OpenLog(nullptr));
    EXPECT_FALSE(IsLogOpen());
    // A folder that does not exist: silently no log.
    EXPECT_FALSE(OpenLog(dir_.File(L"missing\\Fetchrun.log").c_str()));
    EXPECT_FALSE(IsLogOpen());
}

TEST_F(FetchrunLog, NewLogHasOneByteOrderMarkAndCrLfLines) {
    const std::wstring path = dir_.File(L"Fetchrun.log");
    ASSERT_TRUE(OpenLog(path.c_str()));
    LogHeader();
    LogLine(L"LOG mode (x).");
    LogFormat(L"Type      : %s.", L"T\u00e9st");
    LogFormat(L"return 0x%08X.", 0x66u);
    LogLine(nullptr);
    CloseLog();

    const std::vector<std::uint8_t> bytes = test_support::ReadBytes(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(0xFF, bytes[0]);
    EXPECT_EQ(0xFE, bytes[1]);
    const std::wstring text = test_support::ReadUtf16File(path);
    const std::vector<std::wstring> lines = Lines(text.substr(1));
    ASSERT_EQ(5u, lines.size());
    EXPECT_TRUE(std::regex_match(lines[0], kBanner)) << test_support::Narrow(lines[0]);
    EXPECT_EQ(L"LOG mode (x).", EventText(lines[1]));
    EXPECT_EQ(L"Type      : T\u00e9st.", EventText(lines[2]));
    EXPECT_EQ(L"return 0x00000066.", EventText(lines[3]));
    EXPECT_EQ(L"", EventText(lines[4]));
}

TEST_F(FetchrunLog, ExistingLogIsAppendedWithoutASecondMark) {
    const std::wstring path = dir_.File(L"Fetchrun.log");
    ASSERT_TRUE(test_support::WriteUtf16File(path, L"older run\r\n"));
    ASSERT_TRUE(OpenLog(path.c_str()));
    LogLine(L"newer run");
    CloseLog();
    const std::wstring text = test_support::ReadUtf16File(path);
    ASSERT_EQ(0, text.compare(0, 12, L"\xFEFFolder run\r\n"));
    EXPECT_EQ(std::wstring::npos, text.find(L'\xFEFF', 1));
    EXPECT_EQ(L"newer run", EventText(Lines(text.substr(1)).back()));
}

TEST_F(FetchrunLog, EmptyExistingFileGetsTheMark) {
    const std::wstring path = dir_.File(L"empty.log");
    ASSERT_TRUE(test_support::WriteBytes(path, nullptr, 0));
    ASSERT_TRUE(OpenLog(path.c_str()));
    LogLine(L"x");
    CloseLog();
    const std::wstring text = test_support::ReadUtf16File(path);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(L'\xFEFF', text[0]);
    EXPECT_EQ(L"x", EventText(Lines(text.substr(1)).at(0)));
}

TEST_F(FetchrunLog, SecondOpenKeepsTheFirstFile) {
    const std::wstring first = dir_.File(L"first.log");
    const std::wstring second = dir_.File(L"second.log");
    ASSERT_TRUE(OpenLog(first.c_str()));
    EXPECT_TRUE(OpenLog(second.c_str()));  // a log is open: nothing changes
    LogHeader();
    LogLine(L"to the first");
    CloseLog();
    EXPECT_FALSE(test_support::FileExists(second));
    const std::vector<std::wstring> lines = Lines(test_support::ReadUtf16File(first).substr(1));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(L"to the first", EventText(lines[1]));
}

TEST_F(FetchrunLog, FormattedLineIsCutTo1999Characters) {
    const std::wstring path = dir_.File(L"cut.log");
    ASSERT_TRUE(OpenLog(path.c_str()));
    const std::wstring huge(3000, L'w');
    LogFormat(L"%s", huge.c_str());
    LogFormat(L"%s", std::wstring(1999, L'e').c_str());  // exactly fits
    LogFormat(L"a%s", std::wstring(1999, L'e').c_str());
    CloseLog();
    const std::vector<std::wstring> lines = Lines(test_support::ReadUtf16File(path).substr(1));
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(std::wstring(1999, L'w'), EventText(lines[0]));
    EXPECT_EQ(std::wstring(1999, L'e'), EventText(lines[1]));
    EXPECT_EQ(L"a" + std::wstring(1998, L'e'), EventText(lines[2]));
}

// The lock of this executable can really be held: its name is accepted by the
// object namespace, and a holder keeps others waiting.
TEST(FetchrunLogLock, OwnLockIsHeldAndReleased) {
    wchar_t self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const std::wstring name = LogLockName(self);

    CLogOutCollision lock;
    ASSERT_TRUE(lock.Lock());
    EXPECT_TRUE(lock.IsHeld());
    cw::unique_kernel other(OpenSemaphoreW(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE, FALSE, name.c_str()));
    ASSERT_TRUE(other) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(other.get(), 0));
    lock.Unlock();
    EXPECT_FALSE(lock.IsHeld());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(other.get(), 0));
    ReleaseSemaphore(other.get(), 1, nullptr);
}

struct Holder {
    const wchar_t* name;
    HANDLE taken;
};

DWORD WINAPI HoldLockFor700Ms(void* parameter) {
    Holder* holder = static_cast<Holder*>(parameter);
    CLogOutCollision lock;
    if (!lock.Lock(holder->name)) return 1;
    SetEvent(holder->taken);
    Sleep(700);
    return 0;  // the destructor lets go
}

TEST(FetchrunLogLock, WaiterGetsTheLockWhenTheHolderLetsGo) {
    const wchar_t* name = L"fetchrun-test-lock-{8E1F2C44-5B7A-4C61-9A0D-3E2F1B6C7D80}";
    Holder holder = {name, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    cw::unique_kernel taken(holder.taken);
    cw::unique_kernel thread(CreateThread(nullptr, 0, &HoldLockFor700Ms, &holder, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(taken.get(), 5000));

    const DWORD before = GetTickCount();
    CLogOutCollision lock;
    EXPECT_TRUE(lock.Lock(name));
    const DWORD waited = GetTickCount() - before;
    EXPECT_GE(waited, 400u);
    EXPECT_LT(waited, 5000u);
    WaitForSingleObject(thread.get(), INFINITE);
    DWORD code = 99;
    GetExitCodeThread(thread.get(), &code);
    EXPECT_EQ(0u, code);
}

TEST(FetchrunLogLock, NamesTheNamespaceRefusesAreNotHeld) {
    CLogOutCollision lock;
    // A backslash outside a namespace prefix is a missing directory.
    EXPECT_FALSE(lock.Lock(L"no\\such\\directory"));
    EXPECT_FALSE(lock.IsHeld());
    EXPECT_FALSE(lock.Lock(L""));
    EXPECT_FALSE(lock.Lock(nullptr));
}

}  // namespace
