// hwlink's GABI call path: presence, entry, the generic call exports and the
// enter/exit exports, against the fake device's firmware model.
#include <gtest/gtest.h>

#include "tests/unit/hwlink_fake_device.h"

namespace status = hwlink::status;
namespace ioctl = hwlink::ioctl;
using hwtest::Block;
using hwtest::FakeDevice;
using hwtest::Get16;
using hwtest::Get32;
using hwtest::Put16;

namespace {

// Blocks as a caller of CallGABIService sets them up: each starts with its length.
struct CallerBlocks {
    Block control, input, output;
    CallerBlocks(std::size_t lc, std::size_t li, std::size_t lo)
        : control(lc, 0), input(li, 0xC1), output(lo, 0xC2) {
        Put16(control, 0, static_cast<std::uint16_t>(lc));
        Put16(control, 2, 0x8001);
        Put16(control, 4, 3);
        Put16(input, 0, static_cast<std::uint16_t>(li));
        Put16(output, 0, static_cast<std::uint16_t>(lo));
    }
};

}  // namespace

TEST(HwlinkGabi, CheckGabiReportsThePresenceFlag) {
    FakeDevice device;
    std::uint32_t flag = 9;
    EXPECT_EQ(CheckGABI(nullptr), status::kInvalidArgument);
    EXPECT_EQ(device.opens, 0);  // rejected before the channel
    device.presence = 0;
    EXPECT_EQ(CheckGABI(&flag), status::kOk);
    EXPECT_EQ(flag, 0u);
    device.presence = 0x80;
    EXPECT_EQ(CheckGABI(&flag), status::kOk);
    EXPECT_EQ(flag, 0x80u);
}

TEST(HwlinkGabi, EntryIsCopiedByItsOwnLengthByte) {
    FakeDevice device;
    for (int i = 0; i < 256; ++i) device.entry[i] = static_cast<std::uint8_t>(i + 1);
    device.entry[8] = 20;
    Block buffer(32, 0xCC);
    EXPECT_EQ(GetGABIEntry(buffer.data(), 19), status::kBufferTooSmall);
    EXPECT_EQ(buffer, Block(32, 0xCC));
    EXPECT_EQ(GetGABIEntry(buffer.data(), 20), status::kOk);
    EXPECT_EQ(Block(buffer.begin(), buffer.begin() + 20), Block(device.entry, device.entry + 20));
    EXPECT_EQ(buffer[20], 0xCC);
    device.presence = 0;  // the entry does not depend on presence
    EXPECT_EQ(GetGABIEntry(buffer.data(), 32), status::kOk);
    EXPECT_EQ(device.opens, device.closes);
}

TEST(HwlinkGabi, CallWithFirmwareAbsentSendsNothingAndLeavesTheBlocks) {
    FakeDevice device;
    device.presence = 0;
    CallerBlocks b(32, 16, 16);
    const CallerBlocks before = b;
    EXPECT_EQ(CallGABIService(b.input.data(), b.output.data(), b.control.data()), status::kGabiAbsent);
    EXPECT_EQ(b.control, before.control);
    EXPECT_EQ(b.input, before.input);
    EXPECT_EQ(b.output, before.output);
    EXPECT_EQ(device.codes, std::vector<std::uint32_t>{ioctl::kGabiPresent});
    Block reply(35), control(1024);
    EXPECT_EQ(_CallServiceInterface(0x8001, reply.data(), control.data()), status::kGabiAbsent);
    EXPECT_EQ(CallGABIService_SingleBuf(ioctl::kGabiCall, b.output.data(), 16), status::kGabiAbsent);
}

TEST(HwlinkGabi, NullBlocksAreRejectedAfterThePresenceCheck) {
    FakeDevice device;
    CallerBlocks b(32, 16, 16);
    EXPECT_EQ(CallGABIService(nullptr, b.output.data(), b.control.data()), status::kInvalidArgument);
    EXPECT_EQ(CallGABIService(b.input.data(), nullptr, b.control.data()), status::kInvalidArgument);
    EXPECT_EQ(CallGABIService(b.input.data(), b.output.data(), nullptr), status::kInvalidArgument);
    EXPECT_EQ(CallGABIService_SingleBuf(ioctl::kGabiCall, nullptr, 16), status::kInvalidArgument);
    EXPECT_EQ(CallGABIService_4buf(ioctl::kSystemDataRead, b.input.data(), nullptr, b.control.data(), nullptr, 0),
              status::kInvalidArgument);
    EXPECT_EQ(device.codes, std::vector<std::uint32_t>(5, ioctl::kGabiPresent));
    EXPECT_EQ(device.opens, 5);
    EXPECT_EQ(device.closes, 5);
}

