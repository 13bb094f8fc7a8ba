// Entry of Fetchrun.exe: options, log, single instance, then hash mode or target
// mode. The exit code is the run's result (exit_codes.h).
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "fetchrun/app/app_state.h"
#include "fetchrun/app/exit_codes.h"
#include "fetchrun/app/fetch_dialog.h"
#include "fetchrun/transfer/fetchrun_log.h"
#include "common/foreground.h"
#include "fetchrun/app/hash_mode.h"
#include "fetchrun/app/options.h"
#include "fetchrun/app/run_update.h"
#include "fetchrun/app/target_texts.h"
#include "common/process_args.h"
#include "common/system_library.h"
#include "common/unique_handle.h"

namespace fetchrun {
namespace {

constexpr wchar_t kMutexName[] = L"Fetchrun{AF4A7C12-10F2-4781-8FEE-19D7C721D0F4}";

void LogTexts(const FetchrunState& state) {
    const TargetTexts& t = state.texts;
    LogFormat(L"Title      : %s.", t.title.c_str());
    LogFormat(L"SettingUrl : %s.", state.settingUrl.c_str());
    LogFormat(L"Downloading: %s.", t.downloading.c_str());
    LogFormat(L"ErrorMsg   : %s.", t.errorMsg.c_str());
    LogFormat(L"Copyright  : %s.", t.copyright.c_str());
    LogFormat(L"RetryBtn   : %s.", t.retryBtn.c_str());
    LogFormat(L"AfterBtn   : %s.", t.afterBtn.c_str());
    LogFormat(L"EndMsg     : %s.", t.endMsg.c_str());
}

// Messages until the quit message. While a worker runs, the end of its thread
// wakes the loop as a message does, and the dialog polls it at once; the poll
// timer stays for loops that are not this one (a window being moved, say).
void RunMessageLoop(CFetchDialog& dialog) {
    for (;;) {
        HANDLE worker = dialog.WorkerThread();
        const DWORD count = worker ? 1 : 0;
        const DWORD woken = MsgWaitForMultipleObjectsEx(count, &worker, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (count != 0 && woken == WAIT_OBJECT_0) {
            dialog.PollWorker();
            continue;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return;
            const HWND current = dialog.Window();
            if (current && IsDialogMessageW(current, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

DWORD RunTargetMode(HINSTANCE instance, const FetchrunOptions& options, cw::unique_kernel& mutex) {
    FetchrunState state;
    state.silent = options.silent;
    state.target = options.target;
    state.settingUrl = options.settingUrl;
    if (state.settingUrl.empty() && state.target.empty()) {
        LogLine(L"error - Parameter error.");
        return kExitParameter;
    }
    LogFormat(L"Type      : %s.", state.target.c_str());

    if (!LoadTargetTexts(state)) {
        if (!state.silent && !state.texts.notFoundMsg.empty()) {
            MessageBoxW(nullptr, state.texts.notFoundMsg.c_str(), state.texts.title.c_str(), MB_ICONINFORMATION);
        }
        cw::BringToForeground(GetDesktopWindow());
        LaunchRunKeyCommand();
        LogLine(L"error - Target not found.");
        return kExitTargetNotFound;
    }
    LogTexts(state);
    state.texts.downloading = ExpandLineBreaks(state.texts.downloading);
    state.texts.errorMsg = ExpandLineBreaks(state.texts.errorMsg);
    state.texts.endMsg = ExpandLineBreaks(state.texts.endMsg);

    InitCommonControls();
    CFetchDialog dialog(state);
    const HWND window = dialog.Create(instance);
    if (!window) {
        mutex.reset();
        LogLine(L"error - CreateDialog failed.");
        return kExitCreateDialog;
    }
    CPowerRequests power;
    power.StartSystem();
    power.StartDisplay();
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);

    RunMessageLoop(dialog);

    // After a start the program may still be running from its temporary file.
    if (state.resultCode != 0) {
        if (!state.exeFile.empty()) DeleteFileW(state.exeFile.c_str());
        if (!state.settingFile.empty()) DeleteFileW(state.settingFile.c_str());
    }
    power.End();
    LogFormat(L"return 0x%08X.", state.resultCode);
    return state.resultCode;
}

DWORD RunFetchrun(HINSTANCE instance) {
    std::vector<std::wstring> args;
    if (!cw::SplitProcessCommandLine(args)) return kExitParameter;
    const FetchrunOptions options = ParseFetchrunOptions(args);
    for (const std::wstring& path : options.logPaths) {
        if (!path.empty() && !IsLogOpen()) OpenLog(path.c_str());
        LogHeader();
        LogFormat(L"LOG mode (%s).", path.c_str());
    }
    if (options.silent) LogLine(L"Silent.");

    cw::unique_kernel mutex(CreateMutexExW(nullptr, kMutexName, 0, MUTEX_ALL_ACCESS));
    const DWORD mutexError = GetLastError();
    if (!mutex) {
        LogLine(L"error - Mutex create failed.");
        return kExitMutex;
    }
    if (mutexError == ERROR_ALREADY_EXISTS) {
        mutex.reset();
        LogLine(L"error - already existed.");
        return kExitAlreadyRunning;
    }

    if (options.hashMode) return RunHashMode(options);
    return RunTargetMode(instance, options, mutex);
}

}  // namespace
}  // namespace fetchrun

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // First of all: every DLL loaded from here on comes from the system folder.
    cw::RestrictDllSearchToSystem();
    const DWORD code = fetchrun::RunFetchrun(instance);
    fetchrun::CloseLog();
    return static_cast<int>(code);
}
