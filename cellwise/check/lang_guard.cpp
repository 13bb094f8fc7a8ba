#include "cellwise/check/lang_guard.h"

#include <windows.h>

#include <cwchar>

namespace cw {

std::uint16_t RequestedLanguage(const std::wstring& value) {
    // The platform's own conversion, so every corner (sign, overflow, stray
    // characters) behaves as documented for wcstoul.
    const unsigned long number = std::wcstoul(value.c_str(), nullptr, 0);
    return static_cast<std::uint16_t>(number & 0xFFFFu);
}

bool LanguageMatches(const std::wstring& value) {
    return RequestedLanguage(value) == GetUserDefaultUILanguage();
}

}  // namespace cw
