// String table resources read from their bytes, as LoadStringW reads them, without
// loading user32 (a silent run would pay for the whole user interface at every
// start). The bytes may come from an unchecked language library. No Windows headers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace cw {

// A string id lies in block id / 16 + 1 (the resource name of RT_STRING), as entry
// id % 16.
constexpr unsigned StringBlockOf(unsigned id) { return id / 16 + 1; }
constexpr unsigned StringEntryOf(unsigned id) { return id % 16; }

// Entry `entry` (0 to 15) of a string block: 16 counted strings, each a 16-bit
// length in UTF-16 code units and the units. Empty when the entry is empty or the
// block ends before it or within it.
std::wstring StringBlockEntry(const std::uint8_t* block, std::size_t size, unsigned entry);

}  // namespace cw
