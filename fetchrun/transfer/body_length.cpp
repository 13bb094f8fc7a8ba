#include "fetchrun/transfer/body_length.h"

namespace fetchrun {

bool ParseContentLength(const std::wstring& text, std::uint64_t* length) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
    const std::size_t first = i;
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        const std::uint64_t digit = static_cast<std::uint64_t>(text[i] - L'0');
        if (value > (UINT64_MAX - digit) / 10u) return false;
        value = value * 10u + digit;
    }
    if (i == first) return false;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
    if (i != text.size()) return false;
    *length = value;
    return true;
}

}  // namespace fetchrun
