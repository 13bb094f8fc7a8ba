// Reading text values of the registry (the programs never write it).
#pragma once
#include <windows.h>

#include <string>

#include "common/unique_handle.h"

namespace cw {

// `root`\`subKey` opened with KEY_READ; `view` adds a registry view flag
// (KEY_WOW64_64KEY or KEY_WOW64_32KEY), 0 keeps the view of this process.
// Invalid when the key cannot be opened.
unique_hkey OpenKeyForReading(HKEY root, const wchar_t* subKey, REGSAM view = 0);

// The text of value `name` of `key`, read into at most `maxBytes` bytes; empty
// when it cannot be read. The value's type is not checked, and its text need not
// be terminated: it ends at its first NUL or where the bytes end.
std::wstring ReadRegistryText(HKEY key, const wchar_t* name, DWORD maxBytes);

}  // namespace cw
