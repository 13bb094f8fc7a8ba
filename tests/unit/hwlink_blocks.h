// Byte blocks for hwlink's tests: little-endian fields read and written by offset,
// and blocks built from value lists. No Windows headers: the suites over hwlink's
// pure byte work use it natively too.
#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace hwtest {

using Block = std::vector<std::uint8_t>;

inline std::uint16_t Get16(const Block& b, std::size_t at) {
    return at + 2 <= b.size() ? static_cast<std::uint16_t>(b[at] | b[at + 1] << 8) : 0xDEAD;
}
inline std::uint32_t Get32(const Block& b, std::size_t at) {
    return at + 4 <= b.size() ? static_cast<std::uint32_t>(Get16(b, at) | Get16(b, at + 2) << 16) : 0xDEADBEEF;
}
inline std::uint64_t Get64(const Block& b, std::size_t at) {
    return static_cast<std::uint64_t>(Get32(b, at + 4)) << 32 | Get32(b, at);
}
inline void Put16(Block& b, std::size_t at, std::uint16_t v) {
    b.at(at) = static_cast<std::uint8_t>(v);
    b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(Block& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, static_cast<std::uint16_t>(v));
    Put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}
inline void Put64(Block& b, std::size_t at, std::uint64_t v) {
    Put32(b, at, static_cast<std::uint32_t>(v));
    Put32(b, at + 4, static_cast<std::uint32_t>(v >> 32));
}
// Little-endian bytes of a value list, for building replies: Le16({1, 2}) etc.
inline Block Le16(std::initializer_list<std::uint16_t> values) {
    Block b;
    for (auto v : values) b.insert(b.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
    return b;
}
inline Block Le32(std::initializer_list<std::uint32_t> values) {
    Block b;
    for (auto v : values)
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return b;
}
inline Block Cat(std::initializer_list<Block> parts) {
    Block b;
    for (const Block& p : parts) b.insert(b.end(), p.begin(), p.end());
    return b;
}

}  // namespace hwtest
