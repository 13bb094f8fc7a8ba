// The Content-Length a download server announces.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fetchrun/transfer/body_length.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = fuzz::Utf16Units(data, size);
    std::uint64_t length = 0;
    if (!fetchrun::ParseContentLength(text, &length)) return 0;

    // An accepted text is blanks, the decimal digits of the value (leading zeros
    // allowed) and blanks.
    std::wstring digits;
    for (std::uint64_t rest = length; digits.empty() || rest != 0; rest /= 10)
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + rest % 10));
    const std::size_t first = text.find_first_not_of(L" \t");
    const std::size_t last = text.find_last_not_of(L" \t");
    fuzz::Check(first != std::wstring::npos, "digits present");
    std::wstring number = text.substr(first, last - first + 1);
    while (number.size() > digits.size() && number[0] == L'0') number.erase(0, 1);
    fuzz::Check(number == digits, "the value is the number written");
    return 0;
}
