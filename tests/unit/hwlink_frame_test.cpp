// hwlink's frame: the driver version comparison and service rules, and the device
// channel's open/close rule.
#include <gtest/gtest.h>

#include "hwlink/frame/driver_service.h"
#include "tests/unit/hwlink_fake_device.h"

namespace status = hwlink::status;
using hwtest::Block;
using hwtest::FakeDevice;

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
