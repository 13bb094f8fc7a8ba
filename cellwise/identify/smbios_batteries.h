// The SMBIOS fallback for batteries whose device gives no usable serial number:
// every complete Portable Battery structure of the raw SMBIOS tables, in table
// order, each logged as an INFORMATION 20 event.
#pragma once
#include "cellwise/events.h"
#include "cellwise/identify/battery_record.h"
#include "cellwise/identify/smbios_table.h"

namespace cw {

// Reads the tables of the firmware table interface ('RSMB').
BatteryList ReadSmbiosBatteries(EventSink& events);
BatteryList ReadSmbiosBatteries(FirmwareTableSource& source, EventSink& events);

}  // namespace cw
