// Batteries as the battery class driver reports them, with the SMBIOS records
// as a fallback when a device gives no usable serial number. Every battery seen
// and every failure is an event in `events`.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

#include "cellwise/events.h"
#include "cellwise/identify/battery_record.h"
#include "cellwise/identify/smbios_table.h"
#include "common/unique_handle.h"

namespace cw {

// Battery devices one after another, each opened and queried.
class BatteryDeviceSource {
public:
    virtual ~BatteryDeviceSource();
    // The next device's record as QueryBattery leaves it (valid or not) and its
    // interface path; false after the last device.
    virtual bool Next(BatteryRecord& record, std::wstring& path) = 0;
};

// The battery devices of the class driver, in interface order. Interfaces whose
// path cannot be read or opened are passed over silently; the queries write their
// failures into `events`.
class SystemBatteryDevices final : public BatteryDeviceSource {
public:
    explicit SystemBatteryDevices(EventSink& events);
    bool Next(BatteryRecord& record, std::wstring& path) override;

private:
    EventSink& events_;
    unique_devinfo set_;
    DWORD index_ = 0;
};

// The batteries of this machine: the class driver's devices, and the firmware's
// SMBIOS records when one of them had no usable serial number.
BatteryList EnumerateBatteries(EventSink& events);

// Every device battery with a usable serial number, in order; then, read once when
// any device lacked one, every battery of the tables.
BatteryList EnumerateBatteries(BatteryDeviceSource& devices, FirmwareTableSource& tables, EventSink& events);

// Tag, then device name, manufacturer and serial; valid only when all were read.
BatteryRecord QueryBattery(HANDLE device, EventSink& events);

// The text of a reply of `returnedBytes` bytes in a buffer of `capacity`
// characters: cut at the returned length and at the first NUL.
std::wstring ReplyText(const wchar_t* buffer, std::size_t capacity, DWORD returnedBytes);

// A serial number the verdict can use: not empty, not starting with a blank.
bool IsUsableSerial(const std::wstring& serial);

}  // namespace cw
