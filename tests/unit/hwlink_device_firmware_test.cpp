// DevFwUpdate against the fake device: fixed block sizes, the record conversion,
// the array from the caller heap, and what each failure leaves stored.
#include <gtest/gtest.h>

#include "tests/unit/hwlink_fake_device.h"

using hwtest::Block;
using hwtest::FakeDevice;
using hwtest::Get16;

namespace {

constexpr std::uint16_t kDevFw = 0x8002;
constexpr std::uint16_t kUnset = 0xEEEE;

// Value, count and wire records (GUID, u16, u64, u32) as the firmware writes them
// from output offset 8.
Block Reply(std::uint32_t value, std::uint16_t count, std::size_t records) {
    Block b = hwtest::Cat({hwtest::Le32({value}), hwtest::Le16({count})});
    for (std::size_t i = 0; i < records; ++i) {
        for (std::uint8_t g = 0; g < 16; ++g) b.push_back(static_cast<std::uint8_t>(0x10 * (i + 1) + g));
        b = hwtest::Cat({b, hwtest::Le16({static_cast<std::uint16_t>(0x700 + i)}),
                         hwtest::Le32({0x44332211, static_cast<std::uint32_t>(0x88776600 + i)}),
                         hwtest::Le32({static_cast<std::uint32_t>(0xCAFE0000 + i)})});
    }
    return b;
}

class HwlinkDeviceFirmware : public ::testing::Test {
protected:
    std::uint32_t Get(bool runtime = false) {
        auto* get = runtime ? GABI_DevFwUpdate_GetDeviceFirmwareRuntimeInfo : GABI_DevFwUpdate_GetDeviceFirmwareInfo;
        return get(&value, &count, &records, &s1, &s2, &s3);
    }
    bool NothingStored() const { return value == 0xEEEEEEEE && count == kUnset && records == kNoRecords; }

    static inline DeviceFirmwareRecord* const kNoRecords = reinterpret_cast<DeviceFirmwareRecord*>(0x1234);
    FakeDevice device;
    std::uint32_t value = 0xEEEEEEEE;
    std::uint16_t count = kUnset, s1 = kUnset, s2 = kUnset, s3 = kUnset;
    DeviceFirmwareRecord* records = kNoRecords;
};

}  // namespace

TEST_F(HwlinkDeviceFirmware, FixedBlocksTheRecordsAndTheExitsWords) {
    device.directorySize[kDevFw] = 0;  // not used
    device.On(kDevFw, 4) = {1, 1, 0, 0, Reply(0xABCD, 2, 2)};
    device.On(kDevFw, 2) = {1, 1, 9};
    ASSERT_EQ(Get(), 0u);
    EXPECT_EQ(value, 0xABCDu);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(s3, 9);  // the exit's words on success
    ASSERT_NE(records, kNoRecords);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(records);
    EXPECT_EQ(Block(bytes + 40, bytes + 80),
              hwtest::Cat({Block{0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D,
                                 0x2E, 0x2F, 0x01, 0x07, 0, 0, 0, 0, 0, 0},
                           hwtest::Le32({0x44332211, 0x88776601, 0xCAFE0001, 0})}));
    GABI_NVRAMAPI_FreeMemory(records);

    ASSERT_EQ(device.calls.size(), 4u);
    EXPECT_EQ(device.calls[0].function, kDevFw);
    const std::size_t outputs[] = {8, 1024, 8};
    for (std::size_t i = 1; i < 4; ++i) {
        const hwtest::SentCall& c = device.calls[i];
        EXPECT_EQ(c.serviceClass, kDevFw);
        EXPECT_EQ(c.input.size(), 1024u);
        EXPECT_EQ(Get16(c.input, 0), 0x400);
        EXPECT_EQ(c.output.size(), outputs[i - 1]);
        EXPECT_EQ(Get16(c.output, 2), i == 2 ? 1 : 0);
    }
    EXPECT_EQ(device.calls[2].function, 4);

    device.calls.clear();
    device.On(kDevFw, 5) = {1, 1, 0, 0, Reply(7, 0, 0)};
    records = kNoRecords;
    ASSERT_EQ(Get(true), 0u);
    EXPECT_EQ(device.calls.at(2).function, 5);
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(records, kNoRecords);  // nothing allocated for no devices
}

TEST_F(HwlinkDeviceFirmware, FailuresStoreNoListAndLeaveTheOutputsTheirStepLeaves) {
    device.On(1, kDevFw) = {1, 3};
    EXPECT_EQ(Get(), 0x20003u);
    EXPECT_TRUE(NothingStored());
    EXPECT_EQ(s1, kUnset);  // not zeroed on entry

    device.On(1, kDevFw) = {};
    device.On(kDevFw, 4) = {1, 1, 0, 0, Reply(1, 1, 1)};
    device.On(kDevFw, 2) = {1, 2, 3};
    EXPECT_EQ(Get(), 0x2F000u);
    EXPECT_TRUE(NothingStored());
    EXPECT_EQ(s2, 2);

    // 34 records cannot be in a 1024-byte block: refused, the exit still sent.
    device.On(kDevFw, 2) = {};
    device.On(kDevFw, 4) = {1, 1, 6, 0, Reply(1, 34, 0)};
    device.calls.clear();
    EXPECT_EQ(Get(), 0x10019u);
    EXPECT_TRUE(NothingStored());
    EXPECT_EQ(s3, 6);
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0, 1, 4, 2}));
    device.On(kDevFw, 4) = {1, 1, 0, 0, Reply(1, 33, 33)};
    ASSERT_EQ(Get(), 0u);
    EXPECT_EQ(count, 33);
    GABI_NVRAMAPI_FreeMemory(records);
    GABI_NVRAMAPI_FreeMemory(nullptr);

    EXPECT_EQ(GABI_DevFwUpdate_GetDeviceFirmwareInfo(nullptr, &count, &records, &s1, &s2, &s3), 0x10002u);
    EXPECT_EQ(GABI_DevFwUpdate_GetDeviceFirmwareInfo(&value, &count, nullptr, nullptr, nullptr, nullptr), 0x10002u);
}
