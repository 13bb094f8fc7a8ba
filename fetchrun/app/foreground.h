// Forces a window into the foreground, past the foreground lock when needed.
#pragma once
#include <windows.h>

namespace fetchrun {

void BringToForeground(HWND window);

}  // namespace fetchrun
