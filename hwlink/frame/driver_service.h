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

}  // namespace hwlink
