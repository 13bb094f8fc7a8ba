// Starting another program that lives on by itself: no window, a process group of
// its own, nothing inherited, nothing waited for.
#pragma once
#include <windows.h>

#include <string>

namespace cw {

// CreateProcessW of `commandLine` (the program is its first token) with
// CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP, the caller's environment, and
// `workingDirectory` (null: the caller's current directory). Both handles are
// closed at once. 0 when the process was created, else the system error (never 0).
DWORD StartDetachedProcess(const std::wstring& commandLine, const wchar_t* workingDirectory);

}  // namespace cw
