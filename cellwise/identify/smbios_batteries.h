// The SMBIOS fallback for batteries whose device gives no usable serial number:
// every complete Portable Battery structure of the raw SMBIOS tables, in table
// order, each logged as an INFORMATION 20 event. No Windows headers: the tables
// come from a FirmwareTableSource (smbios_firmware.h for this machine's).
#pragma once
#include <string>

#include "cellwise/events.h"
#include "cellwise/identify/battery_record.h"
#include "cellwise/identify/smbios_table.h"

namespace cw {

BatteryList ReadSmbiosBatteries(FirmwareTableSource& source, EventSink& events);

// "SMBIOS battery\r\n Name:<name>\r\n Manufacturer:<manufacturer>\r\n Serial:<serial>\r\n"
std::wstring SmbiosBatteryEventText(const BatteryRecord& record);

}  // namespace cw
