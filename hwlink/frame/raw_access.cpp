// Raw I/O port and memory access through the driver. C calling convention.
#include "hwlink/frame/bytes.h"
#include "hwlink/frame/device_channel.h"
#include "hwlink/hwlink.h"

namespace hwlink {

namespace {

// PortRequest: u32 width in bytes, u32 value, u32 port.
constexpr std::uint32_t kPortRequestSize = 12;
constexpr std::size_t kPortWidthAt = 0;
constexpr std::size_t kPortValueAt = 4;
constexpr std::size_t kPortAddressAt = 8;
// MemoryReadRequest: the two address words, u32 length.
constexpr std::uint32_t kMemoryRequestSize = 12;

bool IsPortWidth(std::uint32_t width) { return width == 1 || width == 2 || width == 4; }

// Sends a PortRequest, which comes back in the same 12 bytes.
Status SendPortRequest(std::uint32_t code, std::uint32_t port, std::uint32_t width, std::uint32_t& value,
                       bool checkSize) {
    Channel channel;
    Status s = channel.Open();
    if (s != status::kOk) return s;
    std::uint8_t request[kPortRequestSize] = {};
    const Bytes r(request, sizeof request);
    r.Put32(kPortWidthAt, width);
    r.Put32(kPortValueAt, value);
    r.Put32(kPortAddressAt, port);
    std::uint32_t returned = 0;
    s = channel.Control(code, request, sizeof request, request, sizeof request, returned);
    if (s == status::kOk && checkSize && returned != sizeof request) s = status::kReplySize;
    if ((s = channel.Finish(s)) == status::kOk) r.Get32(kPortValueAt, value);
    return s;
}

}  // namespace

}  // namespace hwlink

using namespace hwlink;

extern "C" {

std::uint32_t HWLINK_CDECL HWLINK_ReadPort(std::uint32_t port, std::uint32_t width, std::uint32_t* value) {
    if (!IsPortWidth(width) || !value) return status::kInvalidArgument;
    std::uint32_t read = 0;  // the request's value field is not the library's to set
    const Status s = SendPortRequest(ioctl::kReadPort, port, width, read, true);
    if (s == status::kOk) *value = read;  // as the driver gives it, not masked to the width
    return s;
}

std::uint32_t HWLINK_CDECL HWLINK_WritePort(std::uint32_t port, std::uint32_t width, std::uint32_t value) {
    if (!IsPortWidth(width)) return status::kInvalidArgument;
    return SendPortRequest(ioctl::kWritePort, port, width, value, false);
}

std::uint32_t HWLINK_CDECL HWLINK_ReadMemory(std::uint32_t address1, std::uint32_t address2, void* buffer,
                                             std::uint32_t length) {
    if (!buffer || length == 0) return status::kInvalidArgument;
    Channel channel;
    Status s = channel.Open();
    if (s != status::kOk) return s;
    std::uint8_t request[kMemoryRequestSize] = {};
    const Bytes r(request, sizeof request);
    r.Put32(0, address1);
    r.Put32(4, address2);
    r.Put32(8, length);
    std::uint32_t returned = 0;
    s = channel.Control(ioctl::kReadMemory, request, sizeof request, buffer, length, returned);
    if (s == status::kOk && returned != length) s = status::kReplySize;
    return channel.Finish(s);
}

}  // extern "C"
