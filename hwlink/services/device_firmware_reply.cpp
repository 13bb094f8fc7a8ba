#include "hwlink/services/device_firmware_reply.h"

namespace hwlink::devfw {

namespace {

// Wire record: 16-byte GUID, u16 word, u64 value, u32 value.
constexpr std::size_t kWordAt = 16;
constexpr std::size_t kValue64At = 18;
constexpr std::size_t kValue32At = 26;

}  // namespace

bool ReadDeviceFirmwareList(Bytes output, DeviceFirmwareList& list) {
    std::uint16_t count = 0;
    if (!output.Get32(kValueAt, list.value) || !output.Get16(kCountAt, count)) return false;
    if (count > HWLINK_MAX_DEVICE_FIRMWARE_RECORDS || !output.Fits(kRecordsAt, count * kWireRecordSize))
        return false;
    list.count = count;
    for (std::size_t i = 0; i < count; ++i) {
        const Bytes wire = output.Sub(kRecordsAt + i * kWireRecordSize, kWireRecordSize);
        DeviceFirmwareRecord& record = list.records[i];
        std::uint32_t low = 0, high = 0;
        wire.Read(0, record.guid, sizeof record.guid);
        wire.Get16(kWordAt, record.word);
        wire.Get32(kValue64At, low);
        wire.Get32(kValue64At + 4, high);
        record.value64 = static_cast<std::uint64_t>(high) << 32 | low;
        wire.Get32(kValue32At, record.value32);
    }
    return true;
}

}  // namespace hwlink::devfw
