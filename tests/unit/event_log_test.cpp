#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "cellwise/identify/battery_query.h"
#include "cellwise/report/event_log.h"
#include "tests/support/test_files.h"

namespace {

// Drops the time stamps ("yyyy/mm/dd hh:mm:ss.mmm") so records compare exactly.
std::wstring WithoutTimes(std::wstring text) {
    for (std::size_t at = text.find(L"---\r\n"); at != std::wstring::npos; at = text.find(L"---\r\n", at + 1)) {
        text.replace(at + 5, 23, L"T");
    }
    return text;
}

}  // namespace

TEST(EventRecord, HasTheExactLayout) {
    const cw::TimeStamp t{2024, 5, 1, 9, 3, 7, 42};
    EXPECT_EQ(cw::FormatEventRecord(t, 3, 1, L"result=0"),
              L"---\r\n2024/05/01 09:03:07.042, INFORMATION, id=1\r\nresult=0\r\n");
    EXPECT_EQ(cw::FormatEventRecord(t, 1, -10, L"a\r\n"), L"---\r\n2024/05/01 09:03:07.042, ERROR, id=-10\r\na\r\n\r\n");
    EXPECT_EQ(cw::FormatEventRecord(t, 7, 2, L""), L"---\r\n2024/05/01 09:03:07.042, , id=2\r\n\r\n");
}

TEST(EventRecord, KindWords) {
    EXPECT_STREQ(cw::EventKindWord(0), L"SUCCESS");
    EXPECT_STREQ(cw::EventKindWord(1), L"ERROR");
    EXPECT_STREQ(cw::EventKindWord(2), L"WARNING");
    EXPECT_STREQ(cw::EventKindWord(3), L"INFORMATION");
    EXPECT_STREQ(cw::EventKindWord(4), L"");
    EXPECT_STREQ(cw::EventKindWord(-1), L"");
}

TEST(EventRecord, FormatsWideAndNarrowStringsAndKeepsPercentInArguments) {
    EXPECT_EQ(cw::FormatText(L"%s|%S|%u|%d", L"wide", "narrow", 113u, -4), L"wide|narrow|113|-4");
    EXPECT_EQ(cw::FormatText(L"%s", L"100% sure"), L"100% sure");
    EXPECT_EQ(cw::FormatText(L"%s", std::wstring(5000, L'x').c_str()).size(), 5000u);
}

TEST(EventLogFile, OpenRewritesTheByteOrderMarkAndAppends) {
    const test_support::ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    const std::wstring path = dir.File(L"cw_eventlog_test.log");
    ASSERT_TRUE(test_support::WriteBytes(path, "ABold content\r\n"));
    ASSERT_TRUE(cw::EventLog::Instance().Open(path.c_str()));
    cw::EventLog::Instance().Write(cw::EventKind::Error, 10, L"%s", L"Failed to call IOCTL_BATTERY_QUERY_TAG");
    cw::EventLog::Instance().Write(static_cast<cw::EventKind>(9), 20, L"n=%d", 5);
    ASSERT_TRUE(cw::EventLog::Instance().Open(path.c_str()));  // a second open appends again

    const auto bytes = test_support::ReadBytes(path);
    ASSERT_GE(bytes.size(), 15u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
    EXPECT_EQ(std::string(bytes.begin() + 2, bytes.begin() + 15), "old content\r\n");
    EXPECT_EQ(WithoutTimes(test_support::Utf16Text(bytes, 15)),
              L"---\r\nT, ERROR, id=10\r\nFailed to call IOCTL_BATTERY_QUERY_TAG\r\n"
              L"---\r\nT, , id=20\r\nn=5\r\n");
    // Reopening lets go of the file first, so the scratch folder can be removed.
    EXPECT_FALSE(cw::EventLog::Instance().Open(L"Z:\\no\\such\\folder\\x.log"));
}

TEST(EventLogFile, OpenFailsOnAnUnusablePath) {
    EXPECT_FALSE(cw::EventLog::Instance().Open(L"Z:\\no\\such\\folder\\x.log"));
}

TEST(BatteryReply, TextEndsAtTheReturnedLengthOrTheFirstNul) {
    wchar_t buffer[8] = {L'A', L'B', L'C', L'D', L'E', L'F', L'G', L'H'};
    EXPECT_EQ(cw::ReplyText(buffer, 8, 6), L"ABC");      // not NUL-terminated
    EXPECT_EQ(cw::ReplyText(buffer, 8, 0), L"");
    EXPECT_EQ(cw::ReplyText(buffer, 8, 7), L"ABC");      // odd byte count
    EXPECT_EQ(cw::ReplyText(buffer, 8, 400), L"ABCDEFG");  // never past the buffer
    buffer[1] = L'\0';
    EXPECT_EQ(cw::ReplyText(buffer, 8, 8), L"A");
}

TEST(BatteryReply, SerialUsability) {
    EXPECT_TRUE(cw::IsUsableSerial(L"1234 "));
    EXPECT_FALSE(cw::IsUsableSerial(L" 1234"));
    EXPECT_FALSE(cw::IsUsableSerial(L"\t1234"));
    EXPECT_FALSE(cw::IsUsableSerial(L""));
}
