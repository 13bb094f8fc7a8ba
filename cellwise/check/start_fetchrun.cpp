#include "cellwise/check/start_fetchrun.h"

#include <windows.h>

#include <vector>

#include "common/companion.h"
#include "common/held_file.h"
#include "common/unique_handle.h"

namespace cw {
namespace {
constexpr wchar_t kDebugLogArgument[] = L" /log:c:\\temp\\Fetchrun.log";
#if defined(__i386__)
static_assert(sizeof(STARTUPINFOW) == 68, "i686 STARTUPINFOW");
#endif
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
    // the process exists, so the program started is the program checked.
    const unique_file held = HoldTrustedFile(program.c_str(), WTD_UI_NOGOOD);
    if (!held) return false;

    const std::wstring line = BuildFetchrunCommandLine(program, target, debug);
    std::vector<wchar_t> mutableLine(line.begin(), line.end());
    mutableLine.push_back(L'\0');

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP, nullptr, folder.c_str(), &startup,
                        &process)) {
        return false;
    }
    unique_kernel thread(process.hThread);
    unique_kernel child(process.hProcess);
    return true;
}

}  // namespace cw
