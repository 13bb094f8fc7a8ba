// Values of a downloaded settings INI: numbers as text, scrambled byte counts, the
// unscrambling and the UTF-16 text it yields.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fetchrun/transfer/ini_values.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint32_t lengthEntry = input.Dword();
    const std::uint32_t key = input.Dword();
    const std::vector<std::uint8_t> rest = input.Rest();

    fetchrun::LeadingDecimal(fuzz::Utf16Units(rest.data(), rest.size()));

    std::uint32_t count = 0;
    if (fetchrun::ScrambledByteCount(lengthEntry, key, &count)) {
        fuzz::Check(count != 0 && count <= fetchrun::kMaxScrambledBytes, "byte count within its bound");
    } else {
        fuzz::Check(count == 0, "a refused count is 0");
    }

    std::vector<std::uint8_t> value = rest;
    fetchrun::Unscramble(value, key);
    const std::wstring text = fetchrun::TextFromUtf16Le(value.data(), value.size());
    fuzz::Check(text.size() <= value.size() / 2, "text within its bytes");
    fuzz::Check(text.find(L'\0') == std::wstring::npos, "text ends at the first NUL");
    fetchrun::Unscramble(value, key);
    fuzz::Check(value == rest, "scrambling twice gives the bytes back");
    return 0;
}
