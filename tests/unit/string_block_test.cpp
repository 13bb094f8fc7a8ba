// String table blocks read from their bytes (common/string_block.h); what
// LoadStringW gives for the same resources is compared in
// system_equivalence_test.cpp.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/string_block.h"

namespace {

// A block of counted UTF-16LE strings, as many as given (a full block has 16).
std::vector<std::uint8_t> Block(const std::vector<std::wstring>& entries) {
    std::vector<std::uint8_t> bytes;
    auto put16 = [&bytes](unsigned v) {
        bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    for (const std::wstring& text : entries) {
        put16(static_cast<unsigned>(text.size()));
        for (wchar_t c : text) put16(static_cast<unsigned>(c));
    }
    return bytes;
}

std::wstring Entry(const std::vector<std::uint8_t>& block, unsigned entry) {
    return cw::StringBlockEntry(block.data(), block.size(), entry);
}

}  // namespace

TEST(StringBlock, IdsMapToBlockAndEntry) {
    EXPECT_EQ(cw::StringBlockOf(131), 9u);
    EXPECT_EQ(cw::StringEntryOf(131), 3u);
    EXPECT_EQ(cw::StringBlockOf(15), 1u);
    EXPECT_EQ(cw::StringBlockOf(16), 2u);
    EXPECT_EQ(cw::StringEntryOf(16), 0u);
}

TEST(StringBlock, EntriesRows) {
    std::vector<std::wstring> full(16);
    full[0] = L"first";
    full[3] = L"NORVANE Battery Check Tool";
    full[15] = L"\x30C4\x30FC\x30EB";
    const auto block = Block(full);
    EXPECT_EQ(Entry(block, 0), L"first");
    EXPECT_EQ(Entry(block, 3), L"NORVANE Battery Check Tool");
    EXPECT_EQ(Entry(block, 15), L"\x30C4\x30FC\x30EB");
    EXPECT_EQ(Entry(block, 4), L"");  // an empty entry is a missing string
}

TEST(StringBlock, ShortOrOverlongBlocksGiveNothing) {
    EXPECT_EQ(cw::StringBlockEntry(nullptr, 0, 0), L"");
    auto block = Block({L"abc", L"de"});
    EXPECT_EQ(Entry(block, 1), L"de");
    EXPECT_EQ(Entry(block, 2), L"");  // the block ends before the entry
    block.pop_back();
    EXPECT_EQ(Entry(block, 1), L"");  // ... or within it
    const std::vector<std::uint8_t> overlong{0xFF, 0xFF, 'a', 0};
    EXPECT_EQ(Entry(overlong, 0), L"");
}
