#pragma once
#include <cstdint>
#include <string>

namespace cw {

// The language a `langid` value asks for: the value read as the C library's
// wcstoul reads it with base 0 ("0x" hexadecimal, leading "0" octal, otherwise
// decimal; no digits is 0), low 16 bits kept.
std::uint16_t RequestedLanguage(const std::wstring& value);

// True when the value names the user's default UI language.
bool LanguageMatches(const std::wstring& value);

}  // namespace cw
