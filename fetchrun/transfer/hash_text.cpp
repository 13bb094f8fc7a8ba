#include "hash_text.h"

namespace fetchrun {
namespace {

wchar_t FoldCase(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

}  // namespace

std::wstring HashToText(const std::uint8_t* bytes, std::size_t size) {
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

bool HashTextsMatch(const std::wstring& expected, const std::wstring& computed) {
    if (computed.empty() || expected.size() != computed.size()) return false;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (FoldCase(expected[i]) != FoldCase(computed[i])) return false;
    }
    return true;
}

}  // namespace fetchrun
