// Exit codes of Fetchrun.exe. Target mode ends with the dialog's result code: one
// of the codes below, or the system error with which the start of the update
// program failed (1223 when elevation was refused). Pure: no Windows headers.
#pragma once
#include <cstdint>

#include "fetchrun/transfer/transfer_result.h"

namespace fetchrun {

enum ExitCode : std::uint32_t {
    kExitSuccess = 0,           // hash mode: INI written; target mode: program started
    kExitNoTempFile = 100,      // "can't get Temporary file(ini)."
    kExitSettingsThread = 101,  // "can't create ini download thread."
    kExitDownload = 102,        // the worker's result text
    kExitEndCode = 103,         // "EndCode: %s."
    kExitUnknownStatus = 104,   // "Target is unknown status."
    kExitProgramThread = 105,   // "can't create download thread(exe)."
    kExitParameter = 106,       // no argument vector; "parameter error: target file."; "error - Parameter error."
    kExitMutex = 107,           // "error - Mutex create failed."
    kExitAlreadyRunning = 108,  // "error - already existed."
    kExitHashThread = 109,      // "Can't create hash thread."
    kExitHashEmpty = 110,       // "Hash is Empty !"
    kExitIniFile = 111,         // "Can't create ini file 0x%08X."
    kExitTargetNotFound = 112,  // "error - Target not found."
    kExitCreateDialog = 113,    // "error - CreateDialog failed."
    kExitRename = 114,          // "rename failed."
    kExitUnknownPhase = 115,    // "unknown phase %d."
};

// The system error of a refused elevation prompt (ERROR_CANCELLED): a quiet end.
inline constexpr std::uint32_t kElevationRefused = 1223;

// The result code of a download that failed: a program that could not get its
// ".exe" name, or be held under it, fails as the rename does; anything else is
// the download's failure.
inline std::uint32_t DownloadFailureCode(const TransferResult& result) {
    return result.failure == TransferFailure::Rename ? kExitRename : kExitDownload;
}

}  // namespace fetchrun
