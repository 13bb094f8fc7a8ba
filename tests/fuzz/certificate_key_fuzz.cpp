// The walk to a signer certificate's subjectPublicKeyInfo, whose bytes Fetchrun
// hashes and compares with the keys it pins.
#include <cstddef>
#include <cstdint>

#include "common/der_reader.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const cw::ByteReader bytes(data, size);
    cw::DerElement first;
    if (cw::ReadDerElement(bytes, 0, size, first)) {
        fuzz::Check(first.offset == 0 && first.End() <= size, "an element lies inside its bytes");
        fuzz::Check(first.headerSize >= 2 && first.headerSize <= 6, "tag, then one to five length bytes");
    }

    cw::DerElement key;
    if (!cw::FindSubjectPublicKeyInfo(bytes, key)) return 0;
    fuzz::Check(key.offset > 0 && key.End() <= size, "the key lies inside the certificate");
    fuzz::Check(data[key.offset] == cw::kDerSequence, "the key is a SEQUENCE");
    cw::DerElement again;
    fuzz::Check(cw::ReadDerElement(bytes, key.offset, size, again) && again.Size() == key.Size(),
                "the key reads the same on its own");
    return 0;
}
