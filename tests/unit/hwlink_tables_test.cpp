// hwlink's firmware tables, ports and memory: the SMBIOS structure search on raw
// tables, and the table, port and memory exports against the fake device.
#include <gtest/gtest.h>

#include "hwlink/frame/smbios_search.h"
#include "tests/unit/hwlink_fake_device.h"

using hwtest::Block;
using hwtest::FakeDevice;
using hwtest::Get32;
namespace smbios = hwlink::smbios;

namespace {

// Type 0 with two strings, an OEM type 0x85 (identifier 2, keys 1 and 7), a
// second type 0, an OEM type 0x90 (identifier 3), end of table.
const Block kBios{0x00, 0x06, 0x00, 0x00, 0x01, 0x02, 'N', 'v', 0, '1', 0, 0};
const Block kOem2{0x85, 0x08, 0x01, 0x00, 0x02, 0x01, 0x07, 0x00, 0, 0};
const Block kBios2{0x00, 0x04, 0x02, 0x00, 'x', 0, 0};
const Block kOem3{0x90, 0x07, 0x03, 0x00, 0x03, 0x55, 0x66, 0, 0};
const Block kEnd{0x7F, 0x04, 0x04, 0x00, 0, 0};
const Block kTable = hwtest::Cat({kBios, kOem2, kBios2, kOem3, kEnd});

smbios::StructureKey ByType(std::uint8_t type) {
    smbios::StructureKey key;
    key.type = type;
    return key;
}
smbios::StructureKey Oem(std::uint8_t id, std::uint8_t key1 = 0, std::uint8_t key2 = 0) {
    smbios::StructureKey key;
    key.oem = true;
    key.identifier = id;
    key.key1 = key1;
    key.key2 = key2;
    return key;
}

}  // namespace

TEST(HwlinkSmbiosSearch, FindsTheFirstMatchWithItsStringsAndBothZeros) {
    struct Case {
        const char* what;
        Block table;
        smbios::StructureKey key;
        bool found;
        std::size_t start, length;
    };
    const Case cases[] = {
        {"type 0 first", kTable, ByType(0), true, 0, 12},
        {"first of two occurrences", kTable, ByType(0), true, 0, 12},
        {"a later type", kTable, ByType(0x7F), true, 38, 6},
        {"absent type", kTable, ByType(4), false, 0, 0},
        {"OEM 2 with both keys", kTable, Oem(2, 1, 7), true, 12, 10},
        {"OEM 2, key 2 differs", kTable, Oem(2, 1, 8), false, 0, 0},
        {"OEM 3 ignores the keys", kTable, Oem(3, 9, 9), true, 29, 9},
        {"byte 4 of a type below 0x80 is no OEM identifier", kTable, Oem(1), false, 0, 0},
        {"unterminated strings end the walk", hwtest::Cat({kBios, Block{0x01, 0x04, 0, 0, 'a', 0}}), ByType(1),
         false, 0, 0},
        {"formatted length past the end", Block{0x00, 0xF0, 0, 0, 0, 0}, ByType(0), false, 0, 0},
        {"empty table", Block{}, ByType(0), false, 0, 0},
        {"one byte", Block{0x00}, ByType(0), false, 0, 0},
    };
    for (const Case& c : cases) {
        Block table = c.table;
        smbios::Found found;
        EXPECT_EQ(smbios::FindStructure(hwlink::Bytes(table.data(), table.size()), c.key, found), c.found) << c.what;
        if (c.found) {
            EXPECT_EQ(found.start, c.start) << c.what;
            EXPECT_EQ(found.length, c.length) << c.what;
        }
    }
}

TEST(HwlinkTables, StructuresAreSearchedInTheFirstTBytesOfATableReadWithTenBytesToSpare) {
    FakeDevice device;
    device.smbiosTable = kTable;
    std::uint32_t length = 0xEEEE;
    ASSERT_EQ(GetSMBIOSStruct(0x7F, nullptr, 0, &length), 0u);  // the size query
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(device.codes, (std::vector<std::uint32_t>{0x22E084, 0x22E088}));
    EXPECT_EQ(device.opens, device.closes);

    Block buffer(16, 0xCC);
    length = 0;
    EXPECT_EQ(GetOEMStruct(2, 1, 7, buffer.data(), 9, &length), 0x10007u);
    EXPECT_EQ(length, 10u);  // stored before the buffer is measured
    EXPECT_EQ(buffer, Block(16, 0xCC));
    ASSERT_EQ(GetOEMStruct(0x102, 0x201, 0x307, buffer.data(), 10, nullptr), 0u);  // low bytes only
    EXPECT_EQ(Block(buffer.begin(), buffer.begin() + 10), kOem2);
    EXPECT_EQ(buffer[10], 0xCC);

    // A table length that cuts the end structure short finds nothing beyond it.
    device.smbiosEntry[0x16] = static_cast<std::uint8_t>(kTable.size() - 1);
    EXPECT_EQ(GetSMBIOSStruct(0x7F, buffer.data(), 16, &length), 0x1000Au);
    device.entryReplySize = 30;
    EXPECT_EQ(GetSMBIOSStruct(0, buffer.data(), 16, &length), 0x10006u);
    EXPECT_EQ(device.opens, device.closes);
}

