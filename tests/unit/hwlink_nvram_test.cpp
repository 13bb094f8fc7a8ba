// NVRAMAPI against the fake device: the credential enter and the name list on
// the wire, the reply's header and items in one caller block, replies that
// overrun their block, the set payload and the splitting of large sets.
#include <gtest/gtest.h>

#include <string>

#include "tests/unit/hwlink_fake_device.h"

using hwtest::Block;
using hwtest::Cat;
using hwtest::FakeDevice;
using hwtest::Get16;
using hwtest::Get32;
using hwtest::Get64;
using hwtest::Le16;
using hwtest::Le32;

namespace {

constexpr std::uint16_t kNvram = 7;
constexpr std::uint16_t kUnset = 0xEEEE;

Block Le64(std::uint64_t v) { return Le32({static_cast<std::uint32_t>(v), static_cast<std::uint32_t>(v >> 32)}); }
Block Guid(std::uint8_t first) {
    Block g(16);
    for (std::uint8_t i = 0; i < 16; ++i) g[i] = static_cast<std::uint8_t>(first + i);
    return g;
}
Block Utf16(const std::u16string& text) {
    Block b;
    for (char16_t c : text) b.insert(b.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
    return Cat({b, {0, 0}});
}
Block WireItem(std::uint8_t guid, std::uint32_t attributes, const Block& name, const Block& data) {
    return Cat({Guid(guid), Le32({attributes}), Le64(data.size()), Le64(name.size()), name, data});
}
const Block kFields1 = Guid(0x60);  // 16 of the 28 fixed bytes, the rest zero
Block Header1() { return Cat({Le16({32, 1}), kFields1, Block(12, 0)}); }

// A get reply from output offset 8: the value L, then the payload.
Block Reply(std::uint64_t value, const Block& header, const Block& items) {
    return Cat({Le64(value), Le16({0x4D48}), header, items});
}

const Block kName = Utf16(u"Boot");
const Block kData{0xD1, 0xD2, 0xD3};
const std::u16string kAsked = u"Ask";
const std::string kCredential = "key";

class HwlinkNvram : public ::testing::Test {
protected:
    void SetUp() override { device.directorySize[kNvram] = 200; }

    std::uint32_t Get(std::uint32_t nameCount = 1) {
        const std::uint16_t* names[] = {reinterpret_cast<const std::uint16_t*>(kAsked.c_str())};
        const Block guid = Guid(0x30);
        return GABI_NVRAMAPI_GetNvramData(9, kCredential.data(), 3, 0x1111, names, guid.data(), nameCount,
                                          &headerWord, &header, &entries, &count, &s1, &s2, &s3);
    }
    const hwtest::SentCall& Call(std::size_t i) const { return device.calls.at(i); }

    FakeDevice device;
    std::uint16_t headerWord = kUnset, s1 = kUnset, s2 = kUnset, s3 = kUnset;
    NvramHeader header{};
    NvramEntry* entries = nullptr;
    std::uint32_t count = 0xEEEE;
};

}  // namespace

TEST_F(HwlinkNvram, AGetEntersWithTheCredentialAsksByNameAndTravelsAsNvramRequests) {
    device.On(kNvram, 3) = {1, 1, 5, 0, Reply(15, Header1(), {})};
    ASSERT_EQ(Get(), 0u);
    EXPECT_EQ(device.codes, (std::vector<std::uint32_t>{0x22E090, 0x22E096, 0x22E090, 0x22E0AA, 0x22E090, 0x22E0AA,
                                                        0x22E090, 0x22E0AA}));
    ASSERT_EQ(device.Functions(), (std::vector<std::uint16_t>{0, 1, 3, 2}));
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(Call(i).category, 1);
        EXPECT_EQ(Call(i).input.size(), 512u);
        EXPECT_EQ(Get16(Call(i).output, 2), 1);
    }
    // Enter: payload length 7, kind, length, the bytes; output handle 0, value 2.
    EXPECT_EQ(Block(Call(1).input.begin() + 8, Call(1).input.begin() + 23),
              Cat({Le64(7), Le16({9, 3}), {'k', 'e', 'y'}}));
    EXPECT_EQ(Block(Call(1).output.begin() + 4, Call(1).output.begin() + 16), Cat({Le32({0}), Le64(2)}));
    // Get: the name list (first word, name with its zero, GUID, zero), its length at
    // 8; output value S - 16.
    const Block list = Cat({Le16({0x1111}), Utf16(kAsked), Guid(0x30), Le16({0})});
    EXPECT_EQ(Call(2).version, 1);
    EXPECT_EQ(Get64(Call(2).input, 8), list.size());
    EXPECT_EQ(Block(Call(2).input.begin() + 16, Call(2).input.begin() + 16 + list.size()), list);
    EXPECT_EQ(Get32(Call(2).output, 4), FakeDevice::kHandle);
    EXPECT_EQ(Get64(Call(2).output, 8), 184u);
    // Exit: payload length 0, value 0; the rest of the block as the get left it.
    EXPECT_EQ(Get64(Call(3).input, 8), 0u);
    EXPECT_EQ(Block(Call(3).input.begin() + 16, Call(3).input.end()),
              Block(Call(2).input.begin() + 16, Call(2).input.end()));
    EXPECT_EQ(Get64(Call(3).output, 8), 0u);

