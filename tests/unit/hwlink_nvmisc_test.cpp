// The service call sequence and the NVMISC exports, against the fake device's
// firmware model: every step failing, the results kept, the BSPF versions and
// block sizes.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/unit/hwlink_fake_device.h"
#include "hwlink/frame/service_call.h"

namespace status = hwlink::status;
using hwtest::Block;
using hwtest::FakeDevice;
using hwtest::Get16;
using hwtest::Get32;

namespace {

constexpr std::uint16_t kNvmisc = 0x8001;
constexpr std::uint16_t kUnset = 0xEEEE;
const Block kInfo{0x17, 0x0A, 0x56, 0x4E, 0x22, 0x11, 0x44, 0x33, 0x66, 0x55, 0x99};

struct Words {
    std::uint16_t s1 = kUnset, s2 = kUnset, s3 = kUnset;
};

class HwlinkNvmisc : public ::testing::Test {
protected:
    void SetUp() override {
        device.directorySize[kNvmisc] = 40;
        device.On(kNvmisc, 3) = {1, 1, 0x0C, 0, kInfo, 8};
        device.On(kNvmisc, 2) = {1, 1, 0, 0};
        std::memset(&info, 0xCC, sizeof info);
    }

    std::uint32_t GetSystemInfo() { return GABI_NVMISC_GetSystemInfo(&info, &w.s1, &w.s2, &w.s3); }
    bool InfoUntouched() const {
        const auto* p = reinterpret_cast<const std::uint8_t*>(&info);
        return std::all_of(p, p + sizeof info, [](std::uint8_t b) { return b == 0xCC; });
    }

    FakeDevice device;
    NvmiscSystemInfo info;
    Words w;
};

}  // namespace

TEST_F(HwlinkNvmisc, GetSystemInfoRunsDirectoryEnterFunctionExit) {
    ASSERT_EQ(GetSystemInfo(), status::kOk);
    EXPECT_EQ(info.systemId, 0x4E560A17u);
    EXPECT_EQ(info.second, 0x1122);
    EXPECT_EQ(info.third, 0x55663344u);
    // The words handed back are the function call's, not the exit's.
    EXPECT_EQ(w.s1, 1);
    EXPECT_EQ(w.s2, 1);
    EXPECT_EQ(w.s3, 0x0C);

    ASSERT_EQ(device.calls.size(), 4u);
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0, 1, 3, 2}));
    EXPECT_EQ(device.calls[0].function, kNvmisc);  // directory query for the class
    for (std::size_t i = 1; i < 4; ++i) {
        const hwtest::SentCall& c = device.calls[i];
        EXPECT_EQ(c.serviceClass, kNvmisc);
        EXPECT_EQ(c.control.size(), 1024u);
        EXPECT_EQ(Get16(c.control, 0), 0x0400);
        EXPECT_EQ(c.input.size(), 512u);
        EXPECT_EQ(Get16(c.input, 0), 512);
        EXPECT_EQ(c.version, 1);
        EXPECT_EQ(c.output.size(), 40u);  // the size the directory named
        EXPECT_EQ(Get16(c.output, 0), 40);
        EXPECT_EQ(std::count(c.output.begin() + 2, c.output.end(), 0), 38) << "output zero-filled";
        EXPECT_EQ(c.handle, i == 1 ? 0u : FakeDevice::kHandle);
    }
    // Each firmware call opens and closes the channel by itself.
    EXPECT_EQ(device.opens, 4);
    EXPECT_EQ(device.closes, 4);
    EXPECT_EQ(device.codes.size(), 8u);
}

TEST_F(HwlinkNvmisc, NoDriverNoFirmwareOrARefusedDirectory) {
    device.openFails = true;
    EXPECT_EQ(GetSystemInfo(), status::kDeviceUnavailable);
    EXPECT_EQ(w.s1 | w.s2 | w.s3, 0);  // zeroed on entry
    EXPECT_TRUE(InfoUntouched());

    device.openFails = false;
    device.presence = 0;
    EXPECT_EQ(GetSystemInfo(), status::kGabiAbsent);
    EXPECT_TRUE(device.calls.empty());

    device.presence = 1;
    device.On(1, kNvmisc) = {1, 3};
    EXPECT_EQ(GetSystemInfo(), 0x20003u);
    EXPECT_EQ(device.calls.size(), 1u);
    EXPECT_TRUE(InfoUntouched());
}

