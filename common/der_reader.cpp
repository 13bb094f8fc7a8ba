#include "common/der_reader.h"

namespace cw {
namespace {

constexpr std::uint8_t kHighTagNumber = 0x1F;   // the tag number follows in more bytes
constexpr std::uint8_t kLongLength = 0x80;      // the low seven bits count the length bytes
constexpr std::uint8_t kLengthCount = 0x7F;
constexpr std::size_t kMaxLengthBytes = 4;

// The next element of a walk through one content, which must carry `tag`.
bool Expect(const ByteReader& bytes, std::size_t& at, std::size_t end, std::uint8_t tag, DerElement& element) {
    if (!ReadDerElement(bytes, at, end, element) || element.tag != tag) return false;
    at = element.End();
    return true;
}

}  // namespace

bool ReadDerElement(const ByteReader& bytes, std::size_t offset, std::size_t end, DerElement& element) {
    if (end > bytes.size() || offset >= end) return false;
    const ByteReader within = bytes.Sub(0, end);
    std::uint8_t tag = 0;
    std::uint8_t first = 0;
    if (!within.Get8(offset, tag) || !within.Get8(offset + 1, first)) return false;
    if ((tag & kHighTagNumber) == kHighTagNumber) return false;

    std::size_t header = 2;
    std::size_t length = first;
    if (first & kLongLength) {
        const std::size_t count = first & kLengthCount;
        // 0x80 is BER's "until an end mark", never DER.
        if (count == 0 || count > kMaxLengthBytes) return false;
        length = 0;
        for (std::size_t i = 0; i < count; ++i) {
            std::uint8_t b = 0;
            if (!within.Get8(offset + 2 + i, b)) return false;
            if (i == 0 && b == 0) return false;  // a leading zero byte is not minimal
            length = (length << 8) | b;
        }
        if (length < kLongLength) return false;  // would have fitted the short form
        header += count;
    }
    if (!within.Fits(offset + header, length)) return false;
    element.tag = tag;
    element.offset = offset;
    element.headerSize = header;
    element.contentSize = length;
    return true;
}

bool FindSubjectPublicKeyInfo(const ByteReader& certificate, DerElement& key) {
    DerElement outer;
    if (!ReadDerElement(certificate, 0, certificate.size(), outer) || outer.tag != kDerSequence ||
        outer.End() != certificate.size()) {
        return false;
    }
    DerElement tbs;
    std::size_t at = outer.ContentOffset();
    if (!Expect(certificate, at, outer.End(), kDerSequence, tbs)) return false;

    // TBSCertificate: [0] version (absent in version 1), serialNumber, signature,
    // issuer, validity, subject, subjectPublicKeyInfo, ...
    at = tbs.ContentOffset();
    const std::size_t end = tbs.End();
    DerElement field;
    if (!ReadDerElement(certificate, at, end, field)) return false;
    if (field.tag == kDerContext0) at = field.End();
    if (!Expect(certificate, at, end, kDerInteger, field)) return false;
    for (int i = 0; i < 4; ++i) {  // signature, issuer, validity, subject
        if (!Expect(certificate, at, end, kDerSequence, field)) return false;
    }
    return Expect(certificate, at, end, kDerSequence, key);
}

}  // namespace cw
