#include "fetchrun/transfer/ini_values.h"

#include "common/byte_reader.h"

namespace fetchrun {

std::int32_t LeadingDecimal(const std::wstring& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
    // Accumulated modulo 2^32, as the 32-bit conversions it stands in for wrap.
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(text[i] - L'0');
    }
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

bool ScrambledByteCount(std::uint32_t lengthEntry, std::uint32_t key, std::uint32_t* byteCount) {
    const std::uint32_t count = lengthEntry ^ key;
    *byteCount = 0;
    if (count == 0 || count > kMaxScrambledBytes) return false;
    *byteCount = count;
    return true;
}

void Unscramble(std::vector<std::uint8_t>& bytes, std::uint32_t key) {
    const std::uint8_t keyBytes[4] = {
        static_cast<std::uint8_t>(key >> 24), static_cast<std::uint8_t>(key >> 16),
        static_cast<std::uint8_t>(key >> 8), static_cast<std::uint8_t>(key)};
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] ^= keyBytes[i % 4];
}

std::wstring TextFromUtf16Le(const std::uint8_t* bytes, std::size_t size) {
    const cw::ByteReader reader(bytes, size);
    std::wstring text;
    std::uint16_t unit = 0;
    for (std::size_t at = 0; reader.Get16(at, unit) && unit != 0; at += 2) text += static_cast<wchar_t>(unit);
    return text;
}

}  // namespace fetchrun
