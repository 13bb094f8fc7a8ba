// Fetchrun's dealings with other programs and with power management: the elevated
// start of the update program, the start-up command of the Run key, and the power
// requests that keep the machine and the display awake while the dialog works.
#pragma once
#include <windows.h>

#include "common/unique_handle.h"
#include "fetchrun/transfer/verified_file_lock.h"

namespace fetchrun {

// Starts the `held` program (its path quoted) with `parameters` through the shell
// with `verb`, in the program's folder, without waiting for it; the caller keeps
// the hold until this has returned. 0 when started, else the system error (1223
// when the user refused elevation; ERROR_INVALID_HANDLE when nothing is held).
DWORD RunElevated(const VerifiedFileLock& held, const wchar_t* parameters, const wchar_t* verb);

// Starts the command under the value "NRV0B52_Apps" of the machine's Run key,
// with environment variables expanded. Failures are logged, nothing else.
void LaunchRunKeyCommand();

// Starts `commandLine` without a window and without waiting; 0 or the system error.
DWORD StartProcess(const wchar_t* commandLine);

// The system (or, on always-on standby systems, execution) request and the display
// request. Requests that can't be made are dropped silently.
class CPowerRequests {
public:
    CPowerRequests() = default;
    CPowerRequests(const CPowerRequests&) = delete;
    CPowerRequests& operator=(const CPowerRequests&) = delete;
    ~CPowerRequests() { End(); }

    void StartSystem();
    void StartDisplay();
    // Clears and closes both requests.
    void End();

private:
    // PowerCreateRequest reports failure as INVALID_HANDLE_VALUE.
    cw::unique_file system_;
    cw::unique_file display_;
};

}  // namespace fetchrun
