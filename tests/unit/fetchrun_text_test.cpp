// Fetchrun's pure text and byte logic: log line formats and lock name, hash text,
// settings value decoding, the announced body length, the log line of a download.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fetchrun/transfer/body_length.h"
#include "fetchrun/transfer/hash_text.h"
#include "fetchrun/transfer/ini_values.h"
#include "fetchrun/transfer/log_format.h"

namespace {

using namespace fetchrun;

LogTime Time(int year, int month, int day, int hour, int minute, int second) {
    LogTime t;
    t.year = static_cast<std::uint16_t>(year);
    t.month = static_cast<std::uint16_t>(month);
    t.day = static_cast<std::uint16_t>(day);
    t.hour = static_cast<std::uint16_t>(hour);
    t.minute = static_cast<std::uint16_t>(minute);
    t.second = static_cast<std::uint16_t>(second);
    return t;
}

std::vector<std::uint8_t> Utf16Le(const std::wstring& text) {
    std::vector<std::uint8_t> bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    return bytes;
}

TEST(FetchrunLogFormat, BannerAndPrefixArePaddedAsTheFormatsSay) {
    EXPECT_EQ(L"********** Fetchrun - 2024/03/05 - 07:08:09 **********",
              FormatLogBanner(kLogProgramName, Time(2024, 3, 5, 7, 8, 9)));
    EXPECT_EQ(L"2024/12/31 23:59:00 - ", FormatLogPrefix(Time(2024, 12, 31, 23, 59, 0)));
    // Widths are minimums, as with %04d: a five-digit year is not cut.
    EXPECT_EQ(L"10000/01/01 00:00:00 - ", FormatLogPrefix(Time(10000, 1, 1, 0, 0, 0)));
}

TEST(FetchrunLogFormat, BannerIsCutTo255Characters) {
    const std::wstring longName(400, L'n');
    const std::wstring banner = FormatLogBanner(longName.c_str(), Time(2024, 1, 2, 3, 4, 5));
    EXPECT_EQ(kLogBannerMax, banner.size());
    EXPECT_EQ(L"********** nnn", banner.substr(0, 14));
    EXPECT_EQ(L"abc", CutText(L"abcdef", 3));
    EXPECT_EQ(L"ab", CutText(L"ab", 3));
}

TEST(FetchrunLogFormat, LockNameIsPathDerivedAndFreeOfBackslashes) {
    // Three characters cut, ".LOG" appended: "Fetchrun..LOG" with two dots.
    EXPECT_EQ(L"C:/Program Files/Tool/Fetchrun..LOG-937F0861-CF89-48eb-9997-8D80Eq1470F9",
              LogLockName(L"C:\\Program Files\\Tool\\Fetchrun.exe"));
    // Two copies of the program in different folders do not share a lock.
    EXPECT_NE(LogLockName(L"C:\\a\\Fetchrun.exe"), LogLockName(L"C:\\b\\Fetchrun.exe"));
    EXPECT_EQ(std::wstring::npos, LogLockName(L"\\\\server\\share\\Fetchrun.exe").find(L'\\'));
    EXPECT_EQ(L".LOG-937F0861-CF89-48eb-9997-8D80Eq1470F9", LogLockName(L"abc"));
}

TEST(FetchrunHashText, FormatsUpperCaseHexInProviderOrder) {
    const std::uint8_t bytes[] = {0x00, 0x0F, 0xA0, 0xFF, 0x5c};
    EXPECT_EQ(L"000FA0FF5C", HashToText(bytes, sizeof(bytes)));
    EXPECT_EQ(L"", HashToText(bytes, 0));
}

TEST(FetchrunHashText, ComparisonIgnoresCaseButNothingElse) {
    EXPECT_TRUE(HashTextsMatch(L"00ffaa", L"00FFAA"));
    EXPECT_TRUE(HashTextsMatch(L"00FFAA", L"00FFAA"));
    EXPECT_FALSE(HashTextsMatch(L"00FFAB", L"00FFAA"));
    EXPECT_FALSE(HashTextsMatch(L"00FFAA0", L"00FFAA"));   // a longer text is no prefix match
    EXPECT_FALSE(HashTextsMatch(L"00FFA", L"00FFAA"));
    EXPECT_FALSE(HashTextsMatch(L" 00FFAA", L"00FFAA"));
    // A missing computed hash never matches, not even an empty expectation.
    EXPECT_FALSE(HashTextsMatch(L"", L""));
    EXPECT_FALSE(HashTextsMatch(L"00FFAA", L""));
}

TEST(FetchrunIniValues, LeadingDecimalTakesTheNumberBeforeAnyOtherText) {
    EXPECT_EQ(123, LeadingDecimal(L"123abc"));
    EXPECT_EQ(-5, LeadingDecimal(L"  -5"));
    EXPECT_EQ(7, LeadingDecimal(L"+7"));
    EXPECT_EQ(0, LeadingDecimal(L"abc"));
    EXPECT_EQ(0, LeadingDecimal(L""));
    EXPECT_EQ(0, LeadingDecimal(L"0x1F"));  // hex is the platform conversion's job
    EXPECT_EQ(-1, LeadingDecimal(L"4294967295"));  // 32 bits, wrapped like the key
}

TEST(FetchrunIniValues, ScrambledCountIsLengthXorKeyWithinTheBound) {
    std::uint32_t count = 99;
    EXPECT_TRUE(ScrambledByteCount(0x12345678u ^ 40u, 0x12345678u, &count));
    EXPECT_EQ(40u, count);
    EXPECT_TRUE(ScrambledByteCount(40, 0, &count));  // key 0: the entry is the plain count
    EXPECT_EQ(40u, count);
    // Entry equal to the key: an empty value.
    EXPECT_FALSE(ScrambledByteCount(0x1234u, 0x1234u, &count));
    EXPECT_EQ(0u, count);
    // A count nobody would publish is refused rather than allocated.
    EXPECT_TRUE(ScrambledByteCount(kMaxScrambledBytes, 0, &count));
    EXPECT_FALSE(ScrambledByteCount(kMaxScrambledBytes + 1, 0, &count));
    EXPECT_FALSE(ScrambledByteCount(0xFFFFFFFFu, 0x1u, &count));
    EXPECT_EQ(0u, count);
}

TEST(FetchrunIniValues, UnscrambleUsesKeyBytesMostSignificantFirst) {
    std::vector<std::uint8_t> bytes = {0x00, 0x00, 0x00, 0x00, 0x00, 0xFF};
    Unscramble(bytes, 0x11223344u);
    EXPECT_EQ((std::vector<std::uint8_t>{0x11, 0x22, 0x33, 0x44, 0x11, 0xDD}), bytes);

    const std::vector<std::uint8_t> plain = Utf16Le(L"http://host/p.exe");
    std::vector<std::uint8_t> round = plain;
    Unscramble(round, 0xA5C30F01u);
    EXPECT_NE(plain, round);
    Unscramble(round, 0xA5C30F01u);
    EXPECT_EQ(plain, round);

    std::vector<std::uint8_t> unchanged = plain;
    Unscramble(unchanged, 0);
    EXPECT_EQ(plain, unchanged);
}

TEST(FetchrunIniValues, Utf16TextEndsAtNulOrEndAndDropsAnOddByte) {
    std::vector<std::uint8_t> bytes = Utf16Le(L"ab\u00e9\u3042");
    EXPECT_EQ(L"ab\u00e9\u3042", TextFromUtf16Le(bytes.data(), bytes.size()));
    bytes.push_back('x');  // half a character
    EXPECT_EQ(L"ab\u00e9\u3042", TextFromUtf16Le(bytes.data(), bytes.size()));

    std::vector<std::uint8_t> withNul = Utf16Le(std::wstring(L"ab\0cd", 5));
    EXPECT_EQ(L"ab", TextFromUtf16Le(withNul.data(), withNul.size()));
    EXPECT_EQ(L"", TextFromUtf16Le(withNul.data(), 1));
    EXPECT_EQ(L"", TextFromUtf16Le(nullptr, 0));
}

TEST(FetchrunBodyLength, ContentLengthIsDecimalDigitsOnly) {
    std::uint64_t length = 1;
    EXPECT_TRUE(ParseContentLength(L"0", &length));
    EXPECT_EQ(0u, length);
    EXPECT_TRUE(ParseContentLength(L" 209715200 ", &length));
    EXPECT_EQ(209715200u, length);
    EXPECT_TRUE(ParseContentLength(L"18446744073709551615", &length));
    EXPECT_EQ(UINT64_MAX, length);

    length = 7;
    EXPECT_FALSE(ParseContentLength(L"18446744073709551616", &length));
    EXPECT_FALSE(ParseContentLength(L"", &length));
    EXPECT_FALSE(ParseContentLength(L"  ", &length));
    EXPECT_FALSE(ParseContentLength(L"-1", &length));
    EXPECT_FALSE(ParseContentLength(L"12a", &length));
    EXPECT_FALSE(ParseContentLength(L"0x10", &length));
    EXPECT_FALSE(ParseContentLength(L"1 2", &length));
    EXPECT_EQ(7u, length);
}

}  // namespace