TEST_F(HwlinkNvmisc, ADirectorySizeTooSmallForTheResultsIsRefusedBeforeEntering) {
    device.directorySize[kNvmisc] = 0;
    EXPECT_EQ(GetSystemInfo(), status::kInvalidArgument);
    device.directorySize[kNvmisc] = 17;  // the record needs bytes 8 to 17
    EXPECT_EQ(GetSystemInfo(), status::kInvalidArgument);
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0, 0}));
    device.directorySize[kNvmisc] = 18;
    EXPECT_EQ(GetSystemInfo(), status::kOk);
    EXPECT_EQ(info.third, 0x55663344u);
}

TEST_F(HwlinkNvmisc, EnterFailureHandsOverItsWordsAndSendsNoExit) {
    device.On(kNvmisc, 1) = {1, 0, 4};
    EXPECT_EQ(GetSystemInfo(), status::kEnterFailed);
    EXPECT_EQ(w.s1, 1);
    EXPECT_EQ(w.s2, 0);
    EXPECT_EQ(w.s3, 4);
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0, 1}));
    EXPECT_TRUE(InfoUntouched());

    // A request that never reached the firmware counts as a failed enter too.
    device.On(kNvmisc, 1) = {};
    device.On(kNvmisc, 1).fails = true;
    EXPECT_EQ(GetSystemInfo(), status::kEnterFailed);
    EXPECT_EQ(w.s1 | w.s2 | w.s3, 0);
}

TEST_F(HwlinkNvmisc, FunctionFailureSendsTheExitAndIgnoresIt) {
    device.On(kNvmisc, 3) = {1, 5, 9, 0, kInfo, 8};
    device.On(kNvmisc, 2) = {1, 6, 6};
    EXPECT_EQ(GetSystemInfo(), status::kFunctionFailed);
    EXPECT_EQ(w.s1, 1);
    EXPECT_EQ(w.s2, 5);
    EXPECT_EQ(w.s3, 9);
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0, 1, 3, 2}));
    EXPECT_TRUE(InfoUntouched());

    device.On(kNvmisc, 3) = {2, 1};  // word 1 must be 1 as well
    EXPECT_EQ(GetSystemInfo(), status::kFunctionFailed);
    EXPECT_EQ(w.s1, 2);
}

TEST_F(HwlinkNvmisc, ExitFailureKeepsTheResultsAndReportsTheExitsWords) {
    device.On(kNvmisc, 2) = {1, 2, 3};
    EXPECT_EQ(GetSystemInfo(), status::kExitFailed);
    EXPECT_EQ(info.systemId, 0x4E560A17u);
    EXPECT_EQ(w.s1, 1);
    EXPECT_EQ(w.s2, 2);
    EXPECT_EQ(w.s3, 3);
}

TEST_F(HwlinkNvmisc, NullOutputsAreAllowedButANullRecordIsRefusedFirst) {
    EXPECT_EQ(GABI_NVMISC_GetSystemInfo(&info, nullptr, nullptr, nullptr), status::kOk);
    EXPECT_EQ(info.systemId, 0x4E560A17u);
    EXPECT_EQ(GABI_NVMISC_GetSystemInfo(nullptr, &w.s1, &w.s2, &w.s3), status::kInvalidArgument);
    EXPECT_EQ(w.s1, kUnset);  // refused before the outputs are touched
    EXPECT_EQ(GABI_NVMISC_GetWakeupOnRTC(nullptr, &w.s1, nullptr, nullptr), status::kInvalidArgument);
    EXPECT_EQ(GABI_NVMISC_SetWakeupOnRTC(nullptr, &w.s1, nullptr, nullptr), status::kInvalidArgument);
    EXPECT_EQ(GABI_NVMISC_GetBspfInfo(nullptr, &w.s1, nullptr), status::kInvalidArgument);
    EXPECT_EQ(GABI_NVMISC_GetBspfInfo_V2(nullptr, &w.s1, nullptr), status::kInvalidArgument);
    EXPECT_EQ(w.s1, kUnset);
}