    // A value of at most 15: no items, an empty block all the same, and the header.
    EXPECT_EQ(count, 0u);
    ASSERT_NE(entries, nullptr);
    EXPECT_EQ(headerWord, 0x4D48);
    EXPECT_EQ(header.size, 32);
    EXPECT_EQ(header.type, 1);
    EXPECT_EQ(Block(header.fields, header.fields + 16), kFields1);
    EXPECT_EQ(s3, 5);
    GABI_NVRAMAPI_FreeMemory(entries);
}

TEST_F(HwlinkNvram, ItemsComeBackInOneBlockThatTheEntriesPointInto) {
    const Block items = Cat({WireItem(0x10, 0x07, kName, kData), WireItem(0x20, 0x03, Utf16(u"X"), {}),
                             Block(16, 0), WireItem(0x30, 1, kName, kData)});
    // The value covers the third item too, but the zero GUID ends the walk.
    device.On(kNvram, 3) = {1, 1, 0, 0, Reply(34 + items.size() + 16, Header1(), items)};
    ASSERT_EQ(Get(), 0u);
    ASSERT_EQ(count, 2u);
    const auto* base = reinterpret_cast<const std::uint8_t*>(entries);
    EXPECT_EQ(Block(entries[0].guid, entries[0].guid + 16), Guid(0x10));
    EXPECT_EQ(entries[0].attributes, 7u);
    EXPECT_EQ(entries[0].nameSize, kName.size());
    EXPECT_EQ(entries[0].dataSize, 3u);
    EXPECT_EQ(entries[0].unused, 0u);
    // Names and data follow the two records, item by item.
    EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(entries[0].name), base + 2 * sizeof(NvramEntry));
    EXPECT_EQ(Block(base + 2 * sizeof(NvramEntry), base + 2 * sizeof(NvramEntry) + 10), kName);
    EXPECT_EQ(entries[0].data, base + 2 * sizeof(NvramEntry) + 10);
    EXPECT_EQ(Block(entries[0].data, entries[0].data + 3), kData);
    EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(entries[1].name), base + 2 * sizeof(NvramEntry) + 13);
    EXPECT_EQ(entries[1].dataSize, 0u);
    GABI_NVRAMAPI_FreeMemory(entries);
}

