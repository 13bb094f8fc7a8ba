// The GABI request blocks and the two wire frames the driver carries them in.
// Pure byte work over checked spans: no Windows headers.
//
// GabiFrame:          u16 Lc, u16 Li, u16 Lo, control[Lc], input[Li], output[Lo]
// GabiExtendedFrame:  u16 Lc, u16 Li, u16 Lo, u32 Le, control, input, output, extra[Le]
// Every block starts with its own 16-bit length word.
#pragma once
#include <cstddef>
#include <cstdint>

#include "hwlink/frame/bytes.h"

namespace hwlink::gabi {

// Service classes.
inline constexpr std::uint16_t kClassDirectory = 1;
inline constexpr std::uint16_t kClassSetup = 2;
inline constexpr std::uint16_t kClassSystemDataAlias = 5;
inline constexpr std::uint16_t kClassNvram = 7;
inline constexpr std::uint16_t kClassSystemData = 0x8000;
inline constexpr std::uint16_t kClassNvmisc = 0x8001;
inline constexpr std::uint16_t kClassDeviceFirmware = 0x8002;

// Function numbers every class shares.
inline constexpr std::uint16_t kFunctionEnter = 1;
inline constexpr std::uint16_t kFunctionExit = 2;

// A firmware status word that means success.
inline constexpr std::uint16_t kWordOk = 1;

// Control block.
inline constexpr std::size_t kControlBlockSize = 1024;
inline constexpr std::size_t kControlLength = 0;
inline constexpr std::size_t kControlClass = 2;
inline constexpr std::size_t kControlFunction = 4;
inline constexpr std::size_t kControlWord1 = 6;
inline constexpr std::size_t kControlWord2 = 8;
inline constexpr std::size_t kControlWord3 = 10;
inline constexpr std::size_t kControlCategory = 12;
inline constexpr std::size_t kControlWord4 = 14;

// Input block.
inline constexpr std::size_t kInputBlockSize = 512;
inline constexpr std::size_t kInputLength = 0;
inline constexpr std::size_t kInputVersion = 2;
inline constexpr std::size_t kInputHandle = 4;
inline constexpr std::size_t kInputArguments = 8;
inline constexpr std::uint16_t kVersion1 = 1;
inline constexpr std::uint16_t kVersion2 = 2;

// Output block.
inline constexpr std::size_t kOutputLength = 0;
inline constexpr std::size_t kOutputWord = 2;
inline constexpr std::size_t kOutputHandle = 4;
inline constexpr std::size_t kOutputResults = 8;
inline constexpr std::size_t kOutputHeaderSize = 8;

// Directory query: a 2-byte input block, a reply buffer of 35 bytes of which 32 travel.
inline constexpr std::size_t kDirectoryInputSize = 2;
inline constexpr std::size_t kDirectoryReplySize = 35;
inline constexpr std::uint16_t kDirectoryReplyLength = 32;
inline constexpr std::size_t kDirectoryOutputSize = 2;  // reply word: the service's output block size

// Frames.
inline constexpr std::size_t kFrameHeaderSize = 6;
inline constexpr std::size_t kExtendedFrameHeaderSize = 10;
inline constexpr std::size_t kFrameLc = 0;
inline constexpr std::size_t kFrameLi = 2;
inline constexpr std::size_t kFrameLo = 4;
inline constexpr std::size_t kFrameLe = 6;

// Status words 1 to 4 of a control block.
struct StatusWords {
    std::uint16_t word1 = 0;
    std::uint16_t word2 = 0;
    std::uint16_t word3 = 0;
    std::uint16_t word4 = 0;
    // The rule of the service call sequence: words 1 and 2 both 1.
    bool Succeeded() const { return word1 == kWordOk && word2 == kWordOk; }
};

// Zero-fills a block and writes its header. The block's length word is its span
// size, which must fit 16 bits (false otherwise, or when the span is shorter than
// the header).
bool InitControlBlock(Bytes control, std::uint16_t serviceClass, std::uint16_t function,
                      std::uint16_t category = 0);
bool InitInputBlock(Bytes input, std::uint16_t version, std::uint32_t handle);
// Writes only an input block's header (length, version, handle) over its content.
bool WriteInputHeader(Bytes input, std::uint16_t version, std::uint32_t handle);
bool InitOutputBlock(Bytes output, std::uint16_t word = 0);

// Words of a control block; words beyond the span read as 0.
StatusWords ReadStatusWords(Bytes control);

// The first 16-bit word of a block, which counts its bytes.
std::uint16_t BlockLength(Bytes block);

// Frame sizes; 0 when the size does not fit 32 bits.
std::uint32_t FrameSize(std::size_t lc, std::size_t li, std::size_t lo);
std::uint32_t ExtendedFrameSize(std::size_t lc, std::size_t li, std::size_t lo, std::uint32_t le);

// Lays the three blocks out in `frame`, whose size must be FrameSize of theirs;
// every block's span size is its header length (each at most 0xFFFF).
bool PackFrame(Bytes frame, Bytes control, Bytes input, Bytes output);
// Copies the blocks back from where PackFrame put them, each with its own size
// (the header words of the reply are not trusted).
bool UnpackFrame(Bytes frame, Bytes control, Bytes input, Bytes output);

// The same for the extended frame; `extra` may be empty, then its Le bytes are zero
// on the way out and not copied back. `le` is the extra part's size in the frame.
bool PackExtendedFrame(Bytes frame, Bytes control, Bytes input, Bytes output, Bytes extra, std::uint32_t le);
bool UnpackExtendedFrame(Bytes frame, Bytes control, Bytes input, Bytes output, Bytes extra, std::uint32_t le);

}  // namespace hwlink::gabi
