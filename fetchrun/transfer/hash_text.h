// Text form of a digest and the comparison of published and computed hashes.
// Pure: no Windows headers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace fetchrun {

// Two upper-case hexadecimal digits per byte, in the given order.
std::wstring HashToText(const std::uint8_t* bytes, std::size_t size);

// True when both texts are equal ignoring letter case. A missing (empty) computed
// hash never matches.
bool HashTextsMatch(const std::wstring& expected, const std::wstring& computed);

}  // namespace fetchrun
