// Stand-in (a GUI-subsystem program, as the real ones are, so no console host is
// started for it) for a program that another program starts: writes its command line and
// working directory, one per line in UTF-8, to "<own path>.record", then exits 0.
#include <windows.h>

#include <string>

#include "tests/sim/utf8.h"

int wmain() {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    wchar_t cwd[MAX_PATH];
    if (!GetCurrentDirectoryW(MAX_PATH, cwd)) return 1;

    const std::string record = Utf8(GetCommandLineW()) + "\n" + Utf8(cwd) + "\n";
    const std::wstring out = std::wstring(self) + L".record";
    const std::wstring partial = out + L".part";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    // Appears whole or not at all, so a watcher never reads half a record.
    return ok && MoveFileExW(partial.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
