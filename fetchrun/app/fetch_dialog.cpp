#include "fetchrun/app/fetch_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include <new>

#include "fetchrun/app/exit_codes.h"
#include "fetchrun/transfer/fetchrun_log.h"
#include "common/foreground.h"
#include "common/no_close_box.h"
#include "common/web_link.h"
#include "fetchrun/app/resource.h"
#include "fetchrun/app/run_update.h"
#include "fetchrun/transfer/settings_ini.h"

namespace fetchrun {
namespace {

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMs = 500;
constexpr int kProgressRange = 1000;
constexpr UINT kMarqueeStepMs = 50;
constexpr wchar_t kTempPrefix[] = L"tpf";
constexpr wchar_t kElevationVerb[] = L"runas";
// A worker never waits on the network (body_reader.h): it stops within a tenth of a
// second, or after the local step it is in (the signature check of a large program).
constexpr DWORD kStopWaitMs = 1500;

}  // namespace

std::wstring MakeTempFile() {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH, folder);
    if (n == 0 || n > MAX_PATH) return {};
    wchar_t name[MAX_PATH] = {};
    if (!GetTempFileNameW(folder, kTempPrefix, 0, name)) return {};
    return name;
}

CFetchDialog::~CFetchDialog() {
    DeleteWorker();
    if (window_) DestroyWindow(window_);
}

BOOL CFetchDialog::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            result = TRUE;  // the default focus
            return TRUE;
        // The close command (the system menu's, Alt+F4) is swallowed; WM_CLOSE
        // from outside still ends the run (OnClose).
        case WM_SYSCOMMAND: return cw::IsCloseCommand(wParam) ? TRUE : FALSE;
        case MSG_SHOW: OnShow(wParam); return TRUE;
        case MSG_START: OnStart(); return TRUE;
        case MSG_FINISH: OnFinish(); return TRUE;
        case WM_TIMER:
            if (wParam != kPollTimer) return FALSE;
            OnTimer(wParam);
            return TRUE;
        case WM_CLOSE: OnClose(); return TRUE;
        case WM_DESTROY:
            PostQuitMessage(0);
            return TRUE;
        default: return FALSE;
    }
}

void CFetchDialog::OnInitDialog() {
    // The user can't close the dialog: no close box, close command greyed.
    cw::RemoveCloseBox(window_);

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (HANDLE icon = LoadImageW(instance, MAKEINTRESOURCEW(IDI_FETCHRUN), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED)) {
        SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    }
    if (HANDLE icon = LoadImageW(instance, MAKEINTRESOURCEW(IDI_FETCHRUN), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                 GetSystemMetrics(SM_CYSMICON), LR_SHARED)) {
        SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }

    const HWND progress = GetDlgItem(window_, IDC_PROGRESS);
    SendMessageW(progress, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressRange));
    SendMessageW(progress, PBM_SETPOS, kProgressRange, 0);
    SendMessageW(progress, PBM_SETPOS, 0, 0);
    SetWindowLongPtrW(progress, GWL_STYLE, GetWindowLongPtrW(progress, GWL_STYLE) | PBS_MARQUEE);
    SendMessageW(progress, PBM_SETMARQUEE, TRUE, kMarqueeStepMs);

    SetWindowTextW(window_, state_.texts.title.c_str());
    SetDlgItemTextW(window_, IDC_MESSAGE, state_.texts.downloading.c_str());

    if (!state_.silent) PostMessageW(window_, MSG_SHOW, 1, 0);
    PostMessageW(window_, MSG_START, 0, 0);
}

void CFetchDialog::OnShow(WPARAM show) {
    ShowWindow(window_, show == 1 ? SW_SHOW : SW_HIDE);
    cw::BringToForeground(window_);
}

void CFetchDialog::OnStart() {
    DeleteWorker();
    DeleteTempFiles();
    state_.settingFile = MakeTempFile();
    if (state_.settingFile.empty()) {
        state_.resultCode = kExitNoTempFile;
        LogLine(L"can't get Temporary file(ini).");
        PostMessageW(window_, MSG_FINISH, 0, 0);
        return;
    }
    LogFormat(L"SettingFile: %s.", state_.settingFile.c_str());
    StartWorker(state_.settingUrl.c_str(), state_.settingFile.c_str(), nullptr, 0, PHASE_SETTINGS,
                kExitSettingsThread, L"can't create ini download thread.");
}