TEST_F(HwlinkNvram, RepliesThatOverrunTheirBlockOrCannotBeReadStoreNothing) {
    struct Row {
        const char* what;
        Block reply;
        std::uint32_t result;
    };
    Block huge = WireItem(0x10, 0, kName, kData);
    huge[20] = 0xFF;  // a data size past the block
    Block header2 = Cat({Le16({48, 2}), Block(36, 0), Le32({1, 2})});
    const Row rows[] = {
        {"an item past the block", Reply(1000, Header1(), huge), 0x10019},
        {"an item header past the block",
         Reply(1000, Header1(), Cat({WireItem(0x10, 0, kName, Block(94, 0)), Block(10, 1)})), 0x10019},
        {"a header type of 3", Reply(15, Cat({Le16({32, 3}), Block(28, 0)}), {}), 0x10019},
        {"a type 2 header is no type 1 record", Reply(15, header2, {}), 0x10007},
        {"a type 2 size below its fixed part", Reply(15, Cat({Le16({38, 2}), Block(36, 0)}), {}), 0x10019},
    };
    for (const Row& row : rows) {
        FakeDevice device;
        device.directorySize[kNvram] = 200;
        device.On(kNvram, 3) = {1, 1, 0, 0, row.reply};
        entries = nullptr;
        count = 0xEEEE;
        headerWord = kUnset;
        EXPECT_EQ(Get(), row.result) << row.what;
        EXPECT_EQ(entries, nullptr) << row.what;
        EXPECT_EQ(count, 0xEEEEu) << row.what;
        EXPECT_EQ(headerWord, kUnset) << row.what;
        EXPECT_EQ(device.Functions().back(), 2) << row.what;  // the exit is still sent
    }
}

TEST_F(HwlinkNvram, TheSecondFormReturnsAType2HeaderRecordOfItsOwn) {
    const Block items = WireItem(0x10, 0x07, kName, kData);
    const Block header2 = Cat({Le16({48, 2}), Guid(0x70), Block(20, 0), Le32({0xA1, 0xA2})});
    device.On(kNvram, 3, 2) = {1, 1, 0, 0, Reply(50 + items.size() + 16, header2, items)};
    const std::uint16_t* names[] = {reinterpret_cast<const std::uint16_t*>(kAsked.c_str())};
    const Block guid = Guid(0x30);
    NvramHeader* record = nullptr;
    ASSERT_EQ(GABI_NVRAMAPI_GetNvramData_V2(9, kCredential.data(), 3, 0x1111, names, guid.data(), 1, &headerWord,
                                            &record, &entries, &count, &s1, &s2, &s3),
              0u);
    EXPECT_EQ(Call(2).version, 2);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(record->size, 48);
    EXPECT_EQ(record->type, 2);
    EXPECT_EQ(Block(record->fields, record->fields + 16), Guid(0x70));
    EXPECT_EQ(record->extraCount, 2u);
    const auto* words = reinterpret_cast<const std::uint8_t*>(record) + 44;
    EXPECT_EQ(Block(words, words + 8), Le32({0xA1, 0xA2}));
    GABI_NVRAMAPI_FreeMemory(record);
    GABI_NVRAMAPI_FreeMemory(entries);
}

