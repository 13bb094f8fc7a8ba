// printf-style formatting into a wide string with the C runtime's wide formatter
// (%s wide, %S narrow, %I64u 64-bit).
#pragma once
#include <cstdarg>
#include <string>

namespace fetchrun {

std::wstring FormatWideV(const wchar_t* format, va_list args);
std::wstring FormatWide(const wchar_t* format, ...);

}  // namespace fetchrun