void CFetchDialog::StartWorker(const wchar_t* url, const wchar_t* path, const wchar_t* hash, DWORD verify, Phase phase,
                               DWORD failureCode, const wchar_t* failureLine) {
    worker_.reset(new (std::nothrow) CThreadDL(url, path, hash, verify));
    if (worker_ && worker_->Start()) {
        phase_ = phase;
        SetTimer(window_, kPollTimer, kPollMs, nullptr);
        return;
    }
    worker_.reset();
    state_.resultCode = failureCode;
    LogLine(failureLine);
    PostMessageW(window_, MSG_FINISH, 0, 0);
}

void CFetchDialog::PollWorker() { OnTimer(kPollTimer); }

void CFetchDialog::OnTimer(UINT_PTR) {
    KillTimer(window_, kPollTimer);
    if (!worker_) return;
    if (worker_->IsRunning()) {
        SetTimer(window_, kPollTimer, kPollMs, nullptr);
        return;
    }
    const TransferResult result = worker_->GetResult();
    VerifiedFileLock program = worker_->TakeProgram();
    DeleteWorker();
    if (!result.ok()) {
        LogLine(FormatTransferResult(result).c_str());
        Fail(DownloadFailureCode(result));
        return;
    }
    switch (phase_) {
        case PHASE_SETTINGS: SettingsDownloaded(); break;
        case PHASE_PROGRAM: ProgramDownloaded(program); break;
        default:
            LogFormat(L"unknown phase %d.", static_cast<int>(phase_));
            Fail(kExitUnknownPhase);
            break;
    }
}

void CFetchDialog::SettingsDownloaded() {
    CGlobalIniMgr& ini = CGlobalIniMgr::Instance();
    ini.SetFile(state_.settingFile.c_str());
    const std::wstring exeHash = ini.GetString(kKeyExeHash);
    const std::wstring exeUrl = ini.GetString(kKeyExeUrl);
    state_.exeParam = ini.GetString(kKeyExeParam);

    if (exeUrl.empty()) {
        const std::wstring endCode = ini.GetString(kKeyEndCode);
        if (!endCode.empty()) {
            LogFormat(L"EndCode: %s.", endCode.c_str());
            state_.resultCode = kExitEndCode;
            if (!state_.silent && !state_.texts.endMsg.empty()) {
                MessageBoxW(window_, state_.texts.endMsg.c_str(), state_.texts.title.c_str(), MB_ICONINFORMATION);
            }
        } else {
            LogLine(L"Target is unknown status.");
            state_.resultCode = kExitUnknownStatus;
        }
        PostMessageW(window_, MSG_FINISH, 0, 0);
        return;
    }

    state_.exeFile = MakeTempFile();
    LogFormat(L"ExeUrl: %s.", exeUrl.c_str());
    LogFormat(L"ExeParam: %s.", state_.exeParam.c_str());
    LogFormat(L"ExeHash: %s.", exeHash.c_str());
    LogFormat(L"ExeFile: %s.", state_.exeFile.c_str());
    StartWorker(exeUrl.c_str(), state_.exeFile.c_str(), exeHash.c_str(), 1, PHASE_PROGRAM, kExitProgramThread,
                L"can't create download thread(exe).");
}

void CFetchDialog::ProgramDownloaded(VerifiedFileLock& program) {
    // The worker renamed the program, held it and checked it through the hold; it
    // stays held until the shell has started it, so what starts is what passed.
    state_.resultCode = RunElevated(program, state_.exeParam.c_str(), kElevationVerb);
    program.Release();
    if (state_.resultCode != 0) {
        LogLine(L"execute failed.");
        PostMessageW(window_, MSG_FINISH, 0, 0);
        return;
    }
    programStarted_ = true;
    PostMessageW(window_, WM_CLOSE, 0, 0);
}

void CFetchDialog::Fail(DWORD code) {
    state_.resultCode = code;
    PostMessageW(window_, MSG_FINISH, 0, 0);
}

