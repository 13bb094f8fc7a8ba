// The modeless progress dialog of target mode and the state machine it drives:
// settings download (phase 1), program download and checks (phase 2), the start
// of the program, and the task dialog that offers a retry after a failure.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "common/dialog_base.h"
#include "fetchrun/app/app_state.h"
#include "fetchrun/app/resource.h"
#include "fetchrun/transfer/download_thread.h"

namespace fetchrun {

// Private messages, always posted to the dialog.
inline constexpr UINT MSG_SHOW = WM_APP + 201;    // wParam 1 shows, anything else hides
inline constexpr UINT MSG_START = WM_APP + 202;   // (re)start with the settings download
inline constexpr UINT MSG_FINISH = WM_APP + 203;  // end of work: task dialog or close

enum Phase : DWORD { PHASE_IDLE = 0, PHASE_SETTINGS = 1, PHASE_PROGRAM = 2 };

// Task dialog buttons.
inline constexpr int kRetryButton = 256;
inline constexpr int kGiveUpButton = 512;

// An empty, uniquely named "tpf" file in the temporary folder; empty on failure.
std::wstring MakeTempFile();

class CFetchDialog : public cw::CDialogImpl<CFetchDialog> {
public:
    enum { IDD = IDD_FETCHRUN };

    explicit CFetchDialog(FetchrunState& state) : state_(state) {}
    ~CFetchDialog() override;

    // Creates the (hidden) dialog from template 102; null on failure.
    HWND Create(HINSTANCE instance) { return CDialogImpl::Create(instance, nullptr, 0); }
    // The dialog's window; null once it is gone.
    HWND Window() const { return Handle(); }
    // The current worker's thread, for the message loop to wait on; null when none.
    HANDLE WorkerThread() const { return worker_ ? worker_->GetHandle() : nullptr; }
    // The poll of the timer, made at once when the worker's thread has ended, so
    // no run waits out the rest of a poll interval.
    void PollWorker();

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    static HRESULT CALLBACK TaskDialogCallback(HWND window, UINT notification, WPARAM wParam, LPARAM lParam,
                                               LONG_PTR data);

    void OnInitDialog();
    void OnShow(WPARAM show);
    void OnStart();
    void OnTimer(UINT_PTR id);
    void OnFinish();
    void OnClose();
    void StartRunKeyCommandOnce();

    void SettingsDownloaded();
    void ProgramDownloaded(VerifiedFileLock& program);
    void StartWorker(const wchar_t* url, const wchar_t* path, const wchar_t* hash, DWORD verify, Phase phase,
                     DWORD failureCode, const wchar_t* failureLine);
    void Fail(DWORD code);
    void DeleteWorker();
    void DeleteTempFiles();

    FetchrunState& state_;
    std::unique_ptr<CThreadDL> worker_;
    DWORD phase_ = PHASE_IDLE;
    bool programStarted_ = false;
    bool runKeyStarted_ = false;
};

}  // namespace fetchrun
