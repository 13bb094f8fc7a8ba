// Checked walk over DER (the encoding of certificates): every element is read
// as tag, length and content, and must lie wholly inside the element that holds
// it. Only what a certificate may use is accepted: single-byte tags and
// definite, minimal lengths of at most four bytes. No Windows headers: fuzzed
// natively.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/byte_reader.h"

namespace cw {

inline constexpr std::uint8_t kDerInteger = 0x02;
inline constexpr std::uint8_t kDerSequence = 0x30;
inline constexpr std::uint8_t kDerContext0 = 0xA0;  // [0], constructed: a certificate's version

// One element, by its place in the bytes it was read from.
struct DerElement {
    std::uint8_t tag = 0;
    std::size_t offset = 0;       // of the tag
    std::size_t headerSize = 0;   // tag and length
    std::size_t contentSize = 0;

    std::size_t ContentOffset() const { return offset + headerSize; }
    std::size_t Size() const { return headerSize + contentSize; }
    std::size_t End() const { return offset + headerSize + contentSize; }
};

// The element at `offset` of `bytes`, which must end at or before `end` (the end
// of the content that holds it; at most bytes.size()).
bool ReadDerElement(const ByteReader& bytes, std::size_t offset, std::size_t end, DerElement& element);

// The subjectPublicKeyInfo of the X.509 certificate that fills `certificate`
// exactly: tag, length and content, as they stand in it. False when the bytes are
// no such certificate (the fields before it out of order, cut, or trailing bytes).
bool FindSubjectPublicKeyInfo(const ByteReader& certificate, DerElement& key);

}  // namespace cw