TEST_F(HwlinkNvram, WhatDoesNotFitTheGetBlockIsRefusedAfterTheDirectory) {
    const std::u16string longName(250, u'n');  // 502 bytes: the list cannot fit 512 - 16
    const std::uint16_t* names[] = {reinterpret_cast<const std::uint16_t*>(longName.c_str())};
    const Block guid = Guid(0x30);
    EXPECT_EQ(GABI_NVRAMAPI_GetNvramData(9, kCredential.data(), 3, 0, names, guid.data(), 1, &headerWord, &header,
                                         &entries, &count, &s1, &s2, &s3),
              0x10019u);
    const Block credential(493, 'c');  // 16 + 4 + 493 > 512
    EXPECT_EQ(GABI_NVRAMAPI_GetNvramData(9, credential.data(), 493, 0, names, guid.data(), 0, &headerWord, &header,
                                         &entries, &count, &s1, &s2, &s3),
              0x10019u);
    // 20 + 0xFFFFFFF0 wraps to 4 in 32 bits: the length is measured whole.
    EXPECT_EQ(GABI_NVRAMAPI_GetNvramData(9, credential.data(), 0xFFFFFFF0, 0, names, guid.data(), 0, &headerWord,
                                         &header, &entries, &count, &s1, &s2, &s3),
              0x10019u);
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0, 0, 0}));
    EXPECT_EQ(GABI_NVRAMAPI_GetNvramData(9, nullptr, 3, 0, names, guid.data(), 1, &headerWord, &header, &entries,
                                         &count, &s1, &s2, &s3),
              0x10002u);
    EXPECT_EQ(GABI_NVRAMAPI_GetNvramData(9, kCredential.data(), 3, 0, nullptr, guid.data(), 1, &headerWord, &header,
                                         &entries, &count, &s1, &s2, &s3),
              0x10002u);
    EXPECT_EQ(GABI_NVRAMAPI_GetNvramData(9, kCredential.data(), 3, 0, names, guid.data(), 1, &headerWord, &header,
                                         nullptr, &count, &s1, &s2, &s3),
              0x10002u);
}

namespace {

struct SetFixture {
    std::u16string name = u"Boot";
    const std::uint16_t* names[1] = {reinterpret_cast<const std::uint16_t*>(name.c_str())};
    Block guid = Guid(0x30);
    NvramHeader header{};
    std::vector<Block> data;
    std::vector<NvramEntry> entries;

    SetFixture() {
        header.size = 32;
        header.type = 1;
        for (std::uint8_t i = 0; i < 28; ++i) header.fields[i] = static_cast<std::uint8_t>(0x80 + i);
    }
    void Add(std::size_t dataSize, std::uint8_t fill) {
        data.emplace_back(dataSize, fill);
        NvramEntry e{};
        for (std::uint8_t i = 0; i < 16; ++i) e.guid[i] = static_cast<std::uint8_t>(fill + i);
        e.attributes = fill;
        e.name = const_cast<std::uint16_t*>(names[0]);
        e.nameSize = 10;
        e.dataSize = dataSize;
        entries.push_back(e);
    }
    std::uint32_t Set(std::uint16_t* s, bool v2 = false) {
        for (std::size_t i = 0; i < entries.size(); ++i) entries[i].data = data[i].data();
        auto* set = v2 ? GABI_NVRAMAPI_SetNvramData_V2 : GABI_NVRAMAPI_SetNvramData;
        return set(9, "key", 3, 0x1111, 0x2222, &header, names, guid.data(), 1, entries.data(),
                   static_cast<std::uint32_t>(entries.size()), &s[0], &s[1], &s[2]);
    }
};

}  // namespace

TEST_F(HwlinkNvram, ASetPayloadCarriesHeaderNamesItemsAndAnEndMarker) {
    SetFixture set;
    set.Add(3, 0xA0);
    std::uint16_t s[3] = {kUnset, kUnset, kUnset};
    ASSERT_EQ(set.Set(s), 0u);
    const hwtest::SentCall& call = Call(2);
    EXPECT_EQ(call.function, 4);
    EXPECT_EQ(call.version, 1);
    // Estimate: 38 + (18 + 10) + 2 + (36 + 10 + 3) + 16 end = 133; input block + 16.
    EXPECT_EQ(call.input.size(), 149u);
    EXPECT_EQ(Get64(call.input, 8), 133u);
    Block fields(28);
    for (std::uint8_t i = 0; i < 28; ++i) fields[i] = static_cast<std::uint8_t>(0x80 + i);
    const Block payload = Cat({Le16({0x1111, 0x2222, 32, 1}), fields, Le16({28}), Utf16(u"Boot"), Guid(0x30),
                               Le16({0}), WireItem(0xA0, 0xA0, Utf16(u"Boot"), Block(3, 0xA0)), Block(16, 0)});
    EXPECT_EQ(Block(call.input.begin() + 16, call.input.begin() + 16 + payload.size()), payload);
    EXPECT_EQ(Get64(call.output, 8), 0u);
    for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(Call(i).input.size(), 149u);  // one block for the run

    EXPECT_EQ(GABI_NVRAMAPI_SetNvramData(9, "key", 3, 0, 0, &set.header, set.names, set.guid.data(), 1,
                                         set.entries.data(), 0, &s[0], &s[1], &s[2]),
              0u);
    EXPECT_EQ(s[0], 0);
    EXPECT_EQ(GABI_NVRAMAPI_SetNvramData(9, "key", 3, 0, 0, nullptr, set.names, set.guid.data(), 1,
                                         set.entries.data(), 1, &s[0], &s[1], &s[2]),
              0x10019u);
    EXPECT_EQ(device.calls.size(), 4u);  // neither reached the firmware
}

