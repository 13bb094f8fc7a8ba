// The one-line CSV report of a run: time, result, product identity, batteries.
#pragma once
#include <windows.h>

#include <string>

#include "cellwise/identify/battery_record.h"
#include "cellwise/report/product_identity.h"
#include "common/time_stamp.h"

namespace cw {

// The whole line, CR LF included: fields joined by ", ", nothing quoted.
std::wstring FormatCsvLine(const TimeStamp& time, int result, const ProductIdentity& product,
                           const BatteryList& batteries);

// Appends one line to `path` (created with a byte order mark when missing);
// false when nothing was written. The calling thread must have initialised COM
// (the product identity comes from WMI).
bool WriteCsvReport(const wchar_t* path, int result, const BatteryList& batteries);

}  // namespace cw
