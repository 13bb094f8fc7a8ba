// Companion files live only in the folder of the running executable.
#pragma once
#include <windows.h>

#include <string>

namespace cw {

// The full path of the running executable; empty when it cannot be read or is
// 260 characters or longer.
std::wstring OwnPath();

// The folder of the running executable, without a trailing separator; empty when
// the own path cannot be read or is 260 characters or longer.
std::wstring OwnFolder();

// True for an existing file; false for a directory or nothing.
bool IsExistingFile(const wchar_t* path);

// Full path of `fileName` in the own folder, or empty (last error
// ERROR_FILE_NOT_FOUND when the file is missing or is a directory).
std::wstring CompanionPath(const wchar_t* fileName);

// Reads one resource of `type` and integer `id`; false (size 0) when any step fails.
bool ReadResourceBytes(HMODULE module, const wchar_t* type, unsigned id, const void** data, DWORD* size);

}  // namespace cw
