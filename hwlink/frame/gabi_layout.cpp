#include "hwlink/frame/gabi_layout.h"

namespace hwlink::gabi {

namespace {

constexpr std::size_t kMaxBlock = 0xFFFF;

bool InitBlock(Bytes block, std::size_t headerSize) {
    if (block.size() < headerSize || block.size() > kMaxBlock) return false;
    block.Zero();
    return block.Put16(0, static_cast<std::uint16_t>(block.size()));
}

// Copies src into dst at offset; sizes are the spans' own.
bool CopyIn(Bytes dst, std::size_t offset, Bytes src) { return dst.Write(offset, src.data(), src.size()); }
bool CopyOut(Bytes src, std::size_t offset, Bytes dst) { return src.Read(offset, dst.data(), dst.size()); }

}  // namespace

bool InitControlBlock(Bytes control, std::uint16_t serviceClass, std::uint16_t function, std::uint16_t category) {
    return InitBlock(control, kControlWord4 + 2) && control.Put16(kControlClass, serviceClass) &&
           control.Put16(kControlFunction, function) && control.Put16(kControlCategory, category);
}

bool InitInputBlock(Bytes input, std::uint16_t version, std::uint32_t handle) {
    return InitBlock(input, kInputArguments) && WriteInputHeader(input, version, handle);
}

bool WriteInputHeader(Bytes input, std::uint16_t version, std::uint32_t handle) {
    return input.size() >= kInputArguments && input.size() <= kMaxBlock &&
           input.Put16(kInputLength, static_cast<std::uint16_t>(input.size())) &&
           input.Put16(kInputVersion, version) && input.Put32(kInputHandle, handle);
}

bool InitOutputBlock(Bytes output, std::uint16_t word) {
    return InitBlock(output, kOutputHeaderSize) && output.Put16(kOutputWord, word);
}

StatusWords ReadStatusWords(Bytes control) {
    StatusWords w;
    control.Get16(kControlWord1, w.word1);
    control.Get16(kControlWord2, w.word2);
    control.Get16(kControlWord3, w.word3);
    control.Get16(kControlWord4, w.word4);
    return w;
}

std::uint16_t BlockLength(Bytes block) {
    std::uint16_t length = 0;
    block.Get16(0, length);
    return length;
}

std::uint32_t FrameSize(std::size_t lc, std::size_t li, std::size_t lo) {
    if (lc > kMaxBlock || li > kMaxBlock || lo > kMaxBlock) return 0;
    return static_cast<std::uint32_t>(kFrameHeaderSize + lc + li + lo);
}

std::uint32_t ExtendedFrameSize(std::size_t lc, std::size_t li, std::size_t lo, std::uint32_t le) {
    if (lc > kMaxBlock || li > kMaxBlock || lo > kMaxBlock) return 0;
    const std::uint64_t size = std::uint64_t{kExtendedFrameHeaderSize} + lc + li + lo + le;
    return size > 0xFFFFFFFFu ? 0 : static_cast<std::uint32_t>(size);
}

bool PackFrame(Bytes frame, Bytes control, Bytes input, Bytes output) {
    const std::uint32_t size = FrameSize(control.size(), input.size(), output.size());
    if (size == 0 || frame.size() != size) return false;
    const std::size_t atInput = kFrameHeaderSize + control.size();
    const std::size_t atOutput = atInput + input.size();
    return frame.Put16(kFrameLc, static_cast<std::uint16_t>(control.size())) &&
           frame.Put16(kFrameLi, static_cast<std::uint16_t>(input.size())) &&
           frame.Put16(kFrameLo, static_cast<std::uint16_t>(output.size())) &&
           CopyIn(frame, kFrameHeaderSize, control) && CopyIn(frame, atInput, input) &&
           CopyIn(frame, atOutput, output);
}

bool UnpackFrame(Bytes frame, Bytes control, Bytes input, Bytes output) {
    const std::uint32_t size = FrameSize(control.size(), input.size(), output.size());
    if (size == 0 || frame.size() != size) return false;
    const std::size_t atInput = kFrameHeaderSize + control.size();
    const std::size_t atOutput = atInput + input.size();
    return CopyOut(frame, kFrameHeaderSize, control) && CopyOut(frame, atInput, input) &&
           CopyOut(frame, atOutput, output);
}

bool PackExtendedFrame(Bytes frame, Bytes control, Bytes input, Bytes output, Bytes extra, std::uint32_t le) {
    const std::uint32_t size = ExtendedFrameSize(control.size(), input.size(), output.size(), le);
    if (size == 0 || frame.size() != size || extra.size() > le) return false;
    frame.Zero();
    const std::size_t atInput = kExtendedFrameHeaderSize + control.size();
    const std::size_t atOutput = atInput + input.size();
    const std::size_t atExtra = atOutput + output.size();
    return frame.Put16(kFrameLc, static_cast<std::uint16_t>(control.size())) &&
           frame.Put16(kFrameLi, static_cast<std::uint16_t>(input.size())) &&
           frame.Put16(kFrameLo, static_cast<std::uint16_t>(output.size())) && frame.Put32(kFrameLe, le) &&
           CopyIn(frame, kExtendedFrameHeaderSize, control) && CopyIn(frame, atInput, input) &&
           CopyIn(frame, atOutput, output) && CopyIn(frame, atExtra, extra);
}

bool UnpackExtendedFrame(Bytes frame, Bytes control, Bytes input, Bytes output, Bytes extra, std::uint32_t le) {
    const std::uint32_t size = ExtendedFrameSize(control.size(), input.size(), output.size(), le);
    if (size == 0 || frame.size() != size || extra.size() > le) return false;
    const std::size_t atInput = kExtendedFrameHeaderSize + control.size();
    const std::size_t atOutput = atInput + input.size();
    const std::size_t atExtra = atOutput + output.size();
    return CopyOut(frame, kExtendedFrameHeaderSize, control) && CopyOut(frame, atInput, input) &&
           CopyOut(frame, atOutput, output) && CopyOut(frame, atExtra, extra);
}

}  // namespace hwlink::gabi
