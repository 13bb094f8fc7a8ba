// SDA and SDA2 against the fake device: the information words, reads and writes
// through the extended frame, the enumeration, how each form reports a failing
// step, and the older form's word-2 rule.
#include <gtest/gtest.h>

#include "tests/unit/hwlink_fake_device.h"

using hwtest::Block;
using hwtest::FakeDevice;
using hwtest::Get16;
using hwtest::Get32;

namespace {

constexpr std::uint16_t kSda = 0x8000;
constexpr std::uint16_t kUnset = 0xEEEE;

class HwlinkSystemData : public ::testing::Test {
protected:
    void SetUp() override { device.directorySize[kSda] = 40; }

    std::uint32_t Info(std::uint32_t* a, std::uint32_t* b, std::uint32_t* c, std::uint32_t* d) {
        return GABI_SDA2_GetSystemDataInfo(0x11, 0x22, a, b, c, d, &s1, &s2, &s3);
    }

    FakeDevice device;
    std::uint16_t s1 = kUnset, s2 = kUnset, s3 = kUnset;
};

}  // namespace

TEST_F(HwlinkSystemData, InformationSendsBothSelectorsAndFillsTheWordsAsked) {
    device.On(kSda, 3) = {1, 1, 4, 0, hwtest::Le32({0xA1, 0xA2, 0xA3, 0xA4})};
    std::uint32_t a = 0, c = 0;
    ASSERT_EQ(Info(&a, nullptr, &c, nullptr), 0u);
    EXPECT_EQ(a, 0xA1u);
    EXPECT_EQ(c, 0xA3u);
    EXPECT_EQ(s3, 4);
    const hwtest::SentCall& call = device.calls.at(2);
    EXPECT_EQ(call.function, 3);
    EXPECT_EQ(Block(call.input.begin() + 8, call.input.begin() + 16), hwtest::Le32({0x11, 0x22}));

    EXPECT_EQ(Info(nullptr, nullptr, nullptr, nullptr), 0x10002u);
    device.calls.clear();
    s1 = kUnset;
    EXPECT_EQ(Info(nullptr, nullptr, nullptr, nullptr), 0x10002u);
    EXPECT_EQ(s1, kUnset);  // refused before the outputs are zeroed
    EXPECT_TRUE(device.calls.empty());
    device.directorySize[kSda] = 23;  // the words need output bytes 8 to 23
    EXPECT_EQ(Info(&a, nullptr, nullptr, nullptr), 0x10002u);
}

TEST_F(HwlinkSystemData, ReadCarriesTheCallersBufferAsTheExtraPartOfAnExtendedFrame) {
    device.On(kSda, 4).extra = {0xD0, 0xD1, 0xD2, 0xD3, 0xD4};
    Block buffer(5, 0x33);
    ASSERT_EQ(GABI_SDA2_ReadSystemData(7, 9, buffer.data(), 5, &s1, &s2, &s3), 0u);
    EXPECT_EQ(buffer, (Block{0xD0, 0xD1, 0xD2, 0xD3, 0xD4}));
    EXPECT_EQ(device.codes, (std::vector<std::uint32_t>{0x22E090, 0x22E096, 0x22E090, 0x22E096, 0x22E090, 0x22E09A,
                                                        0x22E090, 0x22E096}));
    const Block& frame = device.frames.at(2);
    EXPECT_EQ(frame.size(), 10u + 1024 + 512 + 40 + 5);
    EXPECT_EQ(Block(frame.begin(), frame.begin() + 10), (Block{0x00, 0x04, 0x00, 0x02, 40, 0, 5, 0, 0, 0}));
    const hwtest::SentCall& read = device.calls.at(2);
    EXPECT_EQ(read.extra, Block(5, 0x33));
    EXPECT_EQ(Get32(read.input, 8), 7u);
    EXPECT_EQ(Get32(read.input, 12), 9u);
    EXPECT_EQ(read.handle, FakeDevice::kHandle);

    // No buffer: zeros travel, nothing comes back, and that is no error.
    ASSERT_EQ(GABI_SDA2_ReadSystemData(7, 9, nullptr, 3, &s1, &s2, &s3), 0u);
    EXPECT_EQ(device.calls.at(6).extra, Block(3, 0));
    // A frame past 32 bits is refused before the service is entered.
    device.calls.clear();
    EXPECT_EQ(GABI_SDA2_ReadSystemData(7, 9, nullptr, 0xFFFFFFFF, &s1, &s2, &s3), 0x10019u);
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0}));
}