TEST(HwlinkGabi, CallSendsOneFrameAndCopiesTheRepliesBack) {
    FakeDevice device;
    device.On(0x8001, 3) = {1, 1, 6, 0, {0xD1, 0xD2}, 8};
    CallerBlocks b(1024, 512, 24);
    ASSERT_EQ(CallGABIService(b.input.data(), b.output.data(), b.control.data()), status::kOk);
    ASSERT_EQ(device.frames.size(), 1u);
    const Block& frame = device.frames[0];
    EXPECT_EQ(frame.size(), 6u + 1024 + 512 + 24);
    EXPECT_EQ(Get16(frame, 0), 1024);
    EXPECT_EQ(Get16(frame, 2), 512);
    EXPECT_EQ(Get16(frame, 4), 24);
    EXPECT_EQ(Block(frame.begin() + 6, frame.begin() + 6 + 1024), CallerBlocks(1024, 512, 24).control);
    EXPECT_EQ(Get16(b.control, 10), 6);  // status word 3 came back
    EXPECT_EQ(b.output[8], 0xD1);
    EXPECT_EQ(b.output[9], 0xD2);
    EXPECT_EQ(b.input, CallerBlocks(1024, 512, 24).input);
    EXPECT_EQ(device.codes, (std::vector<std::uint32_t>{ioctl::kGabiPresent, ioctl::kGabiCall}));
}

TEST(HwlinkGabi, AFailedOrShortCallLeavesTheBlocks) {
    FakeDevice device;
    CallerBlocks b(64, 16, 16);
    const CallerBlocks before = b;
    device.On(0x8001, 3).fails = true;
    EXPECT_EQ(CallGABIService(b.input.data(), b.output.data(), b.control.data()), status::kRequestFailed);
    device.On(0x8001, 3) = {};
    device.On(0x8001, 3).shortReply = true;
    device.On(0x8001, 3).word1 = 9;
    EXPECT_EQ(CallGABIService(b.input.data(), b.output.data(), b.control.data()), status::kReplySize);
    EXPECT_EQ(b.control, before.control);
    EXPECT_EQ(b.output, before.output);
    EXPECT_EQ(device.opens, device.closes);
}

TEST(HwlinkGabi, SingleBufSendsTheCallersBufferWithTheCallersCode) {
    FakeDevice device;
    Block buffer(40, 0x33);
    EXPECT_EQ(CallGABIService_SingleBuf(0x22E09A, buffer.data(), 40), status::kOk);
    ASSERT_EQ(device.codes.size(), 2u);
    EXPECT_EQ(device.codes[1], 0x22E09Au);
    EXPECT_EQ(device.frames.at(0), Block(40, 0x33));
    EXPECT_EQ(buffer.back(), FakeDevice::kMark);  // the driver's reply is in the buffer
    EXPECT_EQ(CallGABIService_SingleBuf(0x22E09A, buffer.data(), 0), status::kInvalidArgument);
}

TEST(HwlinkGabi, FourBufBuildsTheExtendedFrame) {
    FakeDevice device;
    device.On(0x8001, 3).extra = {0x91, 0x92, 0x93, 0x94, 0x95};
    CallerBlocks b(16, 8, 8);
    Block extra(5, 0x44);
    ASSERT_EQ(CallGABIService_4buf(0x22E09E, b.input.data(), b.output.data(), b.control.data(), extra.data(), 5),
              status::kOk);
    const Block& frame = device.frames.at(0);
    ASSERT_EQ(frame.size(), 10u + 16 + 8 + 8 + 5);
    EXPECT_EQ(Get16(frame, 0), 16);
    EXPECT_EQ(Get16(frame, 2), 8);
    EXPECT_EQ(Get16(frame, 4), 8);
    EXPECT_EQ(Get32(frame, 6), 5u);
    EXPECT_EQ(Block(frame.end() - 5, frame.end()), Block(5, 0x44));
    EXPECT_EQ(extra, (Block{0x91, 0x92, 0x93, 0x94, 0x95}));  // the extra data comes back
    EXPECT_EQ(Get16(b.control, 8), 1);                         // and so do the blocks

    // Without extra data the frame still carries Le zero bytes, and nothing is written back.
    ASSERT_EQ(CallGABIService_4buf(0x22E09A, b.input.data(), b.output.data(), b.control.data(), nullptr, 6),
              status::kOk);
    EXPECT_EQ(device.calls.at(1).extra, Block(6, 0));
}

