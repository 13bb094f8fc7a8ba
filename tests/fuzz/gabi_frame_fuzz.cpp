// GABI frames as the driver hands them back: blocks copied out of a reply of any
// content, status words and length words read from blocks of any size.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "hwlink/frame/gabi_layout.h"
#include "tests/fuzz/fuzz_input.h"

namespace gabi = hwlink::gabi;
using Buffer = std::vector<std::uint8_t>;

namespace {

hwlink::Bytes Span(Buffer& b) { return hwlink::Bytes(b.data(), b.size()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    // Block sizes as a caller's length words give them; each block in a heap block
    // of exactly its size.
    Buffer control(input.Byte() * 5u), in(input.Byte()), out(input.Byte()), extra(input.Byte() % 64u);
    const std::uint32_t le = input.Byte() % 96u;
    Buffer reply = input.Rest();

    gabi::ReadStatusWords(Span(reply));
    gabi::BlockLength(Span(reply));
    gabi::ReadStatusWords(Span(control));

    const bool fits = reply.size() == gabi::FrameSize(control.size(), in.size(), out.size());
    fuzz::Check(gabi::UnpackFrame(Span(reply), Span(control), Span(in), Span(out)) == fits,
                "a reply is taken exactly when it has the frame's size");
    const bool extendedFits =
        reply.size() == gabi::ExtendedFrameSize(control.size(), in.size(), out.size(), le) && extra.size() <= le;
    fuzz::Check(gabi::UnpackExtendedFrame(Span(reply), Span(control), Span(in), Span(out), Span(extra), le) ==
                    extendedFits,
                "an extended reply is taken exactly when it has the frame's size");

    // What goes out comes back unchanged.
    Buffer frame(gabi::FrameSize(control.size(), in.size(), out.size()));
    if (gabi::PackFrame(Span(frame), Span(control), Span(in), Span(out))) {
        Buffer c2(control.size()), i2(in.size()), o2(out.size());
        fuzz::Check(gabi::UnpackFrame(Span(frame), Span(c2), Span(i2), Span(o2)), "own frame unpacks");
        fuzz::Check(c2 == control && i2 == in && o2 == out, "round trip keeps every block");
    }
    gabi::InitControlBlock(Span(control), 0x8001, 3);
    gabi::InitInputBlock(Span(in), gabi::kVersion1, 7);
    gabi::InitOutputBlock(Span(out));
    return 0;
}
