// The 32-bit status every export of hwlink.dll returns, under the names the
// library's code uses; the values are the public ones of hwlink.h. Exports return
// these names, never bare numbers. No Windows headers.
#pragma once
#include <cstdint>

#include "hwlink/hwlink.h"

namespace hwlink {

using Status = std::uint32_t;

namespace status {
inline constexpr Status kOk = HWLINK_OK;
inline constexpr Status kChannelBusy = HWLINK_CHANNEL_BUSY;
inline constexpr Status kInvalidArgument = HWLINK_INVALID_ARGUMENT;
inline constexpr Status kDeviceUnavailable = HWLINK_DEVICE_UNAVAILABLE;
inline constexpr Status kCloseFailed = HWLINK_CLOSE_FAILED;
inline constexpr Status kRequestFailed = HWLINK_REQUEST_FAILED;
inline constexpr Status kReplySize = HWLINK_REPLY_SIZE;
inline constexpr Status kBufferTooSmall = HWLINK_BUFFER_TOO_SMALL;
inline constexpr Status kAllocFailed = HWLINK_ALLOC_FAILED;
inline constexpr Status kLockFailed = HWLINK_LOCK_FAILED;
inline constexpr Status kStructNotFound = HWLINK_STRUCT_NOT_FOUND;
inline constexpr Status kGabiAbsent = HWLINK_GABI_ABSENT;
inline constexpr Status kScmUnavailable = HWLINK_SCM_UNAVAILABLE;
inline constexpr Status kServiceOpenFailed = HWLINK_SERVICE_OPEN_FAILED;
inline constexpr Status kServiceStopFailed = HWLINK_SERVICE_STOP_FAILED;
inline constexpr Status kServiceDeleteFailed = HWLINK_SERVICE_DELETE_FAILED;
inline constexpr Status kDriverFileMissing = HWLINK_DRIVER_FILE_MISSING;
inline constexpr Status kDriverCopyFailed = HWLINK_DRIVER_COPY_FAILED;
inline constexpr Status kServiceCreateFailed = HWLINK_SERVICE_CREATE_FAILED;
inline constexpr Status kServiceStartFailed = HWLINK_SERVICE_START_FAILED;
inline constexpr Status kInstalledNewer = HWLINK_INSTALLED_NEWER;
inline constexpr Status kInstalledOlder = HWLINK_INSTALLED_OLDER;
inline constexpr Status kInstalledSame = HWLINK_INSTALLED_SAME;
inline constexpr Status kVersionUnreadable = HWLINK_VERSION_UNREADABLE;
inline constexpr Status kRequestTooLarge = HWLINK_REQUEST_TOO_LARGE;
inline constexpr Status kFirmwareBase = HWLINK_FIRMWARE_BASE;
inline constexpr Status kEnterFailed = HWLINK_ENTER_FAILED;
inline constexpr Status kFunctionFailed = HWLINK_FUNCTION_FAILED;
inline constexpr Status kExitFailed = HWLINK_EXIT_FAILED;
inline constexpr Status kResultAllocFailed = HWLINK_RESULT_ALLOC_FAILED;

// A firmware status word as the library reports it.
constexpr Status FirmwareWord(std::uint16_t word) { return kFirmwareBase + word; }
}  // namespace status

}  // namespace hwlink
