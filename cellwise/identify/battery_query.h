// Batteries as the battery class driver reports them, with the SMBIOS records
// as a fallback when a device gives no usable serial number. Every battery seen
// and every failure is an event in `events`.
#pragma once
#include <windows.h>

#include <cstddef>

#include "cellwise/events.h"
#include "cellwise/identify/battery_record.h"

namespace cw {

BatteryList EnumerateBatteries(EventSink& events);

// Tag, then device name, manufacturer and serial; valid only when all were read.
BatteryRecord QueryBattery(HANDLE device, EventSink& events);

// The text of a reply of `returnedBytes` bytes in a buffer of `capacity`
// characters: cut at the returned length and at the first NUL.
std::wstring ReplyText(const wchar_t* buffer, std::size_t capacity, DWORD returnedBytes);

// A serial number the verdict can use: not empty, not starting with a blank.
bool IsUsableSerial(const std::wstring& serial);

}  // namespace cw
