// hwlink's frame: checked byte fields, GABI blocks and both frame layouts, the
// driver version comparison, and the device channel's open/close rule.
#include <gtest/gtest.h>

#include "hwlink/frame/driver_service.h"
#include "hwlink/frame/gabi_layout.h"
#include "tests/unit/hwlink_fake_device.h"

using hwlink::Bytes;
namespace gabi = hwlink::gabi;
namespace status = hwlink::status;
using hwtest::Block;
using hwtest::FakeDevice;
using hwtest::Get16;
using hwtest::Get32;

namespace {

Bytes Span(Block& b) { return Bytes(b.data(), b.size()); }

}  // namespace

TEST(HwlinkBytes, FieldsAreLittleEndianAndStayInsideTheSpan) {
    Block b(6, 0x11);
    const Bytes s = Span(b);
    EXPECT_TRUE(s.Put32(2, 0xA1B2C3D4));
    EXPECT_EQ(b, (Block{0x11, 0x11, 0xD4, 0xC3, 0xB2, 0xA1}));
    EXPECT_FALSE(s.Put32(3, 0));  // one byte past the end: nothing written
    EXPECT_FALSE(s.Put16(5, 0));
    EXPECT_FALSE(s.Put8(6, 0));
    EXPECT_EQ(b, (Block{0x11, 0x11, 0xD4, 0xC3, 0xB2, 0xA1}));
    std::uint16_t w = 0;
    std::uint32_t v = 0;
    EXPECT_TRUE(s.Get16(4, w));
    EXPECT_EQ(w, 0xA1B2);
    EXPECT_FALSE(s.Get32(3, v));
    EXPECT_FALSE(s.Get16(SIZE_MAX, w));  // no wrap-around
    EXPECT_FALSE(s.Write(SIZE_MAX - 1, b.data(), 4));
    EXPECT_FALSE(s.Sub(4, 3).data());
    EXPECT_EQ(s.Sub(4, 2).size(), 2u);
}

TEST(HwlinkBlocks, HeadersAreWrittenOverZeroedBlocks) {
    Block control(gabi::kControlBlockSize, 0xFF), input(gabi::kInputBlockSize, 0xFF), output(40, 0xFF);
    ASSERT_TRUE(gabi::InitControlBlock(Span(control), 0x8001, 3, 5));
    ASSERT_TRUE(gabi::InitInputBlock(Span(input), 2, 0xCAFEF00D));
    ASSERT_TRUE(gabi::InitOutputBlock(Span(output), 1));
    EXPECT_EQ(Get16(control, 0), 0x0400);
    EXPECT_EQ(Get16(control, 2), 0x8001);
    EXPECT_EQ(Get16(control, 4), 3);
    EXPECT_EQ(Get16(control, 12), 5);
    for (std::size_t i : {6u, 8u, 10u, 14u}) EXPECT_EQ(Get16(control, i), 0) << i;
    EXPECT_EQ(Get16(input, 0), 512);
    EXPECT_EQ(Get16(input, 2), 2);
    EXPECT_EQ(Get32(input, 4), 0xCAFEF00Du);
    EXPECT_EQ(Get16(output, 0), 40);
    EXPECT_EQ(Get16(output, 2), 1);
    EXPECT_EQ(std::count(control.begin() + 16, control.end(), 0), 1024 - 16);
    EXPECT_EQ(std::count(input.begin() + 8, input.end(), 0), 512 - 8);
    EXPECT_EQ(std::count(output.begin() + 4, output.end(), 0), 40 - 4);
}

TEST(HwlinkBlocks, BlocksTooShortForTheirHeaderOrTooLongForTheLengthWordAreRefused) {
    Block small(7, 0xFF), big(0x10000, 0);
    EXPECT_FALSE(gabi::InitInputBlock(Span(small), 1, 0));
    EXPECT_FALSE(gabi::InitOutputBlock(Span(small), 0));
    EXPECT_EQ(small, Block(7, 0xFF));
    EXPECT_FALSE(gabi::InitControlBlock(Bytes(big.data(), 15), 1, 1));
    EXPECT_FALSE(gabi::InitOutputBlock(Span(big), 0));
    EXPECT_TRUE(gabi::InitOutputBlock(Bytes(big.data(), 0xFFFF), 0));
}

