#include "common/foreground.h"

namespace cw {

void BringToForeground(HWND window) {
    if (!IsWindow(window)) return;
    const HWND current = GetForegroundWindow();
    if (!current) {
        SetForegroundWindow(window);
    } else if (current == window) {
        return;
    }
    if (!SetForegroundWindow(window) || GetForegroundWindow() == window) return;
    // The system refused while another program holds the foreground lock: lift
    // the lock for one more attempt, then put it back.
    DWORD timeout = 0;
    if (!SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0)) return;
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
    SetForegroundWindow(window);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(static_cast<ULONG_PTR>(timeout)), 0);
}

}  // namespace cw
