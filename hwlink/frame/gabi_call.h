// The GABI call path inside the library: the presence check and one firmware call
// over blocks whose sizes are their spans. The exports of the call path and the
// service call sequence are built on these.
#pragma once
#include <cstdint>

#include "hwlink/frame/bytes.h"
#include "hwlink/frame/device_channel.h"
#include "hwlink/frame/status.h"

namespace hwlink {

// The presence request on an open channel; `present` is set only on success.
Status QueryPresence(Channel& channel, std::uint32_t& present);

// The fourth part of a GabiExtendedFrame: `length` bytes sent from `source` (zeros
// when null) and copied back into `destination` (not at all when null).
struct ExtraPart {
    const std::uint8_t* source = nullptr;
    std::uint8_t* destination = nullptr;
    std::uint32_t length = 0;
};

// Lays the blocks out as one GabiFrame, sends it with `code` and copies the blocks
// back on success. Each block's span size is its length on the wire.
Status SendFrame(Channel& channel, std::uint32_t code, Bytes control, Bytes input, Bytes output);
// The same with a GabiExtendedFrame carrying `extra` as its fourth part.
Status SendExtendedFrame(Channel& channel, std::uint32_t code, Bytes control, Bytes input, Bytes output,
                         const ExtraPart& extra);

// One firmware call: open, presence (kGabiAbsent when absent), then a block with
// no data gives kInvalidArgument, then the frame (extended when `extra` is given)
// with `code`; close.
Status CallFirmware(std::uint32_t code, Bytes control, Bytes input, Bytes output, const ExtraPart* extra = nullptr);

// CallGABIService: CallFirmware with the GABI service request.
Status CallGabi(Bytes control, Bytes input, Bytes output);

// _CallServiceInterface over a control block of at least 1024 bytes and a
// directory reply of at least 35: the directory query for `serviceClass`.
Status QueryServiceDirectory(std::uint16_t serviceClass, Bytes reply, Bytes control);

}  // namespace hwlink
