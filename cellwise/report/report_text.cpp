#include "cellwise/report/report_text.h"

#include <cstdint>

#include "cellwise/events.h"

namespace cw {
namespace {

constexpr wchar_t kFieldSeparator[] = L", ";
constexpr wchar_t kLineEnd[] = L"\r\n";

// `value` in decimal, with a minus sign when negative (as %d writes it).
std::wstring Decimal(std::int32_t value) {
    std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    wchar_t digits[11];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    std::wstring text = value < 0 ? L"-" : L"";
    while (count > 0) text += digits[--count];
    return text;
}

}  // namespace

const wchar_t* EventKindWord(int kind) {
    switch (kind) {
        case static_cast<int>(EventKind::Success): return L"SUCCESS";
        case static_cast<int>(EventKind::Error): return L"ERROR";
        case static_cast<int>(EventKind::Warning): return L"WARNING";
        case static_cast<int>(EventKind::Information): return L"INFORMATION";
        default: return L"";
    }
}

std::wstring FormatEventRecord(const TimeStamp& time, int kind, int id, const std::wstring& text) {
    return L"---\r\n" + FormatDateTimeMs(time) + kFieldSeparator + EventKindWord(kind) + L", id=" + Decimal(id) +
           kLineEnd + text + kLineEnd;
}

std::wstring FormatCsvLine(const TimeStamp& time, int result, const ProductIdentity& product,
                           const BatteryList& batteries) {
    std::wstring line = FormatDateTimeMs(time) + kFieldSeparator + Decimal(result);
    line += kFieldSeparator + product.name + kFieldSeparator + product.identifyingNumber;
    for (const BatteryRecord& battery : batteries) {
        if (battery.valid) line += kFieldSeparator + battery.name + kFieldSeparator + battery.serial;
    }
    return line + kLineEnd;
}

}  // namespace cw
