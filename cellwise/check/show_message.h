#pragma once
#include <windows.h>

#include "cellwise/check/run_check.h"

namespace cw {

// Logs one message, then shows it unless silent; returns the button pressed
// (IDOK when silent).
int ShowMessage(const RunSettings& settings, HMODULE module, UINT stringId, UINT style);

}  // namespace cw
