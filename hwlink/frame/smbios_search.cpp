#include "hwlink/frame/smbios_search.h"

namespace hwlink::smbios {

namespace {

constexpr std::size_t kFormattedLengthAt = 1;
constexpr std::size_t kOemIdentifierAt = 4;
constexpr std::size_t kOemKey1At = 5;
constexpr std::size_t kOemKey2At = 6;
constexpr std::uint8_t kKeyedIdentifier = 2;

// The offset of the second zero of the first pair of zero bytes at or after
// `from`; false when the table ends first.
bool FindDoubleZero(Bytes table, std::size_t from, std::size_t& second) {
    for (std::size_t i = from; i < table.size() && table.Fits(i, 2); ++i) {
        std::uint8_t a = 1, b = 1;
        table.Get8(i, a);
        table.Get8(i + 1, b);
        if (a == 0 && b == 0) {
            second = i + 1;
            return true;
        }
    }
    return false;
}

bool ByteIs(Bytes table, std::size_t at, std::uint8_t expected) {
    std::uint8_t v = 0;
    return table.Get8(at, v) && v == expected;
}

// Over the structure's own bytes only: in a structure shorter than 5 or 7 bytes,
// offset 4 or 6 lies in the next one and is no identifier or key of its own.
bool Matches(Bytes structure, const StructureKey& key) {
    std::uint8_t type = 0;
    structure.Get8(0, type);
    if (!key.oem) return type == key.type;
    if (type < kFirstOemType || !ByteIs(structure, kOemIdentifierAt, key.identifier)) return false;
    return key.identifier != kKeyedIdentifier ||
           (ByteIs(structure, kOemKey1At, key.key1) && ByteIs(structure, kOemKey2At, key.key2));
}

}  // namespace

bool FindStructure(Bytes table, const StructureKey& key, Found& found) {
    std::size_t p = 0;
    while (p < table.size()) {
        std::uint8_t formatted = 0;
        if (!table.Get8(p + kFormattedLengthAt, formatted)) return false;
        std::size_t end = 0;
        if (!FindDoubleZero(table, p + formatted, end)) return false;
        if (Matches(table.Sub(p, end - p + 1), key)) {
            found.start = p;
            found.length = end - p + 1;
            return true;
        }
        p = end + 1;
    }
    return false;
}

}  // namespace hwlink::smbios
