// hwlink's firmware tables, ports and memory: the table, port and memory exports
// against the fake device.
#include <gtest/gtest.h>

#include "tests/unit/hwlink_fake_device.h"
#include "tests/unit/hwlink_smbios_sample.h"

using hwtest::Block;
using hwtest::FakeDevice;
using hwtest::Get32;
using namespace hwtest::sample;

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
