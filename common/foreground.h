// Forces a window into the foreground, past the foreground lock when needed.
#pragma once
#include <windows.h>

namespace cw {

void BringToForeground(HWND window);

}  // namespace cw
