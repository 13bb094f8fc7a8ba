#include "fetchrun/transfer/log_format.h"

namespace fetchrun {
namespace {

constexpr wchar_t kLockSuffix[] = L"-937F0861-CF89-48eb-9997-8D80Eq1470F9";
constexpr wchar_t kBannerStars[] = L"**********";

// Decimal digits of `value`, zero-padded to at least `width` (as "%0*d" does for
// the non-negative values a clock gives).
void AppendNumber(std::wstring& out, unsigned value, unsigned width) {
    wchar_t digits[10];
    unsigned count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0 && count < 10);
    for (unsigned i = count; i < width; ++i) out += L'0';
    while (count > 0) out += digits[--count];
}

void AppendDate(std::wstring& out, const LogTime& t) {
    AppendNumber(out, t.year, 4);
    out += L'/';
    AppendNumber(out, t.month, 2);
    out += L'/';
    AppendNumber(out, t.day, 2);
}

void AppendClock(std::wstring& out, const LogTime& t) {
    AppendNumber(out, t.hour, 2);
    out += L':';
    AppendNumber(out, t.minute, 2);
    out += L':';
    AppendNumber(out, t.second, 2);
}

}  // namespace

std::wstring FormatLogBanner(const wchar_t* programName, const LogTime& time) {
    std::wstring out = kBannerStars;
    out += L' ';
    if (programName) out += programName;
    out += L" - ";
    AppendDate(out, time);
    out += L" - ";
    AppendClock(out, time);
    out += L' ';
    out += kBannerStars;
    return CutText(out, kLogBannerMax);
}

std::wstring FormatLogPrefix(const LogTime& time) {
    std::wstring out;
    AppendDate(out, time);
    out += L' ';
    AppendClock(out, time);
    out += L" - ";
    return out;
}

std::wstring CutText(const std::wstring& text, std::size_t maxChars) {
    return text.size() > maxChars ? text.substr(0, maxChars) : text;
}

std::wstring LogLockName(const std::wstring& exePath) {
    std::wstring name = exePath.size() > 3 ? exePath.substr(0, exePath.size() - 3) : std::wstring();
    name += L".LOG";
    name += kLockSuffix;
    for (wchar_t& c : name) {
        if (c == L'\\') c = L'/';
    }
    return name;
}

}  // namespace fetchrun