TEST_F(HwlinkNvram, TheSecondFormWritesAType2HeaderWithItsExtraWords) {
    SetFixture set;
    set.Add(1, 0xA0);
    std::vector<std::uint8_t> record(52, 0);
    std::copy(reinterpret_cast<std::uint8_t*>(&set.header), reinterpret_cast<std::uint8_t*>(&set.header) + 44,
              record.begin());
    hwtest::Put16(record, 2, 2);
    hwtest::Put32(record, 40, 2);
    hwtest::Put32(record, 44, 0xB1);
    hwtest::Put32(record, 48, 0xB2);
    for (std::size_t i = 0; i < set.entries.size(); ++i) set.entries[i].data = set.data[i].data();
    std::uint16_t s[3] = {};
    ASSERT_EQ(GABI_NVRAMAPI_SetNvramData_V2(9, "key", 3, 1, 2, reinterpret_cast<NvramHeader*>(record.data()),
                                            set.names, set.guid.data(), 1, set.entries.data(), 1, &s[0], &s[1],
                                            &s[2]),
              0u);
    const hwtest::SentCall& call = Call(2);
    EXPECT_EQ(call.version, 2);
    EXPECT_EQ(Get16(call.input, 16 + 4), 48);  // 40 + 4k
    EXPECT_EQ(Get16(call.input, 16 + 6), 2);
    EXPECT_EQ(Block(call.input.begin() + 16 + 44, call.input.begin() + 16 + 54), Cat({Le32({0xB1, 0xB2}), Le16({28})}));
}

TEST_F(HwlinkNvram, LargeSetsAreSplitIntoAsManyEntriesPerRequestAsFit) {
    // Each entry needs 36 + 10 + 25000 bytes: two fit a request, three do not.
    SetFixture set;
    set.Add(25000, 0xA0);
    set.Add(25000, 0xB0);
    set.Add(25000, 0xC0);
    std::uint16_t s[3] = {};
    ASSERT_EQ(set.Set(s), 0u);
    std::vector<std::size_t> requests;
    for (const auto& c : device.calls)
        if (c.serviceClass == kNvram && c.function == 4) requests.push_back(c.input[16 + 66]);
    // The first byte of each request's first item GUID (payload offset 36 + 2 +
    // 26 + 2): two entries, then the third.
    EXPECT_EQ(requests, (std::vector<std::size_t>{0xA0, 0xC0}));
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0, 1, 4, 2, 0, 1, 4, 2}));

    device.calls.clear();
    SetFixture big;
    big.Add(65400, 0xA0);  // alone more than a block
    EXPECT_EQ(big.Set(s), 0x10019u);
    EXPECT_TRUE(device.calls.empty());

    // The first failing request ends the set; what was sent stays sent.
    device.On(kNvram, 4) = {1, 4};
    EXPECT_EQ(set.Set(s), 0x2E000u);
    EXPECT_EQ(s[1], 4);
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0, 1, 4, 2}));
}
