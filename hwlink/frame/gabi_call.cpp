#include "hwlink/frame/gabi_call.h"

#include "hwlink/frame/gabi_layout.h"
#include "hwlink/frame/global_block.h"
#include "hwlink/hwlink.h"

namespace hwlink {

namespace {

constexpr std::uint32_t kPresenceReplySize = 4;
constexpr std::uint32_t kEntryReplySize = 256;
constexpr std::size_t kEntryLengthOffset = 8;

// A caller's block, sized by its own length word.
Bytes CallerBlock(void* block) {
    auto* bytes = static_cast<std::uint8_t*>(block);
    return Bytes(bytes, gabi::BlockLength(Bytes(bytes, 2)));
}

// Opens the channel and checks presence; on a failure the channel is closed.
Status OpenPresent(Channel& channel) {
    Status s = channel.Open();
    if (s != status::kOk) return s;
    std::uint32_t present = 0;
    s = QueryPresence(channel, present);
    if (s == status::kOk && present == 0) s = status::kGabiAbsent;
    if (s != status::kOk) return channel.Finish(s);
    return status::kOk;
}

Status WordTwo(Bytes control) {
    const std::uint16_t word2 = gabi::ReadStatusWords(control).word2;
    return word2 == gabi::kWordOk ? status::kOk : status::FirmwareWord(word2);
}

// _CallEnter and _CallExit: the caller's blocks set up for one call, then the
// firmware's word 2 decides.
Status EnterOrExit(std::uint32_t serviceClass, std::uint16_t function, std::uint32_t handle, void* input,
                   std::uint32_t inputLength, void* output, std::uint32_t outputLength, void* control,
                   std::uint32_t controlLength) {
    const auto li = static_cast<std::uint16_t>(inputLength);
    const auto lo = static_cast<std::uint16_t>(outputLength);
    const auto lc = static_cast<std::uint16_t>(controlLength);
    if (!input || !output || !control || li == 0 || lo == 0 || lc == 0) return status::kInvalidArgument;
    const Bytes c(static_cast<std::uint8_t*>(control), lc);
    const Bytes i(static_cast<std::uint8_t*>(input), li);
    const Bytes o(static_cast<std::uint8_t*>(output), lo);
    // Blocks too short for their own header cannot carry the call.
    if (!gabi::InitControlBlock(c, static_cast<std::uint16_t>(serviceClass), function) ||
        !gabi::InitInputBlock(i, gabi::kVersion1, handle) || !gabi::InitOutputBlock(o))
        return status::kInvalidArgument;
    const Status s = CallGabi(c, i, o);
    return s != status::kOk ? s : WordTwo(c);
}

}  // namespace

Status QueryPresence(Channel& channel, std::uint32_t& present) {
    std::uint8_t reply[kPresenceReplySize] = {};
    std::uint32_t returned = 0;
    const Status s = channel.Control(ioctl::kGabiPresent, nullptr, 0, reply, sizeof reply, returned);
    if (s != status::kOk) return s;
    if (returned != sizeof reply) return status::kReplySize;
    Bytes(reply, sizeof reply).Get32(0, present);
    return status::kOk;
}

Status SendFrame(Channel& channel, std::uint32_t code, Bytes control, Bytes input, Bytes output) {
    const std::uint32_t size = gabi::FrameSize(control.size(), input.size(), output.size());
    if (size == 0) return status::kInvalidArgument;
    GlobalBlock frame;
    Status s = frame.Allocate(size);
    if (s != status::kOk) return s;
    if (!gabi::PackFrame(frame.bytes(), control, input, output)) return status::kInvalidArgument;
    std::uint32_t returned = 0;
    s = channel.Control(code, nullptr, 0, frame.bytes().data(), size, returned);
    if (s != status::kOk) return s;
    if (returned != size) return status::kReplySize;
    gabi::UnpackFrame(frame.bytes(), control, input, output);
    return status::kOk;
}

Status SendExtendedFrame(Channel& channel, std::uint32_t code, Bytes control, Bytes input, Bytes output,
                         const ExtraPart& extra) {
    const std::uint32_t size = gabi::ExtendedFrameSize(control.size(), input.size(), output.size(), extra.length);
    if (size == 0) return status::kInvalidArgument;
    GlobalBlock frame;
    Status s = frame.Allocate(size);
    if (s != status::kOk) return s;
    // Packing only reads the source.
    const Bytes source(const_cast<std::uint8_t*>(extra.source), extra.source ? extra.length : 0);
    if (!gabi::PackExtendedFrame(frame.bytes(), control, input, output, source, extra.length))
        return status::kInvalidArgument;
    std::uint32_t returned = 0;
    s = channel.Control(code, nullptr, 0, frame.bytes().data(), size, returned);
    if (s != status::kOk) return s;
    if (returned != size) return status::kReplySize;
    const Bytes destination(extra.destination, extra.destination ? extra.length : 0);
    gabi::UnpackExtendedFrame(frame.bytes(), control, input, output, destination, extra.length);
    return status::kOk;
}

Status CallFirmware(std::uint32_t code, Bytes control, Bytes input, Bytes output, const ExtraPart* extra) {
    Channel channel;
    Status s = OpenPresent(channel);
    if (s != status::kOk) return s;
    if (!control.data() || !input.data() || !output.data()) return channel.Finish(status::kInvalidArgument);
    return channel.Finish(extra ? SendExtendedFrame(channel, code, control, input, output, *extra)
                                : SendFrame(channel, code, control, input, output));
}

Status CallGabi(Bytes control, Bytes input, Bytes output) {
    return CallFirmware(ioctl::kGabiCall, control, input, output);
}

Status QueryServiceDirectory(std::uint16_t serviceClass, Bytes reply, Bytes control) {
    const Bytes c = control.Sub(0, gabi::kControlBlockSize);
    const Bytes r = reply.Sub(0, gabi::kDirectoryReplySize);
    if (!c.data() || !r.data()) return status::kInvalidArgument;
    gabi::InitControlBlock(c, gabi::kClassDirectory, serviceClass);
    r.Zero();
    r.Put16(0, gabi::kDirectoryReplyLength);
    std::uint8_t input[gabi::kDirectoryInputSize] = {};
    const Bytes i(input, sizeof input);
    i.Put16(0, static_cast<std::uint16_t>(sizeof input));
    const Status s = CallGabi(c, i, r.Sub(0, gabi::kDirectoryReplyLength));
    return s != status::kOk ? s : WordTwo(c);
}

}  // namespace hwlink

