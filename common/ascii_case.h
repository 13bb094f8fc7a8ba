// Letter case folding of ASCII letters only: the comparisons the programs make
// with fixed texts (maker name, option names, hash digits) ignore nothing else.
#pragma once
#include <string>

namespace cw {

inline wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// Whole texts equal but for the case of ASCII letters.
inline bool EqualsIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

}  // namespace cw
