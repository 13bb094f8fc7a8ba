// Whether a download received the whole body the server announced. Pure: no
// Windows headers.
#pragma once
#include <cstdint>
#include <string>

namespace fetchrun {

// The value of a Content-Length header: decimal digits only (blanks around them
// allowed). False when the text is no such number or does not fit 64 bits.
bool ParseContentLength(const std::wstring& text, std::uint64_t* length);

}  // namespace fetchrun