using namespace hwlink;

extern "C" {

std::uint32_t HWLINK_STDCALL CheckGABI(std::uint32_t* present) {
    if (!present) return status::kInvalidArgument;
    Channel channel;
    Status s = channel.Open();
    if (s != status::kOk) return s;
    std::uint32_t flag = 0;
    s = QueryPresence(channel, flag);
    if (s == status::kOk) *present = flag;
    return channel.Finish(s);
}

std::uint32_t HWLINK_STDCALL GetGABIEntry(void* buffer, std::uint32_t length) {
    if (!buffer) return status::kInvalidArgument;
    Channel channel;
    Status s = channel.Open();
    if (s != status::kOk) return s;
    std::uint8_t reply[kEntryReplySize] = {};
    std::uint32_t returned = 0;  // not checked: the entry says its own length
    s = channel.Control(ioctl::kReadGabiEntry, nullptr, 0, reply, sizeof reply, returned);
    if (s == status::kOk) {
        const std::uint8_t entryLength = reply[kEntryLengthOffset];
        if (length < entryLength)
            s = status::kBufferTooSmall;
        else
            Bytes(static_cast<std::uint8_t*>(buffer), entryLength).Write(0, reply, entryLength);
    }
    return channel.Finish(s);
}

std::uint32_t HWLINK_STDCALL CallGABIService(void* input, void* output, void* control) {
    // Null blocks are rejected only after the presence check (CallGabi's order).
    return CallGabi(control ? CallerBlock(control) : Bytes(), input ? CallerBlock(input) : Bytes(),
                    output ? CallerBlock(output) : Bytes());
}

std::uint32_t HWLINK_STDCALL CallGABIService_SingleBuf(std::uint32_t code, void* buffer, std::uint32_t length) {
    Channel channel;
    Status s = OpenPresent(channel);
    if (s != status::kOk) return s;
    if (!buffer || length == 0) return channel.Finish(status::kInvalidArgument);
    std::uint32_t returned = 0;
    s = channel.Control(code, nullptr, 0, buffer, length, returned);
    if (s == status::kOk && returned != length) s = status::kReplySize;
    return channel.Finish(s);
}

std::uint32_t HWLINK_STDCALL CallGABIService_4buf(std::uint32_t code, void* input, void* output, void* control,
                                                  void* extra, std::uint32_t extraLength) {
    Channel channel;
    Status s = OpenPresent(channel);
    if (s != status::kOk) return s;
    if (!input || !output || !control) return channel.Finish(status::kInvalidArgument);
    ExtraPart part;
    part.source = part.destination = static_cast<std::uint8_t*>(extra);
    part.length = extraLength;
    return channel.Finish(
        SendExtendedFrame(channel, code, CallerBlock(control), CallerBlock(input), CallerBlock(output), part));
}

std::uint32_t HWLINK_STDCALL _CallServiceInterface(std::uint32_t serviceClass, void* directoryReply,
                                                   void* control) {
    if (!directoryReply || !control) return status::kInvalidArgument;
    return QueryServiceDirectory(static_cast<std::uint16_t>(serviceClass),
                                 Bytes(static_cast<std::uint8_t*>(directoryReply), gabi::kDirectoryReplySize),
                                 Bytes(static_cast<std::uint8_t*>(control), gabi::kControlBlockSize));
}

std::uint32_t HWLINK_STDCALL _CallEnter(std::uint32_t serviceClass, void* input, std::uint32_t inputLength,
                                        void* output, std::uint32_t outputLength, void* control,
                                        std::uint32_t controlLength) {
    return EnterOrExit(serviceClass, gabi::kFunctionEnter, 0, input, inputLength, output, outputLength, control,
                       controlLength);
}

std::uint32_t HWLINK_STDCALL _CallExit(std::uint32_t serviceClass, std::uint32_t handle, void* input,
                                       std::uint32_t inputLength, void* output, std::uint32_t outputLength,
                                       void* control, std::uint32_t controlLength) {
    return EnterOrExit(serviceClass, gabi::kFunctionExit, handle, input, inputLength, output, outputLength,
                       control, controlLength);
}

}  // extern "C"
