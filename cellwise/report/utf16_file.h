// The two files Cellwise writes (event log, CSV report) are opened alike: created
// when missing, the byte order mark put at offset 0 (also over an older file's
// first two bytes), then positioned at the end for appending.
#pragma once
#include <windows.h>

#include <string>

#include "common/unique_handle.h"

namespace cw {

// An invalid handle when the file cannot be opened, marked or positioned.
unique_file OpenUtf16ForAppend(const wchar_t* path);

// One WriteFile of the text's UTF-16 code units; true when all were written.
bool WriteUtf16(HANDLE file, const std::wstring& text);

}  // namespace cw
