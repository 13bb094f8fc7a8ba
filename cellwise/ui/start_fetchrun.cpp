#include "cellwise/ui/start_fetchrun.h"

#include <windows.h>

#include "common/companion.h"
#include "common/detached_process.h"
#include "common/signature.h"
#include "common/unique_handle.h"

namespace cw {
namespace {
constexpr wchar_t kDebugLogArgument[] = L" /log:c:\\temp\\Fetchrun.log";
}  // namespace

std::wstring BuildFetchrunCommandLine(const std::wstring& program, const std::wstring& target, bool debug) {
    std::wstring line = L"\"" + program + L"\" \"/Target:" + target + L"\"";
    if (debug) line += kDebugLogArgument;
    if (line.size() > kFetchrunCommandLineMax) line.resize(kFetchrunCommandLineMax);
    return line;
}

bool StartFetchrun(bool debug, const std::wstring& target) {
    const std::wstring folder = OwnFolder();
    if (folder.empty()) return false;
    const std::wstring program = CompanionPath(kFetchrunName);
    if (program.empty()) return false;
    // Always checked: neither noverifysignature nor silent relaxes it. Held until
    // the process exists: no handle opened meanwhile changes or replaces it.
    const unique_file held = HoldTrustedFile(program.c_str(), WTD_UI_NOGOOD);
    if (!held) return false;

    // Started in the program's folder, whatever the current directory is.
    return StartDetachedProcess(BuildFetchrunCommandLine(program, target, debug), folder.c_str()) == 0;
}

}  // namespace cw