TEST_F(HwlinkNvmisc, MessageIndicatorAndWakeUpRecordsTravelAtTheirOffsets) {
    EXPECT_EQ(GABI_NVMISC_SetMessageIndicator(0x12345, &w.s1, &w.s2, &w.s3), status::kOk);
    EXPECT_EQ(device.calls.at(2).function, 4);
    EXPECT_EQ(Get32(device.calls[2].input, 8), 0x2345u);  // a 16-bit value, the rest zero

    const NvmiscWakeupSetting setting{0x0102, 0x0304, 5, 6, 7, 8};
    EXPECT_EQ(GABI_NVMISC_SetWakeupOnRTC(&setting, &w.s1, &w.s2, &w.s3), status::kOk);
    const Block& in = device.calls.at(6).input;
    EXPECT_EQ(device.calls[6].function, 6);
    EXPECT_EQ(Block(in.begin() + 8, in.begin() + 17), (Block{0x02, 0x01, 0x04, 0x03, 5, 6, 7, 8, 0}));

    device.On(kNvmisc, 5) = {1, 1, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8, 0x34, 0x12, 0x77}, 8};
    NvmiscWakeupRecord record;
    std::memset(&record, 0xCC, sizeof record);
    EXPECT_EQ(GABI_NVMISC_GetWakeupOnRTC(&record, &w.s1, &w.s2, &w.s3), status::kOk);
    EXPECT_EQ(record.bytes[0], 1);
    EXPECT_EQ(record.bytes[7], 8);
    EXPECT_EQ(record.word, 0x1234);
}

TEST_F(HwlinkNvmisc, BspfInfoFallsBackToVersionTwoWhenTheFirmwareAsks) {
    device.On(kNvmisc, 7, 1) = {1, 0x101};
    device.On(kNvmisc, 7, 2) = {1, 1, 0, 0, {0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6}, 8};
    std::uint8_t out[8];
    std::memset(out, 0xCC, sizeof out);
    ASSERT_EQ(GABI_NVMISC_GetBspfInfo(out, &w.s1, &w.s2), status::kOk);
    EXPECT_EQ(Block(out, out + 8), (Block{0xB1, 0xB2, 0xB3, 0xB4, 0xCC, 0xCC, 0xCC, 0xCC}));
    EXPECT_EQ(w.s2, 1);
    EXPECT_EQ(w.s3, kUnset);  // two status outputs only
    ASSERT_EQ(device.calls.size(), 5u);
    EXPECT_EQ(device.calls[2].version, 1);
    EXPECT_EQ(device.calls[3].function, 7);
    EXPECT_EQ(device.calls[3].version, 2);
    EXPECT_EQ(device.calls[3].handle, FakeDevice::kHandle);
}

TEST_F(HwlinkNvmisc, BspfInfoFallbackHappensOnceAndOnlyForWord0x101) {
    device.On(kNvmisc, 7, 1) = {1, 0x102};
    std::uint8_t out[8];
    EXPECT_EQ(GABI_NVMISC_GetBspfInfo(out, &w.s1, &w.s2), status::kFunctionFailed);
    EXPECT_EQ(w.s2, 0x102);
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0, 1, 7, 2}));

    device.calls.clear();
    device.On(kNvmisc, 7, 1) = {1, 0x101};
    device.On(kNvmisc, 7, 2) = {1, 0x101, 2};
    EXPECT_EQ(GABI_NVMISC_GetBspfInfo(out, &w.s1, &w.s2), status::kFunctionFailed);
    EXPECT_EQ(w.s2, 0x101);  // the last function call's words
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0, 1, 7, 7, 2}));
}

TEST_F(HwlinkNvmisc, BspfInfoV2AsksVersionTwoOnlyAndCopiesSixBytes) {
    device.On(kNvmisc, 7, 2) = {1, 1, 0, 0, {0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7}, 8};
    std::uint8_t out[8];
    std::memset(out, 0xCC, sizeof out);
    ASSERT_EQ(GABI_NVMISC_GetBspfInfo_V2(out, &w.s1, &w.s2), status::kOk);
    EXPECT_EQ(Block(out, out + 8), (Block{0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xCC, 0xCC}));
    EXPECT_EQ(device.calls.at(2).version, 2);
    EXPECT_EQ(device.calls.size(), 4u);
}

TEST_F(HwlinkNvmisc, BspfCommandInputBlockGrowsWithTheCommand) {
    Block data(600);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_EQ(GABI_NVMISC_SetBspfCommand(data.data(), 600, &w.s1, &w.s2), status::kOk);
    ASSERT_EQ(device.calls.size(), 4u);
    for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(device.calls[i].input.size(), 613u) << i;
    const Block& in = device.calls[2].input;
    EXPECT_EQ(device.calls[2].function, 8);
    EXPECT_EQ(Get16(in, 0), 613);
    EXPECT_EQ(Get32(in, 8), 600u);
    EXPECT_EQ(Block(in.begin() + 12, in.begin() + 612), data);
    EXPECT_EQ(in[612], 0);
    EXPECT_EQ(Get32(device.calls[1].input, 8), 0u);  // the enter comes before the command
    EXPECT_EQ(device.calls[3].input, in);            // the exit sends the block as it is

    device.calls.clear();
    ASSERT_EQ(GABI_NVMISC_SetBspfCommand(data.data(), 100, &w.s1, &w.s2), status::kOk);
    EXPECT_EQ(device.calls.at(2).input.size(), 512u);
}