HRESULT CALLBACK CFetchDialog::TaskDialogCallback(HWND, UINT notification, WPARAM, LPARAM lParam, LONG_PTR) {
    switch (notification) {
        case TDN_BUTTON_CLICKED: return S_OK;
        case TDN_HYPERLINK_CLICKED: {
            const wchar_t* link = reinterpret_cast<const wchar_t*>(lParam);
            // The texts come from the language library: like the result window,
            // only web and mail addresses go to the shell.
            if (!link || !cw::IsWebLink(link)) return S_FALSE;
            LogFormat(L"open URL:%s.", link);
            ShellExecuteW(nullptr, L"open", link, nullptr, nullptr, SW_SHOW);
            return S_FALSE;
        }
        default: return S_FALSE;
    }
}

void CFetchDialog::OnFinish() {
    DeleteWorker();
    KillTimer(window_, kPollTimer);
    PostMessageW(window_, MSG_SHOW, 0, 0);

    const DWORD code = state_.resultCode;
    if (code != kElevationRefused && code != kExitEndCode && !state_.silent) {
        const TargetTexts& texts = state_.texts;
        const TASKDIALOG_BUTTON buttons[] = {
            {kRetryButton, texts.retryBtn.c_str()},
            {kGiveUpButton, texts.afterBtn.c_str()},
        };
        TASKDIALOGCONFIG config = {};
        config.cbSize = sizeof(config);
        config.hwndParent = nullptr;
        config.dwFlags = TDF_ENABLE_HYPERLINKS;
        config.dwCommonButtons = 0;
        config.pszWindowTitle = texts.title.c_str();
        config.pszMainInstruction = texts.title.c_str();
        config.pszContent = texts.errorMsg.c_str();
        config.cButtons = sizeof(buttons) / sizeof(buttons[0]);
        config.pButtons = buttons;
        config.nDefaultButton = kRetryButton;
        config.pszFooter = texts.copyright.c_str();
        config.pfCallback = TaskDialogCallback;
        config.lpCallbackData = reinterpret_cast<LONG_PTR>(this);
        config.cxWidth = 0;
        int button = 0;
        if (FAILED(TaskDialogIndirect(&config, &button, nullptr, nullptr))) {
            LogLine(L"TaskDialog failed.");
        } else if (button == kRetryButton) {
            state_.resultCode = 0;
            PostMessageW(window_, MSG_SHOW, 1, 0);
            PostMessageW(window_, MSG_START, 0, 0);
            return;
        }
    }
    cw::BringToForeground(window_);
    StartRunKeyCommandOnce();
    PostMessageW(window_, WM_CLOSE, 0, 0);
}

void CFetchDialog::StartRunKeyCommandOnce() {
    if (runKeyStarted_) return;
    runKeyStarted_ = true;
    LaunchRunKeyCommand();
}

void CFetchDialog::OnClose() {
    if (!programStarted_) {
        if (state_.resultCode == 0) {
            // Closed from outside (an "end task", say) before the program started:
            // that is no success.
            state_.resultCode = kElevationRefused;
            LogLine(L"closed before the update program was started.");
        }
        // Every end without the update program starts the Run-key command, also a
        // close that comes before the failure was finished.
        StartRunKeyCommandOnce();
    }
    DeleteWorker();
    KillTimer(window_, kPollTimer);
    DestroyWindow(window_);
}

void CFetchDialog::DeleteWorker() {
    if (!worker_) return;
    if (!worker_->StopWithin(kStopWaitMs)) {
        // Only a close comes here with a worker still running. Its thread still uses
        // the object, so it is left to the end of the process, which follows.
        static_cast<void>(worker_.release());
        return;
    }
    // A program download may have renamed its file: it is deleted by that name.
    if (phase_ == PHASE_PROGRAM) state_.exeFile = worker_->Path();
    worker_.reset();
}

void CFetchDialog::DeleteTempFiles() {
    for (std::wstring* file : {&state_.settingFile, &state_.exeFile}) {
        if (!file->empty()) DeleteFileW(file->c_str());
        file->clear();
    }
}

}  // namespace fetchrun
