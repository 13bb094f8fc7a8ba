#pragma once
#include "cellwise/identify/battery_record.h"

namespace cw {

struct RunSettings {
    bool silent = false;
    bool verifySignature = true;
    bool viewTarget = false;
    bool fetchrunDebug = false;
};

// Exit codes of Cellwise.exe.
enum ExitCode : int {
    kTargetFound = 0,
    kNoTarget = 1,
    kCommandLineRejected = 2,
    kLibraryUnavailable = 3,
    kNoBattery = 4,
    kLanguageMismatch = 5,
};

// Loads the language library, identifies the batteries and decides; returns
// kTargetFound, kNoTarget, kLibraryUnavailable or kNoBattery.
int RunCheck(const RunSettings& settings, BatteryList& batteries);

}  // namespace cw
