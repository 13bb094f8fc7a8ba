// The structure search over an SMBIOS structure table as the driver returns it:
// by type, or an OEM structure by identifier and keys. Pure byte work over a
// checked span: no Windows headers.
#pragma once
#include <cstddef>
#include <cstdint>

#include "hwlink/frame/bytes.h"

namespace hwlink::smbios {

inline constexpr std::size_t kEntryPointSize = 31;
inline constexpr std::size_t kTableLengthAt = 0x16;  // 16-bit structure table length
inline constexpr std::uint8_t kFirstOemType = 0x80;

// What to look for.
struct StructureKey {
    bool oem = false;
    std::uint8_t type = 0;        // by type
    std::uint8_t identifier = 0;  // OEM: byte 4; identifier 2 also compares bytes 5 and 6
    std::uint8_t key1 = 0;
    std::uint8_t key2 = 0;
};

struct Found {
    std::size_t start = 0;
    std::size_t length = 0;  // formatted area, strings and both terminating zeros
};

// Walks the structures of `table` in order and returns the first that matches.
// A structure whose string set does not end within the table ends the walk.
bool FindStructure(Bytes table, const StructureKey& key, Found& found);

}  // namespace hwlink::smbios
