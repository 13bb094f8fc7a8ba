#include "fetchrun/transfer/log_format.h"

namespace fetchrun {
namespace {

constexpr wchar_t kLockSuffix[] = L"-937F0861-CF89-48eb-9997-8D80Eq1470F9";
constexpr wchar_t kBannerStars[] = L"**********";

}  // namespace

std::wstring FormatLogBanner(const wchar_t* programName, const LogTime& time) {
    std::wstring out = kBannerStars;
    out += L' ';
    if (programName) out += programName;
    out += L" - ";
    out += cw::FormatDate(time);
    out += L" - ";
    out += cw::FormatClock(time);
    out += L' ';
    out += kBannerStars;
    return CutText(out, kLogBannerMax);
}

std::wstring FormatLogPrefix(const LogTime& time) {
    return cw::FormatDate(time) + L' ' + cw::FormatClock(time) + L" - ";
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
