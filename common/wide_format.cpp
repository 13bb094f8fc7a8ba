#include "common/wide_format.h"

#include <cstdio>
#include <cwchar>

namespace cw {

std::wstring FormatTextV(const wchar_t* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    const int length = _vscwprintf(format, measure);
    va_end(measure);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int written = _vsnwprintf(&text[0], text.size(), format, args);
    text.resize(written < 0 ? 0 : static_cast<std::size_t>(written));
    return text;
}

std::wstring FormatText(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = FormatTextV(format, args);
    va_end(args);
    return text;
}

}  // namespace cw
