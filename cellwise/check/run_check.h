#pragma once
#include <string>

#include "cellwise/events.h"
#include "cellwise/identify/battery_record.h"
#include "common/text_list.h"

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

// What a check asks of the machine it runs on. The product asks the battery class
// driver, the firmware tables and hwlink.dll; tests derive their own answers.
class CheckMachine {
public:
    virtual ~CheckMachine();
    // EnumerateBatteries: device batteries, then the SMBIOS fallback.
    virtual BatteryList Batteries(EventSink& events);
    // GetPlatformId with the platform list (TXT 114).
    virtual bool PlatformId(const PairList& platformPairs, std::wstring& platformId);
};

// Loads the language library, identifies the batteries and decides; returns
// kTargetFound, kNoTarget, kLibraryUnavailable or kNoBattery.
int RunCheck(const RunSettings& settings, BatteryList& batteries);
int RunCheck(const RunSettings& settings, BatteryList& batteries, CheckMachine& machine);

}  // namespace cw