TEST_F(HwlinkSystemData, WriteSendsTheDataAndItsLengthAndNeverWritesIntoTheCallersData) {
    device.On(kSda, 5).extra = {0xEE, 0xEE, 0xEE};
    const Block data{1, 2, 3};
    Block copy = data;
    ASSERT_EQ(GABI_SDA2_WriteSystemData(7, 9, copy.data(), 3, &s1, &s2, &s3), 0u);
    EXPECT_EQ(copy, data);
    const hwtest::SentCall& write = device.calls.at(2);
    EXPECT_EQ(write.code, 0x22E09Eu);
    EXPECT_EQ(write.extra, data);
    EXPECT_EQ(Get32(write.input, 16), 3u);
}

TEST_F(HwlinkSystemData, EachFormReportsAFailingStepItsOwnWay) {
    struct Row {
        const char* what;
        std::uint16_t function;  // the call that fails
        FakeDevice::Answer answer;
        std::uint32_t info, read, write, enumeration;
    };
    FakeDevice::Answer unsent;
    unsent.fails = true;
    const Row rows[] = {
        {"enter refused", 1, {1, 5, 2}, 0x20000, 0x2D000, 0x20000, 0x2D000},
        {"function refused", 0, {1, 5, 2}, 0x20000, 0x2E000, 0x20000, 0x2E000},
        {"function never travelled", 0, unsent, 0x10005, 0x2E000, 0x10005, 0x2E000},
        {"exit refused", 2, {1, 5, 2}, 0x2F000, 0x2F000, 0x2F000, 0x2F000},
    };
    const std::uint16_t functions[] = {3, 4, 5, 6};
    for (const Row& row : rows) {
        const std::uint32_t expected[] = {row.info, row.read, row.write, row.enumeration};
        for (int i = 0; i < 4; ++i) {
            FakeDevice device;
            device.On(kSda, row.function ? row.function : functions[i]) = row.answer;
            std::uint32_t word = 0;
            Block buffer(4);
            std::uint32_t result = 0;
            switch (i) {
            case 0: result = GABI_SDA2_GetSystemDataInfo(1, 2, &word, nullptr, nullptr, nullptr, &s1, &s2, &s3); break;
            case 1: result = GABI_SDA2_ReadSystemData(1, 2, buffer.data(), 4, &s1, &s2, &s3); break;
            case 2: result = GABI_SDA2_WriteSystemData(1, 2, buffer.data(), 4, &s1, &s2, &s3); break;
            default: result = GABI_SDA2_EnumSystemData(1, buffer.data(), 4, &s1, &s2, &s3); break;
            }
            EXPECT_EQ(result, expected[i]) << row.what << ", function " << functions[i];
            EXPECT_EQ(s2, row.answer.fails ? 0 : 5) << row.what << ", function " << functions[i];
        }
    }
}

