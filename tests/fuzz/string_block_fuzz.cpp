// String table blocks of the language library, read as the programs read them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/string_block.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Exactly sized, so a read past the end is a heap overflow.
    const std::vector<std::uint8_t> block(data, data + size);
    for (unsigned entry = 0; entry < 16; ++entry) {
        const std::wstring text = cw::StringBlockEntry(block.data(), block.size(), entry);
        fuzz::Check(text.empty() || 2 * text.size() + 2 <= block.size(), "an entry lies within its block");
    }
    return 0;
}
