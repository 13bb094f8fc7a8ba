// The driver service KHWPORT: installing, starting, stopping and removing it, and
// the version comparison of an installed driver file with a candidate.
#pragma once
#include <cstdint>

#include "hwlink/frame/status.h"

namespace hwlink {

inline constexpr char kServiceName[] = "KHWPORT";
inline constexpr char kDriverFileName[] = "KHWPORT.SYS";
inline constexpr char kLoadOrderGroup[] = "Extended base";
inline constexpr std::uint32_t kBootStart = 0;  // start type of KernelDrv_Install
inline constexpr std::uint32_t kRequestedTag = 2;

// Polls of the service state while it stops, one a second; a driver that has not
// stopped by then is reported as a failed stop and left in place.
inline constexpr unsigned kStopPolls = 30;
inline constexpr unsigned kStopPollMs = 1000;
inline constexpr unsigned kSettleBeforeDeleteMs = 3000;

// A file version as the version resource gives it: most- and least-significant words.
struct FileVersion {
    std::uint32_t ms = 0;
    std::uint32_t ls = 0;
};

// The outcome of installing over an existing service: kInstalledSame,
// kInstalledNewer (installed > candidate) or kInstalledOlder. Unsigned, MS word first.
constexpr Status CompareDriverVersions(FileVersion installed, FileVersion candidate) {
    if (installed.ms == candidate.ms && installed.ls == candidate.ls) return status::kInstalledSame;
    if (installed.ms > candidate.ms || (installed.ms == candidate.ms && installed.ls > candidate.ls))
        return status::kInstalledNewer;
    return status::kInstalledOlder;
}

// The stop request failed with `error`: true when that means the service is simply
// not running. Windows reports 1062 (ERROR_SERVICE_NOT_ACTIVE); 1052
// (ERROR_INVALID_SERVICE_CONTROL) is taken the same way.
constexpr bool StopErrorMeansNotActive(std::uint32_t error) { return error == 1062 || error == 1052; }

// While it lives, the calling thread sees the system folders as 64-bit Windows
// has them, WoW64's file-system redirection turned off. The service control
// manager reads the driver's binary path in that view; a 32-bit process that
// copies, reads or deletes the driver file at that path must use it too, or its
// file operations land in the 32-bit system folder. The candidate file is looked
// up and read in the same view it is copied in. Outside WoW64 it does nothing.
// Keep it around exactly those file operations: everything the thread loads while
// it lives comes from the native folders as well.
class NativeFileSystemView {
public:
    NativeFileSystemView();
    ~NativeFileSystemView();
    NativeFileSystemView(const NativeFileSystemView&) = delete;
    NativeFileSystemView& operator=(const NativeFileSystemView&) = delete;

    // True when redirection was on and is now off.
    bool redirectionOff() const { return off_; }

private:
    void* previous_ = nullptr;
    bool off_ = false;
};

}  // namespace hwlink
