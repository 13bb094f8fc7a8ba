#include "common/string_block.h"

#include "common/byte_reader.h"

namespace cw {

std::wstring StringBlockEntry(const std::uint8_t* block, std::size_t size, unsigned entry) {
    const ByteReader reader(block, size);
    std::size_t at = 0;
    std::uint16_t length = 0;
    for (unsigned i = 0;; ++i) {
        if (!reader.Get16(at, length)) return {};
        at += 2;
        if (i == entry) break;
        at += 2u * length;
    }
    if (!reader.Fits(at, 2u * length)) return {};
    std::wstring text(length, L'\0');
    for (std::uint16_t i = 0; i < length; ++i) {
        std::uint16_t unit = 0;
        reader.Get16(at + 2u * i, unit);
        text[i] = static_cast<wchar_t>(unit);
    }
    return text;
}

}  // namespace cw