TEST(HwlinkFrames, GabiFrameIsHeaderThenControlInputOutput) {
    Block c{4, 0, 0xC1, 0xC2}, i{3, 0, 0x11}, o{2, 0};
    Block frame(gabi::FrameSize(c.size(), i.size(), o.size()), 0xEE);
    ASSERT_EQ(frame.size(), 15u);
    ASSERT_TRUE(gabi::PackFrame(Span(frame), Span(c), Span(i), Span(o)));
    EXPECT_EQ(frame, (Block{4, 0, 3, 0, 2, 0, 4, 0, 0xC1, 0xC2, 3, 0, 0x11, 2, 0}));

    // The driver's reply: the blocks come back by the sizes sent, whatever the
    // reply's header words claim.
    frame[0] = 0xFF;
    frame[9] = 0x77;
    frame[12] = 0x66;
    frame[14] = 0x55;
    ASSERT_TRUE(gabi::UnpackFrame(Span(frame), Span(c), Span(i), Span(o)));
    EXPECT_EQ(c, (Block{4, 0, 0xC1, 0x77}));
    EXPECT_EQ(i, (Block{3, 0, 0x66}));
    EXPECT_EQ(o, (Block{2, 0x55}));

    Block wrong(14);
    EXPECT_FALSE(gabi::PackFrame(Span(wrong), Span(c), Span(i), Span(o)));
    EXPECT_FALSE(gabi::UnpackFrame(Span(wrong), Span(c), Span(i), Span(o)));
}

TEST(HwlinkFrames, ExtendedFrameCarriesA32BitExtraLengthAndZerosWithoutExtra) {
    Block c{2, 0}, i{2, 0}, o{2, 0}, extra{0xE1, 0xE2, 0xE3};
    Block frame(gabi::ExtendedFrameSize(2, 2, 2, 3), 0xEE);
    ASSERT_EQ(frame.size(), 19u);
    ASSERT_TRUE(gabi::PackExtendedFrame(Span(frame), Span(c), Span(i), Span(o), Bytes(), 3));
    EXPECT_EQ(frame, (Block{2, 0, 2, 0, 2, 0, 3, 0, 0, 0, 2, 0, 2, 0, 2, 0, 0, 0, 0}));
    ASSERT_TRUE(gabi::PackExtendedFrame(Span(frame), Span(c), Span(i), Span(o), Span(extra), 3));
    EXPECT_EQ(Block(frame.end() - 3, frame.end()), extra);
    frame[18] = 0x99;
    ASSERT_TRUE(gabi::UnpackExtendedFrame(Span(frame), Span(c), Span(i), Span(o), Span(extra), 3));
    EXPECT_EQ(extra, (Block{0xE1, 0xE2, 0x99}));

    EXPECT_EQ(gabi::ExtendedFrameSize(0xFFFF, 0xFFFF, 0xFFFF, 0xFFFFFFFF), 0u);  // past 32 bits
    EXPECT_EQ(gabi::FrameSize(0x10000, 0, 0), 0u);
}

TEST(HwlinkDriverService, VersionsCompareUnsignedMostSignificantWordFirst) {
    using hwlink::CompareDriverVersions;
    using hwlink::FileVersion;
    const FileVersion v1205{0x00010002, 0x00000005}, v1206{0x00010002, 0x00000006};
    EXPECT_EQ(CompareDriverVersions(v1206, v1205), status::kInstalledNewer);
    EXPECT_EQ(CompareDriverVersions(v1205, v1206), status::kInstalledOlder);
    EXPECT_EQ(CompareDriverVersions(v1205, v1205), status::kInstalledSame);
    EXPECT_EQ(CompareDriverVersions({0x80000000, 0}, {0x7FFFFFFF, 0xFFFFFFFF}), status::kInstalledNewer);
    EXPECT_EQ(CompareDriverVersions({1, 0xFFFFFFFF}, {2, 0}), status::kInstalledOlder);
}

