#include "fetchrun/app/run_update.h"

#include <powrprof.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstddef>
#include <string>
#include <vector>

#include "common/detached_process.h"
#include "common/registry_text.h"
#include "fetchrun/transfer/fetchrun_log.h"

namespace fetchrun {
namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"NRV0B52_Apps";
constexpr DWORD kRunValueBytes = 1040;  // 520 characters
constexpr DWORD kExpandedChars = 5000;

wchar_t kSystemReason[] = L"{B8C41AF9-DF47-4DE8-BAB5-46DB2AA2BA44} is running.";
wchar_t kDisplayReason[] = L"{5A37D90E-FCD6-408F-9E50-93E68C89C51A} is running.";

// MinGW's SYSTEM_POWER_CAPABILITIES predates the AoAc member: it is the third of
// the bytes the header calls spare2.
constexpr std::size_t kAoAcOffset = 20;
static_assert(sizeof(SYSTEM_POWER_CAPABILITIES) == 76, "SYSTEM_POWER_CAPABILITIES layout");
static_assert(offsetof(SYSTEM_POWER_CAPABILITIES, spare2) + 2 == kAoAcOffset, "AoAc position");

// Systems with always-on, always-connected standby keep running on an execution
// request; the others on a system request.
POWER_REQUEST_TYPE SystemRequestType() {
    SYSTEM_POWER_CAPABILITIES capabilities = {};
    const NTSTATUS status =
        CallNtPowerInformation(SystemPowerCapabilities, nullptr, 0, &capabilities, sizeof(capabilities));
    const bool aoac = status == 0 && capabilities.spare2[kAoAcOffset - offsetof(SYSTEM_POWER_CAPABILITIES, spare2)];
    return aoac ? PowerRequestExecutionRequired : PowerRequestSystemRequired;
}

cw::unique_file MakeRequest(wchar_t* reason, POWER_REQUEST_TYPE type) {
    REASON_CONTEXT context = {};
    context.Version = POWER_REQUEST_CONTEXT_VERSION;
    context.Flags = POWER_REQUEST_CONTEXT_SIMPLE_STRING;
    context.Reason.SimpleReasonString = reason;
    HANDLE created = PowerCreateRequest(&context);
    if (!created || created == INVALID_HANDLE_VALUE) return {};
    cw::unique_file request(created);
    if (!PowerSetRequest(request.get(), type)) request.reset();
    return request;
}

// The Run value's text in one registry view; `opened` tells whether the key opened.
// An empty text counts as none.
std::wstring ReadRunCommand(REGSAM view, bool& opened) {
    const cw::unique_hkey key = cw::OpenKeyForReading(HKEY_LOCAL_MACHINE, kRunKey, view);
    opened = static_cast<bool>(key);
    return key ? cw::ReadRegistryText(key.get(), kRunValue, kRunValueBytes) : std::wstring();
}

}  // namespace

DWORD RunElevated(const VerifiedFileLock& held, const wchar_t* parameters, const wchar_t* verb) {
    if (!held.IsHeld()) return ERROR_INVALID_HANDLE;
    const wchar_t* program = held.Path().c_str();
    const std::wstring file = std::wstring(L"\"") + program + L"\"";
    wchar_t folder[MAX_PATH] = {};
    lstrcpynW(folder, program, MAX_PATH);
    PathRemoveFileSpecW(folder);

    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NO_CONSOLE;
    info.hwnd = nullptr;
    info.lpVerb = (verb && *verb) ? verb : nullptr;
    info.lpFile = file.c_str();
    info.lpParameters = (parameters && *parameters) ? parameters : nullptr;
    info.lpDirectory = folder;
    info.nShow = SW_SHOWNORMAL;

    LogFormat(L"exec  : %s.", file.c_str());
    LogFormat(L"param : %s.", parameters ? parameters : L"");
    LogFormat(L"verb  : %s.", verb ? verb : L"");

    if (!ShellExecuteExW(&info)) {
        // A failure must never read as "started", even when no error was set.
        const DWORD error = GetLastError();
        const DWORD code = error != 0 ? error : ERROR_GEN_FAILURE;
        LogFormat(L"ShellExecuteEx failed %d.", static_cast<int>(code));
        return code;
    }
    // The program outlives Fetchrun; nothing waits for it.
    cw::unique_kernel process(info.hProcess);
    return 0;
}

void LaunchRunKeyCommand() {
    // The process's own view first. Under WoW64 that is the 32-bit view, and a
    // 64-bit installer writes the value into the 64-bit one: look there next.
    bool ownOpened = false;
    bool nativeOpened = false;
    std::wstring command = ReadRunCommand(0, ownOpened);
    if (command.empty()) command = ReadRunCommand(KEY_WOW64_64KEY, nativeOpened);
    if (!ownOpened && !nativeOpened) {
        LogLine(L"can't open reg (run).");
        return;
    }
    if (command.empty()) {
        LogLine(L"can't read cmd (run).");
        return;
    }
    std::vector<wchar_t> expanded(kExpandedChars, L'\0');
    const DWORD needed = ExpandEnvironmentStringsW(command.c_str(), expanded.data(), kExpandedChars);
    if (needed == 0 || needed > kExpandedChars) {
        LogLine(L"can't read cmd (run).");
        return;
    }
    StartProcess(expanded.data());
}

DWORD StartProcess(const wchar_t* commandLine) {
    LogFormat(L"cmd  : %s.", commandLine);
    const DWORD error = cw::StartDetachedProcess(commandLine, nullptr);
    if (error != 0) LogFormat(L"CreateProcess failed %d.", static_cast<int>(error));
    return error;
}

void CPowerRequests::StartSystem() {
    if (!system_) system_ = MakeRequest(kSystemReason, SystemRequestType());
}

void CPowerRequests::StartDisplay() {
    if (!display_) display_ = MakeRequest(kDisplayReason, PowerRequestDisplayRequired);
}

void CPowerRequests::End() {
    if (system_) {
        PowerClearRequest(system_.get(), SystemRequestType());
        system_.reset();
    }
    if (display_) {
        PowerClearRequest(display_.get(), PowerRequestDisplayRequired);
        display_.reset();
    }
}

}  // namespace fetchrun
