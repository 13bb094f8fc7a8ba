// The one-line CSV report of a run: time, result, product identity, batteries.
#pragma once
#include <windows.h>

#include "cellwise/identify/battery_record.h"
#include "cellwise/report/report_text.h"

namespace cw {

// Appends one line to `path` (created with a byte order mark when missing);
// false when nothing was written. A report that another run is writing is waited
// for (up to kBusyFileWaitMs). The product identity comes from WMI, in an apartment
// of this call's own.
bool WriteCsvReport(const wchar_t* path, int result, const BatteryList& batteries);

}  // namespace cw
