#include "cellwise/report/csv_report.h"

#include "common/busy_retry.h"
#include "common/com_apartment.h"
#include "common/utf16_file.h"

namespace cw {

bool WriteCsvReport(const wchar_t* path, int result, const BatteryList& batteries) {
    // The line is made before the file is opened: a run holds the report only for
    // its one write, not for the WMI query, so many runs appending at once each get
    // their turn quickly.
    // The time stamp says when the line was begun, so it is read before the WMI
    // query, which can take seconds on a cold service.
    const TimeStamp begun = LocalTimeStamp();
    // COM only for the query, and only in runs that write a report.
    const ComApartment com;
    const ProductIdentity product = ReadProductIdentity();
    const std::wstring line = FormatCsvLine(begun, result, product, batteries);
    // Held only for this call: others may read or delete it, never write to it.
    unique_file file = OpenUtf16ForAppend(path, FILE_SHARE_READ | FILE_SHARE_DELETE, kBusyFileWaitMs);
    if (!file) return false;
    return WriteUtf16(file.get(), line);
}

}  // namespace cw
