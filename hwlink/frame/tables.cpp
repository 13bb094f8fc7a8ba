// The firmware's tables through the driver: the SMBIOS entry point and structure
// table, single SMBIOS and OEM structures, and the NBE structure.
#include <windows.h>

#include "hwlink/frame/device_channel.h"
#include "hwlink/frame/global_block.h"
#include "hwlink/frame/smbios_search.h"
#include "hwlink/hwlink.h"

namespace hwlink {

namespace {

constexpr std::uint32_t kNbeSize = 32;
constexpr std::uint32_t kSearchSlack = 10;  // the table request asks for T + 10 bytes

Status ReadFixed(Channel& channel, std::uint32_t code, std::uint8_t* reply, std::uint32_t size) {
    std::uint32_t returned = 0;
    const Status s = channel.Control(code, nullptr, 0, reply, size, returned);
    if (s != status::kOk) return s;
    return returned == size ? status::kOk : status::kReplySize;
}

// The structure table length T from the entry point.
Status ReadTableLength(Channel& channel, std::uint16_t& length) {
    std::uint8_t entry[smbios::kEntryPointSize] = {};
    const Status s = ReadFixed(channel, ioctl::kReadSmbiosEntry, entry, sizeof entry);
    if (s == status::kOk) Bytes(entry, sizeof entry).Get16(smbios::kTableLengthAt, length);
    return s;
}

// GetSMBIOSHeader and GetNBEStruct: a fixed-size reply, as much as fits copied.
Status CopyFixedReply(std::uint32_t code, std::uint32_t size, void* buffer, std::uint32_t length) {
    if (!buffer) return status::kInvalidArgument;
    Channel channel;
    Status s = channel.Open();
    if (s != status::kOk) return s;
    std::uint8_t reply[kNbeSize] = {};
    s = ReadFixed(channel, code, reply, size);
    if (s == status::kOk) CopyMemory(buffer, reply, length < size ? length : size);
    return channel.Finish(s);
}

// GetSMBIOSStruct and GetOEMStruct: the table into a block of T + 10 bytes, the
// channel closed, then the first T bytes searched, or fewer when the driver
// returned fewer: the block's zero padding would end a cut-off structure or read
// as a structure of type 0.
Status CopyStructure(const smbios::StructureKey& key, void* buffer, std::uint32_t length, std::uint32_t* returned) {
    GlobalBlock table;
    std::uint16_t tableLength = 0;
    Channel channel;
    Status s = channel.Open();
    if (s != status::kOk) return s;
    if ((s = ReadTableLength(channel, tableLength)) != status::kOk) return channel.Finish(s);
    const std::uint32_t size = tableLength + kSearchSlack;
    if ((s = table.Allocate(size)) != status::kOk) return channel.Finish(s);
    std::uint32_t count = 0;
    s = channel.Control(ioctl::kReadSmbiosTable, nullptr, 0, table.bytes().data(), size, count);
    if ((s = channel.Finish(s)) != status::kOk) return s;

    const std::uint32_t searched = count < tableLength ? count : tableLength;
    smbios::Found found;
    if (!smbios::FindStructure(table.bytes().Sub(0, searched), key, found)) return status::kStructNotFound;
    const auto structureLength = static_cast<std::uint32_t>(found.length);
    if (returned) *returned = structureLength;
    if (!buffer) return status::kOk;  // the size query
    if (length < structureLength) return status::kBufferTooSmall;
    table.bytes().Read(found.start, buffer, structureLength);
    return status::kOk;
}

}  // namespace

}  // namespace hwlink

using namespace hwlink;

extern "C" {

std::uint32_t HWLINK_STDCALL GetSMBIOSHeader(void* buffer, std::uint32_t length) {
    return CopyFixedReply(ioctl::kReadSmbiosEntry, smbios::kEntryPointSize, buffer, length);
}

std::uint32_t HWLINK_STDCALL GetNBEStruct(void* buffer, std::uint32_t length) {
    return CopyFixedReply(ioctl::kReadNbe, kNbeSize, buffer, length);
}

std::uint32_t HWLINK_STDCALL GetSMBIOSTable(void* buffer, std::uint32_t length, std::uint32_t* returned) {
    Channel channel;
    Status s = channel.Open();
    if (s != status::kOk) return s;
    std::uint16_t tableLength = 0;
    if ((s = ReadTableLength(channel, tableLength)) != status::kOk) return channel.Finish(s);
    if (!buffer) {  // the size query
        if (returned) *returned = tableLength;
        return channel.Finish(status::kOk);
    }
    if (length < tableLength) return channel.Finish(status::kBufferTooSmall);
    std::uint32_t count = 0;  // not compared with T: the driver's count is passed on
    s = channel.Control(ioctl::kReadSmbiosTable, nullptr, 0, buffer, length, count);
    if (s == status::kOk && returned) *returned = count;
    return channel.Finish(s);
}

std::uint32_t HWLINK_STDCALL GetSMBIOSStruct(std::uint32_t type, void* buffer, std::uint32_t length,
                                             std::uint32_t* returned) {
    smbios::StructureKey key;
    key.type = static_cast<std::uint8_t>(type);
    return CopyStructure(key, buffer, length, returned);
}

std::uint32_t HWLINK_STDCALL GetOEMStruct(std::uint32_t identifier, std::uint32_t key1, std::uint32_t key2,
                                          void* buffer, std::uint32_t length, std::uint32_t* returned) {
    smbios::StructureKey key;
    key.oem = true;
    key.identifier = static_cast<std::uint8_t>(identifier);
    key.key1 = static_cast<std::uint8_t>(key1);
    key.key2 = static_cast<std::uint8_t>(key2);
    return CopyStructure(key, buffer, length, returned);
}

}  // extern "C"
