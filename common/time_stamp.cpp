#include "common/time_stamp.h"

namespace cw {
namespace {

// Decimal digits of `value`, zero-padded to at least `width`.
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

// Numbers joined by `separator`, each padded to `width` (the first to `firstWidth`).
std::wstring Join(unsigned first, unsigned firstWidth, unsigned second, unsigned third, wchar_t separator) {
    std::wstring out;
    AppendNumber(out, first, firstWidth);
    out += separator;
    AppendNumber(out, second, 2);
    out += separator;
    AppendNumber(out, third, 2);
    return out;
}

}  // namespace

std::wstring FormatDate(const TimeStamp& t) { return Join(t.year, 4, t.month, t.day, L'/'); }

std::wstring FormatClock(const TimeStamp& t) { return Join(t.hour, 2, t.minute, t.second, L':'); }

std::wstring FormatDateTimeMs(const TimeStamp& t) {
    std::wstring out = FormatDate(t) + L' ' + FormatClock(t) + L'.';
    AppendNumber(out, t.milliseconds, 3);
    return out;
}

}  // namespace cw