TEST_F(HwlinkSystemData, TheAliasFormsAskTheDirectoryFor0x8000AndCallClass5) {
    device.directorySize[kSda] = 20;
    device.On(5, 6) = {1, 1, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}};
    Block buffer(16, 0xCC);
    ASSERT_EQ(GABI_SDA2_EnumSystemData_SCC0005(3, buffer.data(), 0x10010, &s1, &s2, &s3), 0u);
    // The low 16 bits of the length count; the output holds 20 - 8 bytes.
    EXPECT_EQ(buffer, (Block{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0xCC, 0xCC, 0xCC, 0xCC}));
    ASSERT_EQ(device.calls.size(), 4u);
    EXPECT_EQ(device.calls[0].function, 0x8000);
    for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(device.calls[i].serviceClass, 5);
    EXPECT_EQ(Get32(device.calls[2].input, 8), 3u);

    device.On(kSda, 6) = device.On(5, 6);
    std::uint8_t six[6] = {};
    ASSERT_EQ(GABI_SDA2_EnumSystemData(3, six, 6, &s1, &s2, &s3), 0u);
    EXPECT_EQ(six[5], 6);
    EXPECT_EQ(GABI_SDA2_EnumSystemData(3, six, 0x10000, &s1, &s2, &s3), 0x10002u);
    EXPECT_EQ(GABI_SDA2_EnumSystemData(3, nullptr, 6, &s1, &s2, &s3), 0x10002u);
}

TEST_F(HwlinkSystemData, TheOlderFormsJudgeByWordTwoAndReportItOrTheCallsOwnStatus) {
    std::uint32_t a = 0;
    device.On(kSda, 1) = {0, 1};  // word 1 is not looked at
    device.On(kSda, 3) = {1, 7, 0, 0, hwtest::Le32({0xA1})};
    EXPECT_EQ(GABI_SDA_GetSystemDataInfo(1, 2, &a, nullptr, nullptr, nullptr), 0x20007u);
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0, 1, 3, 2}));

    device.On(kSda, 3) = {1, 1, 0, 0, hwtest::Le32({0xA1})};
    device.On(kSda, 2) = {1, 3};
    EXPECT_EQ(GABI_SDA_GetSystemDataInfo(1, 2, &a, nullptr, nullptr, nullptr), 0x20003u);  // the exit's
    EXPECT_EQ(a, 0xA1u);
    const Block& exitInput = device.calls.back().input;
    EXPECT_EQ(Block(exitInput.begin() + 8, exitInput.begin() + 16), Block(8, 0));  // set up afresh

    // The read and the write are judged by word 2 too; zeros go out, the data comes back.
    device.On(kSda, 2) = {};
    device.On(kSda, 4) = {9, 1};
    device.On(kSda, 4).extra = {0xD0, 0xD1};
    Block buffer{0x55, 0x55};
    ASSERT_EQ(GABI_SDA_ReadSystemData(1, 2, buffer.data(), 2), 0u);
    EXPECT_EQ(buffer, (Block{0xD0, 0xD1}));
    EXPECT_EQ(device.calls[device.calls.size() - 2].extra, Block(2, 0));
    EXPECT_EQ(GABI_SDA_ReadSystemData(1, 2, buffer.data(), 0), 0x10002u);
    device.On(kSda, 4).word2 = 9;
    device.calls.clear();
    EXPECT_EQ(GABI_SDA_ReadSystemData(1, 2, buffer.data(), 2), 0x20009u);
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0, 1, 4, 2}));  // the exit still goes out
    device.On(kSda, 5) = {1, 6};
    EXPECT_EQ(GABI_SDA_WriteSystemData(1, 2, buffer.data(), 2), 0x20006u);
    device.On(kSda, 5) = {};

    device.On(kSda, 1) = {1, 5};
    EXPECT_EQ(GABI_SDA_ReadSystemData(1, 2, buffer.data(), 2), 0x20005u);
    device.On(kSda, 1) = {};
    device.calls.clear();
    EXPECT_EQ(GABI_SDA_WriteSystemData(1, 2, nullptr, 0), 0u);  // an empty item
    EXPECT_EQ(device.calls.at(2).extra, Block{});
    EXPECT_EQ(GABI_SDA_WriteSystemData(1, 2, nullptr, 4), 0x10002u);
    EXPECT_EQ(GABI_SDA_WriteSystemData(1, 2, buffer.data(), 0), 0x10002u);
    device.failingCodes.insert(0x22E09E);
    EXPECT_EQ(GABI_SDA_WriteSystemData(1, 2, buffer.data(), 2), 0x10005u);
    EXPECT_EQ(device.Functions().back(), 2);  // the exit after a failed send
}
