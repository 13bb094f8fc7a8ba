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

// Lays the blocks out as one GabiFrame, sends it with `code` and copies the blocks
// back on success. Each block's span size is its length on the wire.
Status SendFrame(Channel& channel, std::uint32_t code, Bytes control, Bytes input, Bytes output);

// CallGABIService: open, presence (kGabiAbsent when absent), then a block with no
// data gives kInvalidArgument, then SendFrame with the GABI service request; close.
Status CallGabi(Bytes control, Bytes input, Bytes output);

// _CallServiceInterface over a control block of at least 1024 bytes and a
// directory reply of at least 35: the directory query for `serviceClass`.
Status QueryServiceDirectory(std::uint16_t serviceClass, Bytes reply, Bytes control);

}  // namespace hwlink
