#include "cellwise/report/csv_report.h"

#include "common/utf16_file.h"
#include "common/wide_format.h"

namespace cw {
namespace {

constexpr wchar_t kResultFormat[] = L", %d";
constexpr wchar_t kPairFormat[] = L", %s, %s";
constexpr wchar_t kLineEnd[] = L"\r\n";

}  // namespace

std::wstring FormatCsvLine(const TimeStamp& time, int result, const ProductIdentity& product,
                           const BatteryList& batteries) {
    std::wstring line = FormatDateTimeMs(time);
    line += FormatText(kResultFormat, result);
    line += FormatText(kPairFormat, product.name.c_str(), product.identifyingNumber.c_str());
    for (const BatteryRecord& battery : batteries) {
        if (battery.valid) line += FormatText(kPairFormat, battery.name.c_str(), battery.serial.c_str());
    }
    return line + kLineEnd;
}

bool WriteCsvReport(const wchar_t* path, int result, const BatteryList& batteries) {
    // Held only for this call: others may read or delete it, never write to it.
    unique_file file = OpenUtf16ForAppend(path, FILE_SHARE_READ | FILE_SHARE_DELETE, Utf16Mark::Rewrite);
    if (!file) return false;
    return WriteUtf16(file.get(), FormatCsvLine(LocalTimeStamp(), result, ReadProductIdentity(), batteries));
}

}  // namespace cw
