#include "cellwise/identify/smbios_batteries.h"

#include <utility>

namespace cw {

std::wstring SmbiosBatteryEventText(const BatteryRecord& record) {
    return L"SMBIOS battery\r\n Name:" + record.name + L"\r\n Manufacturer:" + record.manufacturer +
           L"\r\n Serial:" + record.serial + L"\r\n";
}

BatteryList ReadSmbiosBatteries(FirmwareTableSource& source, EventSink& events) {
    BatteryList batteries;
    SmbiosTableReader reader(source);
    for (bool more = reader.Open(); more; more = reader.Next()) {
        BatteryRecord record;
        if (!ReadPortableBattery(reader.Current(), record)) continue;
        events.WriteText(EventKind::Information, kBatteryIdentityEvent, SmbiosBatteryEventText(record));
        batteries.push_back(std::move(record));
    }
    return batteries;
}

}  // namespace cw
