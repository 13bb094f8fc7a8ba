// The device firmware list of GABI_DevFwUpdate_GetDeviceFirmwareInfo from an output
// block of any size and content: taken exactly when its count fits both the record
// array and the block, each record a copy of its wire bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "hwlink/services/device_firmware_reply.h"
#include "tests/fuzz/fuzz_input.h"

namespace devfw = hwlink::devfw;
using fuzz::Check;

namespace {

std::uint64_t Le(const std::uint8_t* at, std::size_t bytes) {
    std::uint64_t v = 0;
    for (std::size_t i = bytes; i-- > 0;) v = v << 8 | at[i];
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> output(data, data + size);  // exactly sized
    devfw::DeviceFirmwareList list;
    const bool taken = devfw::ReadDeviceFirmwareList(hwlink::Bytes(output.data(), output.size()), list);

    const std::size_t count = size >= devfw::kRecordsAt ? Le(data + devfw::kCountAt, 2) : 0;
    const bool fits = size >= devfw::kRecordsAt && count <= HWLINK_MAX_DEVICE_FIRMWARE_RECORDS &&
                      count * devfw::kWireRecordSize <= size - devfw::kRecordsAt;
    Check(taken == fits, "a list is taken exactly when its records fit");
    if (!taken) return 0;
    Check(list.count == count && list.value == Le(data + devfw::kValueAt, 4), "value and count");
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* wire = data + devfw::kRecordsAt + i * devfw::kWireRecordSize;
        const DeviceFirmwareRecord& r = list.records[i];
        Check(std::memcmp(r.guid, wire, sizeof r.guid) == 0 && r.word == Le(wire + 16, 2) &&
                  r.value64 == Le(wire + 18, 8) && r.value32 == Le(wire + 26, 4),
              "a record is its wire bytes");
    }
    return 0;
}
