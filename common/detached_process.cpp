#include "common/detached_process.h"

#include <vector>

#include "common/unique_handle.h"

namespace cw {
namespace {
#if defined(__i386__)
static_assert(sizeof(STARTUPINFOW) == 68, "i686 STARTUPINFOW");
#endif
}  // namespace

DWORD StartDetachedProcess(const std::wstring& commandLine, const wchar_t* workingDirectory) {
    // CreateProcessW may write into the command line.
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP,
                        nullptr, workingDirectory, &startup, &process)) {
        // A failure must never read as "started", even when no error was set.
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_GEN_FAILURE;
    }
    unique_kernel thread(process.hThread);
    unique_kernel child(process.hProcess);
    return 0;
}

}  // namespace cw
