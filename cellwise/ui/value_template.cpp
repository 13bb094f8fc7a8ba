#include "cellwise/ui/value_template.h"

#include <cstddef>
#include <string_view>

namespace cw {
namespace {

constexpr unsigned kValues = 2;
// A value line is one short line; a wider field only makes the program format
// and show blanks by the megabyte.
constexpr std::size_t kMaxFieldDigits = 3;
constexpr std::wstring_view kFlags = L"-+ #0";

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Digits from `at`, at most kMaxFieldDigits of them.
bool SkipField(std::wstring_view conversion, std::size_t& at) {
    const std::size_t start = at;
    while (at < conversion.size() && IsDigit(conversion[at])) ++at;
    return at - start <= kMaxFieldDigits;
}

// The text between the two '!' of an insert: [flags][width][.precision][l|w]s.
bool IsStringConversion(std::wstring_view conversion) {
    std::size_t at = 0;
    while (at < conversion.size() && kFlags.find(conversion[at]) != std::wstring_view::npos) ++at;
    if (!SkipField(conversion, at)) return false;
    if (at < conversion.size() && conversion[at] == L'.') {
        ++at;
        if (!SkipField(conversion, at)) return false;
    }
    if (at < conversion.size() && (conversion[at] == L'l' || conversion[at] == L'w')) ++at;
    return at + 1 == conversion.size() && conversion[at] == L's';
}

}  // namespace

bool IsTwoValueTemplate(const std::wstring& pattern) {
    std::size_t at = 0;
    while ((at = pattern.find(L'%', at)) != std::wstring::npos) {
        ++at;
        if (at >= pattern.size()) break;
        const wchar_t first = pattern[at];
        // %0 ends the text; another character after '%' is an escape.
        if (!IsDigit(first) || first == L'0') {
            ++at;
            continue;
        }
        // An insert number has one or two digits (%100 is %10 and a "0").
        unsigned number = static_cast<unsigned>(first - L'0');
        ++at;
        if (at < pattern.size() && IsDigit(pattern[at])) {
            number = number * 10 + static_cast<unsigned>(pattern[at] - L'0');
            ++at;
        }
        if (number > kValues) return false;
        if (at < pattern.size() && pattern[at] == L'!') {
            const std::size_t close = pattern.find(L'!', at + 1);
            if (close == std::wstring::npos) return false;
            if (!IsStringConversion(std::wstring_view(pattern).substr(at + 1, close - at - 1))) return false;
            at = close + 1;
        }
    }
    return true;
}

}  // namespace cw
