// Entry of Cellwise.exe: options, language guard, check, result event, exit code.
#include <windows.h>

#include <string>
#include <vector>

#include "cellwise/check/command_line.h"
#include "cellwise/report/csv_report.h"
#include "cellwise/report/event_log.h"
#include "cellwise/check/lang_guard.h"
#include "cellwise/check/run_check.h"
#include "common/process_args.h"
#include "common/system_library.h"

namespace {

int RunCellwise() {
    std::vector<std::wstring> args;
    if (!cw::SplitProcessCommandLine(args)) return cw::kCommandLineRejected;
    cw::CommandLineParser parser = cw::MakeCellwiseParser();
    if (!parser.Parse(args)) return cw::kCommandLineRejected;

    if (parser.Present(cw::option::kLog)) cw::EventLog::Instance().Open(parser.Value(cw::option::kLog).c_str());

    if (parser.Present(cw::option::kLangId) && !cw::LanguageMatches(parser.Value(cw::option::kLangId))) {
        return cw::kLanguageMismatch;
    }

    cw::RunSettings settings;
    settings.silent = parser.Present(cw::option::kSilent);
    settings.verifySignature = !parser.Present(cw::option::kNoVerifySignature);
    settings.viewTarget = parser.Present(cw::option::kViewTarget);
    settings.fetchrunDebug = parser.Present(cw::option::kFetchrunDebug);

    cw::BatteryList batteries;
    const int result = cw::RunCheck(settings, batteries);
    cw::EventLog::Instance().Write(cw::EventKind::Information, cw::kResultEvent, L"result=%d", result);
    if (parser.Present(cw::option::kLogCsv)) cw::WriteCsvReport(parser.Value(cw::option::kLogCsv).c_str(), result, batteries);
    return result;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // First of all: every DLL loaded from here on comes from the system folder.
    cw::RestrictDllSearchToSystem();
    return RunCellwise();
}