TEST_F(HwlinkNvmisc, BspfCommandArgumentsAreCheckedBeforeTheOutputs) {
    Block data(0x10000, 1);
    EXPECT_EQ(GABI_NVMISC_SetBspfCommand(nullptr, 4, &w.s1, &w.s2), status::kInvalidArgument);
    EXPECT_EQ(GABI_NVMISC_SetBspfCommand(data.data(), 0, &w.s1, &w.s2), status::kInvalidArgument);
    EXPECT_EQ(GABI_NVMISC_SetBspfCommand(data.data(), 65523, &w.s1, &w.s2), status::kRequestTooLarge);
    EXPECT_EQ(w.s1, kUnset);
    EXPECT_TRUE(device.calls.empty());
    ASSERT_EQ(GABI_NVMISC_SetBspfCommand(data.data(), 65522, &w.s1, &w.s2), status::kOk);
    EXPECT_EQ(device.calls.at(2).input.size(), 0xFFFFu);
}

namespace {

// A family that addresses its functions through another class than its directory
// entry, marks its calls with categories and an output word, and has enter
// arguments of its own.
class AliasRequest final : public hwlink::ServiceRequest {
public:
    AliasRequest() {
        serviceClass = 5;
        directoryClass = 0x8000;
        function = 6;
        category = 3;
        sessionCategory = 1;
        outputWord = 1;
    }
    bool WriteEnterArguments(hwlink::Bytes input) const override { return input.Put16(8, 0xE1); }
    void WriteArguments(hwlink::Bytes input) const override { input.Put32(12, 0xF00D); }
};

}  // namespace

TEST(HwlinkServiceCall, TheInputBlockIsWrittenOnceAndEachCallWritesOnlyItsOwnFields) {
    FakeDevice device;
    AliasRequest request;
    std::uint16_t s1 = kUnset, s2 = kUnset;
    ASSERT_EQ(hwlink::RunServiceCall(request, hwlink::StatusOutputs(&s1, &s2)), status::kOk);
    ASSERT_EQ(device.calls.size(), 4u);
    EXPECT_EQ(device.calls[0].function, 0x8000);
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0, 1, 6, 2}));
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(device.calls[i].serviceClass, 5);
        EXPECT_EQ(device.calls[i].category, i == 2 ? 3 : 1);
        EXPECT_EQ(Get16(device.calls[i].output, 2), 1);
    }
    // Enter: its own argument. Function: the enter's argument stays beside its own.
    // Exit: header rewritten, the rest as the function left it.
    EXPECT_EQ(Block(device.calls[1].input.begin(), device.calls[1].input.begin() + 16),
              (Block{0x00, 0x02, 1, 0, 0, 0, 0, 0, 0xE1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Block(device.calls[2].input.begin(), device.calls[2].input.begin() + 16),
              (Block{0x00, 0x02, 1, 0, 0xCD, 0xAB, 0xC0, 0x5E, 0xE1, 0, 0, 0, 0x0D, 0xF0, 0, 0}));
    EXPECT_EQ(device.calls[3].input, device.calls[2].input);
    EXPECT_EQ(s1, 1);
}

namespace {

class OversizeRequest final : public hwlink::ServiceRequest {
public:
    OversizeRequest() {
        serviceClass = 7;
        inputSize = 0x10000;
    }
};

class UnfitEnterRequest final : public hwlink::ServiceRequest {
public:
    UnfitEnterRequest() { serviceClass = 7; }
    bool WriteEnterArguments(hwlink::Bytes) const override { return false; }
};

}  // namespace

TEST(HwlinkServiceCall, WhatDoesNotFitItsBlockIsRefusedAfterTheDirectoryAndNeverSent) {
    FakeDevice device;
    OversizeRequest request;
    SetLastError(0);
    EXPECT_EQ(hwlink::RunServiceCall(request, hwlink::StatusOutputs()), 0x10019u);
    EXPECT_EQ(GetLastError(), 14u);  // ERROR_OUTOFMEMORY
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0}));

    // Enter arguments that do not fit: no enter, and so no exit.
    UnfitEnterRequest unfit;
    device.calls.clear();
    EXPECT_EQ(hwlink::RunServiceCall(unfit, hwlink::StatusOutputs()), 0x10019u);
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0}));
}