TEST(HwlinkGabi, ServiceDirectoryQueryLayoutAndWordTwo) {
    FakeDevice device;
    device.directorySize[0x8001] = 0x30;
    Block reply(35, 0xCC), control(1024, 0xCC);
    ASSERT_EQ(_CallServiceInterface(0x8001, reply.data(), control.data()), status::kOk);
    const hwtest::SentCall& call = device.calls.at(0);
    EXPECT_EQ(Get16(call.control, 0), 0x0400);
    EXPECT_EQ(call.serviceClass, 1);
    EXPECT_EQ(call.function, 0x8001);
    EXPECT_EQ(call.input, (Block{2, 0}));
    EXPECT_EQ(call.output.size(), 32u);  // 32 of the 35 bytes travel
    EXPECT_EQ(Get16(call.output, 0), 32);
    EXPECT_EQ(Get16(reply, 2), 0x30);
    EXPECT_EQ(Block(reply.begin() + 32, reply.end()), Block(3, 0));
    EXPECT_EQ(std::count(control.begin() + 16, control.end(), 0xCC), 0);

    device.On(1, 0x8001) = {0, 3};
    EXPECT_EQ(_CallServiceInterface(0x8001, reply.data(), control.data()), 0x20003u);
    device.On(1, 0x8001) = {0, 1};  // only word 2 counts here
    EXPECT_EQ(_CallServiceInterface(0x8001, reply.data(), control.data()), status::kOk);
    device.On(1, 0x8001) = {1, 0};
    EXPECT_EQ(_CallServiceInterface(0x8001, reply.data(), control.data()), 0x20000u);
    EXPECT_EQ(_CallServiceInterface(0x8001, nullptr, control.data()), status::kInvalidArgument);
}

TEST(HwlinkGabi, EnterAndExitSetUpTheCallersBlocks) {
    FakeDevice device;
    Block control(64, 0xCC), input(16, 0xCC), output(12, 0xCC);
    ASSERT_EQ(_CallEnter(0x8002, input.data(), 16, output.data(), 12, control.data(), 64), status::kOk);
    const hwtest::SentCall& enter = device.calls.at(0);
    EXPECT_EQ(Get16(enter.control, 0), 64);
    EXPECT_EQ(enter.serviceClass, 0x8002);
    EXPECT_EQ(enter.function, 1);
    EXPECT_EQ(enter.input, (Block{16, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Get16(enter.output, 0), 12);
    EXPECT_EQ(Get32(output, 4), FakeDevice::kHandle);

    ASSERT_EQ(_CallExit(0x8002, 0x1234, input.data(), 16, output.data(), 12, control.data(), 64), status::kOk);
    const hwtest::SentCall& exit = device.calls.at(1);
    EXPECT_EQ(exit.function, 2);
    EXPECT_EQ(exit.handle, 0x1234u);

    device.On(0x8002, 2) = {1, 7};
    EXPECT_EQ(_CallExit(0x8002, 1, input.data(), 16, output.data(), 12, control.data(), 64), 0x20007u);
}

TEST(HwlinkGabi, EnterRefusesLengthsItCannotUse) {
    FakeDevice device;
    Block control(1024), input(512), output(64);
    EXPECT_EQ(_CallEnter(1, input.data(), 0, output.data(), 64, control.data(), 1024), status::kInvalidArgument);
    EXPECT_EQ(_CallEnter(1, input.data(), 0x10000, output.data(), 64, control.data(), 1024),
              status::kInvalidArgument);  // only the low 16 bits count
    EXPECT_EQ(_CallEnter(1, input.data(), 512, nullptr, 64, control.data(), 1024), status::kInvalidArgument);
    EXPECT_EQ(_CallEnter(1, input.data(), 512, output.data(), 64, control.data(), 15), status::kInvalidArgument);
    EXPECT_EQ(_CallExit(1, 0, input.data(), 7, output.data(), 64, control.data(), 1024), status::kInvalidArgument);
    EXPECT_EQ(device.opens, 0);
}
