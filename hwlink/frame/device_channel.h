// The library's one device channel to "\\.\KHWPORT": a process-wide handle that
// each export opens for its requests and closes again, and the I/O control codes
// of the driver's interface.
#pragma once
#include <windows.h>

#include <cstdint>

#include "hwlink/frame/status.h"

namespace hwlink {

// I/O control codes: device type 0x22, read and write access.
namespace ioctl {
inline constexpr std::uint32_t kBuffered = 0;
inline constexpr std::uint32_t kOutDirect = 2;
constexpr std::uint32_t Code(std::uint32_t function, std::uint32_t method) {
    return 0x22u << 16 | 3u << 14 | function << 2 | method;
}
//                                                  function  method      reply
inline constexpr std::uint32_t kReadNbe = Code(0x820, kBuffered);       // 32 bytes
inline constexpr std::uint32_t kReadSmbiosEntry = Code(0x821, kBuffered);  // 31 bytes
inline constexpr std::uint32_t kReadSmbiosTable = Code(0x822, kBuffered);  // caller-sized
inline constexpr std::uint32_t kReadGabiEntry = Code(0x823, kBuffered);    // 256 bytes
inline constexpr std::uint32_t kGabiPresent = Code(0x824, kBuffered);      // 4 bytes
inline constexpr std::uint32_t kGabiCall = Code(0x825, kOutDirect);        // GabiFrame
inline constexpr std::uint32_t kSystemDataRead = Code(0x826, kOutDirect);  // block or GabiExtendedFrame
inline constexpr std::uint32_t kSystemDataWrite = Code(0x827, kOutDirect);
inline constexpr std::uint32_t kReadPort = Code(0x828, kBuffered);         // PortRequest
inline constexpr std::uint32_t kWritePort = Code(0x829, kBuffered);
inline constexpr std::uint32_t kNvramCall = Code(0x82A, kOutDirect);       // GabiFrame
inline constexpr std::uint32_t kReadMemory = Code(0x8F0, kOutDirect);      // caller-sized

static_assert(kReadNbe == 0x22E080 && kGabiPresent == 0x22E090 && kGabiCall == 0x22E096 &&
              kSystemDataWrite == 0x22E09E && kWritePort == 0x22E0A4 && kNvramCall == 0x22E0AA &&
              kReadMemory == 0x22E3C2);
}  // namespace ioctl

inline constexpr char kDevicePath[] = "\\\\.\\KHWPORT";

// The three calls the channel makes. The product uses the system's; tests put in
// their own to produce what a driver cannot (a failing close, a short reply).
struct DeviceCalls {
    HANDLE (*open)(const char* path);
    BOOL (*control)(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                    DWORD* returned);
    BOOL (*close)(HANDLE device);
};

// Makes `calls` (null: the system's) the device calls of every later channel;
// returns the previous ones.
const DeviceCalls* UseDeviceCalls(const DeviceCalls* calls);

// Whether the process-wide handle is open (a call is running, or a close failed).
bool ChannelIsOpen();

// For unloading: closes a handle left open; it is marked closed only if closing
// succeeded.
void ReleaseChannel();

// One export's use of the channel. Open, send, then Finish with the call's result;
// a Channel destroyed without Finish closes quietly.
class Channel {
public:
    Channel() = default;
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;
    ~Channel();

    // kChannelBusy (handle untouched) or kDeviceUnavailable.
    Status Open();
    // One synchronous request; kRequestFailed when it fails. `returned` gets the
    // driver's byte count.
    Status Control(std::uint32_t code, void* in, std::uint32_t inSize, void* out, std::uint32_t outSize,
                   std::uint32_t& returned);
    // Ends the call. A success closes the handle and becomes kCloseFailed if that
    // fails (the handle stays stored); a failure closes quietly and is returned as
    // it is, so the operation's failure wins over the close's.
    Status Finish(Status result);

private:
    void CloseQuietly();
    bool owner_ = false;
};

}  // namespace hwlink
