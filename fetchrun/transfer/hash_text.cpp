#include "fetchrun/transfer/hash_text.h"

#include "common/ascii_case.h"

namespace fetchrun {

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
    return !computed.empty() && cw::EqualsIgnoringAsciiCase(expected, computed);
}

}  // namespace fetchrun
