#include "cellwise/check/run_check.h"

#include <windows.h>

#include "cellwise/identify/battery_query.h"
#include "cellwise/check/library_ids.h"
#include "cellwise/identify/platform_id.h"
#include "cellwise/report/event_log.h"
#include "cellwise/ui/resource.h"
#include "cellwise/ui/result_dialog.h"
#include "common/resource_library.h"
#include "cellwise/check/show_message.h"
#include "common/unique_handle.h"
#include "cellwise/verdict/verdict.h"

namespace cw {

CheckMachine::~CheckMachine() = default;

BatteryList CheckMachine::Batteries(EventSink& events) { return EnumerateBatteries(events); }

bool CheckMachine::PlatformId(const PairList& platformPairs, std::wstring& platformId) {
    return GetPlatformId(platformPairs, platformId);
}

int RunCheck(const RunSettings& settings, BatteryList& batteries) {
    CheckMachine machine;
    return RunCheck(settings, batteries, machine);
}

int RunCheck(const RunSettings& settings, BatteryList& batteries, CheckMachine& machine) {
    batteries.clear();

    const ResourceLibrary library = LoadResourceLibrary(settings.verifySignature, settings.silent);
    if (!library) {
        if (!settings.viewTarget) {
            ShowMessage(settings, GetModuleHandleW(nullptr), IDS_LIBRARY_MISSING, MB_ICONERROR);
        }
        return kLibraryUnavailable;
    }

    const LineList targetNames = ReadLineList(library.get(), library::kTargetNames);
    const LineList serialBounds = ReadLineList(library.get(), library::kSerialBounds);
    const PairList targetPairs = ReadPairList(library.get(), library::kTargetPairs);
    const PairList platformPairs = ReadPairList(library.get(), library::kPlatformPairs);

    const BatteryList found = machine.Batteries(EventLog::Instance());
    if (found.empty()) {
        if (!settings.viewTarget) ShowMessage(settings, library.get(), library::kNoBatteryText, 0);
        return kNoBattery;
    }
    batteries = found;

    CheckOutcome outcome = DecideOutcome(targetNames, serialBounds, targetPairs, batteries);
    // A machine not listed, or any missing piece on the way, leaves platformId empty.
    machine.PlatformId(platformPairs, outcome.platformId);
    outcome.fetchrunDebug = settings.fetchrunDebug;

    // With ViewTarget only a target pack is worth a window. The dialog's end code
    // does not change the result.
    if (!settings.silent && (!settings.viewTarget || outcome.found)) ShowResultDialog(outcome);

    return outcome.found ? kTargetFound : kNoTarget;
}

}  // namespace cw
