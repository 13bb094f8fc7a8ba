// The structure search of GetSMBIOSStruct and GetOEMStruct over a table of any
// content: what it finds lies in the table, ends with its two zeros and matches
// the key, and the bytes after it cannot change it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "hwlink/frame/smbios_search.h"
#include "tests/fuzz/fuzz_input.h"

namespace smbios = hwlink::smbios;
using Buffer = std::vector<std::uint8_t>;
using fuzz::Check;

namespace {

bool Found(Buffer& table, const smbios::StructureKey& key, smbios::Found& found) {
    return smbios::FindStructure(hwlink::Bytes(table.data(), table.size()), key, found);
}

}  // namespace

// Input: a key (OEM flag, type, identifier, key 1, key 2), then the table.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    smbios::StructureKey key;
    key.oem = input.Byte() & 1;
    key.type = input.Byte();
    key.identifier = input.Byte();
    key.key1 = input.Byte();
    key.key2 = input.Byte();
    Buffer table = input.Rest();  // exactly sized: a read past it is a heap overflow

    smbios::Found found;
    if (!Found(table, key, found)) return 0;
    Check(found.length >= 2 && found.start < table.size() && found.length <= table.size() - found.start,
          "the structure lies in the table");
    const std::size_t end = found.start + found.length;
    Check(table[end - 2] == 0 && table[end - 1] == 0, "the structure ends with two zeros");
    Check(table[found.start + 1] <= found.length - 2, "the strings start after the formatted area");
    const std::uint8_t type = table[found.start];
    if (!key.oem) {
        Check(type == key.type, "a structure of the type asked for");
    } else {
        Check(type >= smbios::kFirstOemType && found.length > 4 && table[found.start + 4] == key.identifier,
              "an OEM structure with the identifier asked for");
        if (key.identifier == 2)
            Check(found.length > 6 && table[found.start + 5] == key.key1 && table[found.start + 6] == key.key2,
                  "identifier 2 also matches both keys");
    }

    // The walk up to a match reads nothing past it.
    Buffer prefix(table.begin(), table.begin() + static_cast<std::ptrdiff_t>(end));
    smbios::Found again;
    Check(Found(prefix, key, again) && again.start == found.start && again.length == found.length,
          "the bytes after a match do not change it");
    return 0;
}
