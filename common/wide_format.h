// printf-style formatting into a wide string with the C runtime's wide formatter
// (%s wide, %S narrow, %I64u 64-bit).
#pragma once
#include <cstdarg>
#include <string>

namespace cw {

std::wstring FormatTextV(const wchar_t* format, va_list args);
std::wstring FormatText(const wchar_t* format, ...);

}  // namespace cw