TEST(HwlinkTables, OnlyTheBytesTheDriverReturnedAreSearched) {
    FakeDevice device;
    device.smbiosEntry[0x16] = 20;  // T, but fewer bytes come
    std::uint32_t length = 0xEEEE;
    // A structure cut off inside its strings is not ended by the block's padding...
    device.smbiosTable = Block(kBios.begin(), kBios.end() - 2);
    EXPECT_EQ(GetSMBIOSStruct(0, nullptr, 0, &length), 0x1000Au);
    // ...nor does the padding read as a structure of type 0.
    device.smbiosTable = kOem3;
    EXPECT_EQ(GetSMBIOSStruct(0, nullptr, 0, &length), 0x1000Au);
    EXPECT_EQ(length, 0xEEEEu);
    EXPECT_EQ(GetOEMStruct(3, 0, 0, nullptr, 0, &length), 0u);
    EXPECT_EQ(length, 9u);
}

TEST(HwlinkTables, TheWholeTableAndTheFixedRecords) {
    FakeDevice device;
    device.smbiosTable = kTable;
    std::uint32_t length = 0xEEEE;
    ASSERT_EQ(GetSMBIOSTable(nullptr, 0, &length), 0u);
    EXPECT_EQ(length, kTable.size());
    EXPECT_EQ(device.codes, (std::vector<std::uint32_t>{0x22E084}));  // a size query reads no table

    Block buffer(64, 0xCC);
    length = 0xEEEE;
    EXPECT_EQ(GetSMBIOSTable(buffer.data(), 43, &length), 0x10007u);
    EXPECT_EQ(length, 0xEEEEu);  // stored only by the size query and a read
    ASSERT_EQ(GetSMBIOSTable(buffer.data(), 64, &length), 0u);
    EXPECT_EQ(length, 44u);  // what the driver returned
    EXPECT_EQ(Block(buffer.begin(), buffer.begin() + 44), kTable);

    Block header(16, 0xCC), nbe(40, 0xCC);
    ASSERT_EQ(GetSMBIOSHeader(header.data(), 10), 0u);
    EXPECT_EQ(header[9], 0);
    EXPECT_EQ(header[10], 0xCC);
    ASSERT_EQ(GetNBEStruct(nbe.data(), 40), 0u);  // at most 32 bytes
    EXPECT_EQ(nbe[0], 0xB0);
    EXPECT_EQ(nbe[31], 0xCF);
    EXPECT_EQ(nbe[32], 0xCC);
    EXPECT_EQ(GetSMBIOSHeader(nullptr, 10), 0x10002u);
    EXPECT_EQ(GetNBEStruct(nullptr, 10), 0x10002u);
    device.nbeReplySize = 31;
    EXPECT_EQ(GetNBEStruct(nbe.data(), 40), 0x10006u);
    EXPECT_EQ(device.opens, device.closes);

    // A size query whose close fails says so: every later call would find the channel busy.
    device.closeFails = true;
    length = 0;
    EXPECT_EQ(GetSMBIOSTable(nullptr, 0, &length), 0x10004u);
    EXPECT_EQ(length, 44u);
}

TEST(HwlinkPorts, APortRequestCarriesWidthValueAndPortAndComesBackInPlace) {
    FakeDevice device;
    std::uint32_t value = 7;
    EXPECT_EQ(HWLINK_ReadPort(0x62, 3, &value), 0x10002u);
    EXPECT_EQ(HWLINK_ReadPort(0x62, 1, nullptr), 0x10002u);
    EXPECT_EQ(HWLINK_WritePort(0x62, 0, 1), 0x10002u);
    EXPECT_EQ(device.opens, 0);

    ASSERT_EQ(HWLINK_ReadPort(0x62, 1, &value), 0u);
    EXPECT_EQ(value, 0x12345678u);  // not masked to the width
    EXPECT_EQ(device.inputs.back(), (Block{1, 0, 0, 0, 0, 0, 0, 0, 0x62, 0, 0, 0}));
    ASSERT_EQ(HWLINK_WritePort(0xCF8, 4, 0x80000010), 0u);
    EXPECT_EQ(device.codes.back(), 0x22E0A4u);
    EXPECT_EQ(device.inputs.back(), (Block{4, 0, 0, 0, 0x10, 0, 0, 0x80, 0xF8, 0x0C, 0, 0}));

    device.portReplySize = 11;
    value = 7;
    EXPECT_EQ(HWLINK_ReadPort(0x62, 2, &value), 0x10006u);
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(HWLINK_WritePort(0x62, 2, 1), 0u);  // a write's reply size is not checked
    device.failingCodes.insert(0x22E0A4);
    device.closeFails = true;
    EXPECT_EQ(HWLINK_WritePort(0x62, 2, 1), 0x10005u);  // the request's failure wins over the close's
}

TEST(HwlinkMemory, AReadSendsBothAddressWordsAndTheLengthAndNeedsEveryByte) {
    FakeDevice device;
    Block buffer(6, 0xCC);
    EXPECT_EQ(HWLINK_ReadMemory(1, 2, nullptr, 6), 0x10002u);
    EXPECT_EQ(HWLINK_ReadMemory(1, 2, buffer.data(), 0), 0x10002u);
    EXPECT_EQ(device.opens, 0);
    ASSERT_EQ(HWLINK_ReadMemory(0xFED10000, 1, buffer.data(), 6), 0u);
    EXPECT_EQ(device.codes.back(), 0x22E3C2u);
    EXPECT_EQ(device.inputs.back(), (Block{0, 0, 0xD1, 0xFE, 1, 0, 0, 0, 6, 0, 0, 0}));
    EXPECT_EQ(buffer, (Block{0x40, 0x41, 0x42, 0x43, 0x44, 0x45}));
    device.memoryShortBy = 1;
    EXPECT_EQ(HWLINK_ReadMemory(0, 0, buffer.data(), 6), 0x10006u);
    EXPECT_EQ(device.opens, device.closes);
}
