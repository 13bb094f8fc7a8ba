#pragma once
#include <windows.h>

#include "cellwise/check/run_check.h"

namespace cw {

// Logs one message, then shows it unless silent; returns the button pressed
// (IDOK when silent). The caption is the program's string 131 (empty when it
// cannot be loaded); a text that is missing or empty becomes its id in decimal.
int ShowMessage(const RunSettings& settings, HMODULE module, UINT stringId, UINT style);

// The call that shows the box: MessageBoxW, or what a test puts in its place.
using MessageBoxCall = int(WINAPI*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style);
// Makes `call` (null: MessageBoxW) the box of every later ShowMessage; returns the previous one.
MessageBoxCall UseMessageBox(MessageBoxCall call);

}  // namespace cw