TEST(HwlinkDriverService, AStopRefusedBecauseTheServiceIsNotRunningIsNoFailure) {
    EXPECT_TRUE(hwlink::StopErrorMeansNotActive(ERROR_SERVICE_NOT_ACTIVE));        // 1062, what Windows says
    EXPECT_TRUE(hwlink::StopErrorMeansNotActive(ERROR_INVALID_SERVICE_CONTROL));   // 1052
    EXPECT_FALSE(hwlink::StopErrorMeansNotActive(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
    EXPECT_FALSE(hwlink::StopErrorMeansNotActive(ERROR_ACCESS_DENIED));
}

TEST(HwlinkDriverService, ADirectoryTooLongForThePathIsRefusedBeforeAnythingHappens) {
    const std::string folder = "C:\\" + std::string(300, 'd');
    EXPECT_EQ(KernelDrv_Install_Test(folder.c_str(), 3), status::kInvalidArgument);
    EXPECT_EQ(KernelDrv_UnInstall_Test(folder.c_str()), status::kInvalidArgument);
}

// --- the device channel -----------------------------------------------------------

TEST(HwlinkChannel, WithoutTheDeviceEveryDeviceExportFailsAndTouchesNoOutput) {
    FakeDevice device;
    device.openFails = true;
    std::uint32_t first = 7, second = 7, flag = 7;
    EXPECT_EQ(GetDriverVersion(&first, &second), status::kDeviceUnavailable);
    EXPECT_EQ(CheckGABI(&flag), status::kDeviceUnavailable);
    EXPECT_EQ(first, 7u);
    EXPECT_EQ(second, 7u);
    EXPECT_EQ(flag, 7u);

    Block entry(256, 0xCC);
    EXPECT_EQ(GetGABIEntry(entry.data(), 256), status::kDeviceUnavailable);
    EXPECT_EQ(entry, Block(256, 0xCC));

    Block control(1024, 0xCC), input(512, 0xCC), output(64, 0xCC), reply(35, 0xCC);
    control[0] = 0, control[1] = 4, input[0] = 0, input[1] = 2, output[0] = 64, output[1] = 0;
    const Block c0 = control, i0 = input, o0 = output;
    EXPECT_EQ(CallGABIService(input.data(), output.data(), control.data()), status::kDeviceUnavailable);
    // A null block is rejected only after the presence check, which needs the device.
    EXPECT_EQ(CallGABIService(nullptr, output.data(), control.data()), status::kDeviceUnavailable);
    EXPECT_EQ(CallGABIService_SingleBuf(hwlink::ioctl::kGabiCall, output.data(), 64), status::kDeviceUnavailable);
    EXPECT_EQ(CallGABIService_4buf(hwlink::ioctl::kSystemDataRead, input.data(), output.data(), control.data(),
                                   nullptr, 8),
              status::kDeviceUnavailable);
    EXPECT_EQ(control, c0);
    EXPECT_EQ(input, i0);
    EXPECT_EQ(output, o0);
    EXPECT_EQ(_CallServiceInterface(0x8001, reply.data(), control.data()), status::kDeviceUnavailable);
    EXPECT_EQ(_CallEnter(0x8001, input.data(), 512, output.data(), 64, control.data(), 1024),
              status::kDeviceUnavailable);
    EXPECT_EQ(_CallExit(0x8001, 1, input.data(), 512, output.data(), 64, control.data(), 1024),
              status::kDeviceUnavailable);
    EXPECT_EQ(device.codes.size(), 0u);
    EXPECT_FALSE(hwlink::ChannelIsOpen());
}

TEST(HwlinkChannel, EveryCallOpensAndClosesTheDeviceAgain) {
    FakeDevice device;
    std::uint32_t first = 0, second = 0, flag = 0;
    EXPECT_EQ(GetDriverVersion(&first, &second), status::kOk);
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(second, 0x00020055u);
    EXPECT_EQ(CheckGABI(&flag), status::kOk);
    EXPECT_EQ(flag, 1u);
    EXPECT_EQ(device.opens, 2);
    EXPECT_EQ(device.closes, 2);
    EXPECT_EQ(device.codes, std::vector<std::uint32_t>{hwlink::ioctl::kGabiPresent});  // GetDriverVersion asks nothing
    EXPECT_FALSE(hwlink::ChannelIsOpen());
}

TEST(HwlinkChannel, AFailedCloseKeepsTheChannelOpenAndEveryLaterCallBusy) {
    FakeDevice device;
    device.closeFails = true;
    std::uint32_t first = 0, second = 0, flag = 9;
    EXPECT_EQ(GetDriverVersion(&first, &second), status::kCloseFailed);
    EXPECT_EQ(second, 0x00020055u);  // the values were stored before the close
    EXPECT_TRUE(hwlink::ChannelIsOpen());

    device.closeFails = false;
    EXPECT_EQ(CheckGABI(&flag), status::kChannelBusy);
    EXPECT_EQ(flag, 9u);
    EXPECT_EQ(GetDriverVersion(&first, &second), status::kChannelBusy);
    EXPECT_EQ(KernelDrv_Install(), status::kChannelBusy);
    EXPECT_EQ(KernelDrv_UnInstall(), status::kChannelBusy);
    EXPECT_EQ(KernelDrv_Install_Test("C:\\nowhere", 3), status::kChannelBusy);
    EXPECT_EQ(KernelDrv_UnInstall_Test("C:\\nowhere"), status::kChannelBusy);
    EXPECT_EQ(device.opens, 1);
    EXPECT_TRUE(device.codes.empty());

    hwlink::ReleaseChannel();  // what unloading does
    EXPECT_FALSE(hwlink::ChannelIsOpen());
    EXPECT_EQ(CheckGABI(&flag), status::kOk);
}

TEST(HwlinkChannel, TheOperationsFailureWinsOverAFailingClose) {
    FakeDevice device;
    device.presenceFails = true;
    device.closeFails = true;
    std::uint32_t flag = 9;
    EXPECT_EQ(CheckGABI(&flag), status::kRequestFailed);
    EXPECT_EQ(flag, 9u);
    EXPECT_TRUE(hwlink::ChannelIsOpen());  // the quiet close failed too
    device.closeFails = false;
    hwlink::ReleaseChannel();
    EXPECT_FALSE(hwlink::ChannelIsOpen());
}

TEST(HwlinkChannel, ReplySizesAreChecked) {
    FakeDevice device;
    device.presenceReplySize = 3;
    std::uint32_t flag = 9;
    EXPECT_EQ(CheckGABI(&flag), status::kReplySize);
    EXPECT_EQ(flag, 9u);
    EXPECT_EQ(device.opens, device.closes);
    EXPECT_FALSE(hwlink::ChannelIsOpen());
}
