// The 32-bit status every export of hwlink.dll returns. One table for the whole
// library; exports return these names, never bare numbers. No Windows headers.
#pragma once
#include <cstdint>

namespace hwlink {

using Status = std::uint32_t;

namespace status {
inline constexpr Status kOk = 0;
inline constexpr Status kChannelBusy = 0x10001;         // device channel already open; nothing done
inline constexpr Status kInvalidArgument = 0x10002;     // null pointer, zero length, value out of range
inline constexpr Status kDeviceUnavailable = 0x10003;   // "\\.\KHWPORT" could not be opened
inline constexpr Status kCloseFailed = 0x10004;         // closing the channel failed; handle stays stored
inline constexpr Status kRequestFailed = 0x10005;       // DeviceIoControl failed
inline constexpr Status kReplySize = 0x10006;           // the driver returned an unexpected byte count
inline constexpr Status kBufferTooSmall = 0x10007;      // the caller's buffer cannot take the data
inline constexpr Status kAllocFailed = 0x10008;         // GlobalAlloc failed
inline constexpr Status kLockFailed = 0x10009;          // GlobalLock failed
inline constexpr Status kStructNotFound = 0x1000A;      // SMBIOS structure not found
inline constexpr Status kGabiAbsent = 0x1000B;          // no GABI firmware interface
inline constexpr Status kScmUnavailable = 0x1000C;      // service control manager could not be opened
inline constexpr Status kServiceOpenFailed = 0x1000D;   // driver service could not be opened (other than absent)
inline constexpr Status kServiceStopFailed = 0x1000E;   // stop failed (other than not active) or never completed
inline constexpr Status kServiceDeleteFailed = 0x1000F;
inline constexpr Status kDriverFileMissing = 0x10010;   // no KHWPORT.SYS in the current directory
inline constexpr Status kDriverCopyFailed = 0x10011;
inline constexpr Status kServiceCreateFailed = 0x10012;
inline constexpr Status kServiceStartFailed = 0x10013;
inline constexpr Status kInstalledNewer = 0x10014;      // service exists, installed file is newer
inline constexpr Status kInstalledOlder = 0x10015;      // service exists, installed file is older
inline constexpr Status kInstalledSame = 0x10016;       // service exists, same version
inline constexpr Status kVersionUnreadable = 0x10017;   // service exists, a version could not be read
inline constexpr Status kRequestTooLarge = 0x10019;     // caller's data does not fit one firmware request
inline constexpr Status kFirmwareBase = 0x20000;        // + a firmware status word; alone: words refused
inline constexpr Status kEnterFailed = 0x2D000;         // service call sequence: enter step
inline constexpr Status kFunctionFailed = 0x2E000;      // service call sequence: function step
inline constexpr Status kExitFailed = 0x2F000;          // service call sequence: exit step
inline constexpr Status kResultAllocFailed = 0xFFFF;    // result array of a device firmware query

// A firmware status word as the library reports it.
constexpr Status FirmwareWord(std::uint16_t word) { return kFirmwareBase + word; }
}  // namespace status

}  // namespace hwlink
