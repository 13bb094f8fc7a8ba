// Ends this process at once with `code`: nothing more runs in it, no destructors,
// no handlers, no dialog.
#pragma once
#include <windows.h>

namespace cw {

[[noreturn]] inline void EndProcess(UINT code) {
    TerminateProcess(GetCurrentProcess(), code);
    ExitProcess(code);  // not reached
}

}  // namespace cw
