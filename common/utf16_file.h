// The text files both programs write (event log, CSV report, Fetchrun's log, the
// hash-mode INI) are UTF-16LE with the byte order mark FF FE at offset 0.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

#include "common/unique_handle.h"

namespace cw {

// When an opened file gets its byte order mark.
enum class Utf16Mark {
    Rewrite,  // at offset 0 on every open, also over an older file's first two bytes
    IfEmpty,  // only into a new or empty file
};

// Opens or creates `path` for reading and writing with the sharing `share`, marks
// it as `mark` says and positions it at the end for appending. An invalid handle
// when the file cannot be opened, marked or positioned.
unique_file OpenUtf16ForAppend(const wchar_t* path, DWORD share, Utf16Mark mark);

// Creates `path` anew (an older file is replaced), unshared, holding only the byte
// order mark. An invalid handle, with the last error of the failing call, when it
// cannot be created or marked.
unique_file CreateUtf16File(const wchar_t* path);

// One WriteFile of the text's UTF-16 code units, no terminator; true when all were written.
bool WriteUtf16(HANDLE file, const wchar_t* text, std::size_t length);
bool WriteUtf16(HANDLE file, const std::wstring& text);

}  // namespace cw
