#include "common/web_link.h"

#include "common/ascii_case.h"

namespace cw {
namespace {

bool StartsWithScheme(const std::wstring& text) {
    for (const wchar_t* scheme : {L"http://", L"https://", L"mailto:"}) {
        const std::wstring prefix(scheme);
        if (text.size() > prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix)) return true;
    }
    return false;
}

// Neither a blank, a C0 or C1 control character, DEL, nor the double quote.
bool IsLiteralInUrl(wchar_t c) { return c > L' ' && (c < 0x7F || c > 0x9F) && c != L'"'; }

}  // namespace

bool IsWebLink(const std::wstring& text) {
    if (!StartsWithScheme(text)) return false;
    for (wchar_t c : text) {
        if (!IsLiteralInUrl(c)) return false;
    }
    return true;
}

}  // namespace cw
