#pragma once
#include <windows.h>

#include "run_check.h"

namespace cw {

// Logs one message, then shows it unless silent; returns the button pressed
// (IDOK when silent).
int ShowMessage(const RunSettings& settings, HMODULE module, UINT stringId, UINT style);

// String `id` of `module`; empty when missing or empty.
std::wstring LoadText(HMODULE module, UINT id);

}  // namespace cw
