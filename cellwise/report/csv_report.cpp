#include "cellwise/report/csv_report.h"

#include <objbase.h>

#include "common/utf16_file.h"
#include "common/wide_format.h"

namespace cw {
namespace {

constexpr wchar_t kResultFormat[] = L", %d";
constexpr wchar_t kPairFormat[] = L", %s, %s";
constexpr wchar_t kLineEnd[] = L"\r\n";

// COM for the product query, undone on every path when this call set it up.
class ComApartment {
public:
    ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
        if (initialised_) {
            CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE,
                                 nullptr, EOAC_NONE, nullptr);
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (initialised_) CoUninitialize();
    }

private:
    bool initialised_;
};

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
    ComApartment com;
    // Held only for this call: others may read or delete it, never write to it.
    unique_file file = OpenUtf16ForAppend(path, FILE_SHARE_READ | FILE_SHARE_DELETE, Utf16Mark::Rewrite);
    if (!file) return false;
    return WriteUtf16(file.get(), FormatCsvLine(LocalTimeStamp(), result, ReadProductIdentity(), batteries));
}

}  // namespace cw
