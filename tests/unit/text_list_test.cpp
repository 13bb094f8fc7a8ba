#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text_list.h"

using cw::LineList;
using cw::Pair;
using cw::PairList;

namespace {

// UTF-16LE bytes of `text`, optionally preceded by a byte order mark.
std::vector<unsigned char> Utf16(const std::wstring& text, bool bom = false) {
    std::vector<unsigned char> bytes;
    if (bom) bytes.insert(bytes.end(), {0xFF, 0xFE});
    for (wchar_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    }
    return bytes;
}

LineList Lines(const std::vector<unsigned char>& b) { return cw::ParseLineList(b.data(), b.size()); }
PairList Pairs(const std::vector<unsigned char>& b) { return cw::ParsePairList(b.data(), b.size()); }

}  // namespace

TEST(LineList, EveryLineEndFormGivesTheSameList) {
    const LineList expected{L"NRV-A1", L"NRV-B2"};
    EXPECT_EQ(Lines(Utf16(L"NRV-A1\r\nNRV-B2\r\n", true)), expected);
    EXPECT_EQ(Lines(Utf16(L"NRV-A1\rNRV-B2\r")), expected);
    EXPECT_EQ(Lines(Utf16(L"NRV-A1\nNRV-B2\n")), expected);
    EXPECT_EQ(Lines(Utf16(L"\r\n\r\nNRV-A1\n\n\nNRV-B2\r\n\r\n")), expected);
}

TEST(LineList, TextAfterTheLastLineEndIsNotAnEntry) {
    EXPECT_EQ(Lines(Utf16(L"one\r\ntwo")), (LineList{L"one"}));
    EXPECT_TRUE(Lines(Utf16(L"lonely")).empty());
}

TEST(LineList, EntriesKeepBlanksTabsCaseDuplicatesAndOrder) {
    EXPECT_EQ(Lines(Utf16(L" lead\ntrail \na\tb\nx\nX\nx\n")),
              (LineList{L" lead", L"trail ", L"a\tb", L"x", L"X", L"x"}));
}

TEST(LineList, ByteOrderMarkIsSkippedOnlyAtTheStart) {
    EXPECT_EQ(Lines(Utf16(L"\xFEFF" L"a\n\xFEFF" L"b\n")), (LineList{L"a", L"\xFEFF" L"b"}));
}

TEST(LineList, EmptyNullAndOddSizedResources) {
    EXPECT_TRUE(cw::ParseLineList(nullptr, 0).empty());
    EXPECT_TRUE(cw::ParseLineList(nullptr, 12).empty());
    auto bytes = Utf16(L"ab\n");
    EXPECT_TRUE(cw::ParseLineList(bytes.data(), 0).empty());
    bytes.push_back(0x41);  // a stray odd byte is ignored
    EXPECT_EQ(Lines(bytes), (LineList{L"ab"}));
    EXPECT_TRUE(Lines(std::vector<unsigned char>{0x0A}).empty());
}

TEST(PairList, SplitsAtTheFirstTabOnly) {
    EXPECT_EQ(Pairs(Utf16(L"k\tv\r\nk2\tv\t2\r\n", true)),
              (PairList{Pair{L"k", L"v"}, Pair{L"k2", L"v\t2"}}));
}

TEST(PairList, EmptyKeyOrValueIsKeptAndLinesWithoutTabAreDropped) {
    EXPECT_EQ(Pairs(Utf16(L"0x00000001\t\n\tonly value\nno tab here\n\t\n")),
              (PairList{Pair{L"0x00000001", L""}, Pair{L"", L"only value"}, Pair{L"", L""}}));
}

TEST(PairList, NonAsciiTextSurvives) {
    EXPECT_EQ(Pairs(Utf16(L"\x30D0\x30C3\x30C6\x30EA\t\x00E9t\xE9\n")),
              (PairList{Pair{L"\x30D0\x30C3\x30C6\x30EA", L"\x00E9t\xE9"}}));
}
