// The information reply of the device firmware services: a 32-bit value, a count
// and that many 30-byte wire records, turned into DeviceFirmwareRecord entries.
// Pure byte work over a checked span: no Windows headers.
#pragma once
#include <cstdint>

#include "hwlink/frame/bytes.h"
#include "hwlink/hwlink.h"

namespace hwlink::devfw {

inline constexpr std::size_t kValueAt = 8;
inline constexpr std::size_t kCountAt = 12;
inline constexpr std::size_t kRecordsAt = 14;
inline constexpr std::size_t kWireRecordSize = 30;

struct DeviceFirmwareList {
    std::uint32_t value = 0;
    std::uint16_t count = 0;
    DeviceFirmwareRecord records[HWLINK_MAX_DEVICE_FIRMWARE_RECORDS] = {};
};

// False when the count is above what the output block can hold.
bool ReadDeviceFirmwareList(Bytes output, DeviceFirmwareList& list);

}  // namespace hwlink::devfw
