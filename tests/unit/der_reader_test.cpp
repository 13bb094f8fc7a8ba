// The walk to a certificate's subjectPublicKeyInfo over odd and cut DER; real
// certificates go through it in signature_test.cpp, the rest is fuzzed
// (tests/fuzz/certificate_key_fuzz.cpp).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/der_reader.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Tag, short or long form length, content.
Bytes Tlv(std::uint8_t tag, const Bytes& content) {
    Bytes out{tag};
    const std::size_t n = content.size();
    if (n < 0x80) {
        out.push_back(static_cast<std::uint8_t>(n));
    } else if (n < 0x100) {
        out.insert(out.end(), {0x81, static_cast<std::uint8_t>(n)});
    } else {
        out.insert(out.end(), {0x82, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n & 0xFF)});
    }
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

const Bytes kVersion = Tlv(0xA0, Tlv(0x02, {0x02}));
const Bytes kSerial = Tlv(0x02, {0x10, 0x00});
const Bytes kName = Tlv(0x30, Tlv(0x31, Tlv(0x30, Join({Tlv(0x06, {0x55, 0x04, 0x03}), Tlv(0x0C, {'N'})}))));
const Bytes kKey = Tlv(0x30, Join({Tlv(0x30, {0x06, 0x01, 0x2A}), Tlv(0x03, {0x00, 0x01, 0x02})}));

Bytes Certificate(const Bytes& tbsContent) {
    return Tlv(0x30, Join({Tlv(0x30, tbsContent), Tlv(0x30, {0x06, 0x01, 0x2A}), Tlv(0x03, {0x00, 0x55})}));
}
Bytes Fields(const Bytes& version, const Bytes& subject, const Bytes& key) {
    return Join({version, kSerial, Tlv(0x30, {}), kName, Tlv(0x30, {}), subject, key});
}

bool Find(const Bytes& der, Bytes* key = nullptr) {
    cw::DerElement element;
    if (!cw::FindSubjectPublicKeyInfo(cw::ByteReader(der.data(), der.size()), element)) return false;
    if (key) key->assign(der.begin() + element.offset, der.begin() + element.End());
    return true;
}

TEST(DerReader, FindsTheKeyAsItStandsInTheCertificate) {
    const Bytes longSubject = Tlv(0x30, Bytes(300, 0x31));  // a length in two bytes
    const struct {
        const char* name;
        Bytes der;
    } rows[] = {
        {"version 3", Certificate(Fields(kVersion, kName, kKey))},
        {"version 1, no version field", Certificate(Fields({}, kName, kKey))},
        {"long lengths", Certificate(Fields(kVersion, longSubject, kKey))},
        {"extensions after the key", Certificate(Join({Fields(kVersion, kName, kKey), Tlv(0xA3, Tlv(0x30, {}))}))},
    };
    for (const auto& row : rows) {
        Bytes key;
        EXPECT_TRUE(Find(row.der, &key)) << row.name;
        EXPECT_EQ(kKey, key) << row.name;
    }
}

TEST(DerReader, RefusesOddOrCutCertificates) {
    const Bytes good = Certificate(Fields(kVersion, kName, kKey));
    Bytes trailing = good;
    trailing.push_back(0x00);
    Bytes indefinite = good;
    indefinite[1] = 0x80;
    const struct {
        const char* name;
        Bytes der;
    } rows[] = {
        {"empty", {}},
        {"a byte after the certificate", trailing},
        {"no SEQUENCE", Tlv(0x31, Fields(kVersion, kName, kKey))},
        {"indefinite length", indefinite},
        {"length not minimal", Join({Bytes{0x30, 0x81, 0x04}, Tlv(0x30, {0x02, 0x00})})},
        {"length with a leading zero", Join({Bytes{0x30, 0x82, 0x00, 0x83}, Bytes(0x83, 0x05)})},
        {"five length bytes", {0x30, 0x85, 0x00, 0x00, 0x00, 0x00, 0x02, 0x05, 0x00}},
        {"length beyond the input", {0x30, 0x84, 0x7F, 0xFF, 0xFF, 0xFF, 0x30, 0x00}},
        {"multi-byte tag", Certificate(Fields(Tlv(0xBF, {0x00}), kName, kKey))},
        {"serial number no INTEGER", Certificate(Join({kVersion, Tlv(0x04, {0x01}), Tlv(0x30, {}), kName,
                                                        Tlv(0x30, {}), kName, kKey}))},
        {"no key", Certificate(Fields(kVersion, kName, {}))},
        {"key no SEQUENCE", Certificate(Fields(kVersion, kName, Tlv(0x03, {0x00})))},
        {"key longer than the certificate's part", Certificate(Fields(kVersion, kName, Bytes{0x30, 0x10, 0x05, 0x00}))},
        {"a field too few", Certificate(Join({kVersion, kSerial, Tlv(0x30, {}), kName, kName, kKey}))},
    };
    for (const auto& row : rows) EXPECT_FALSE(Find(row.der)) << row.name;

    // Cut anywhere.
    for (std::size_t size = 0; size < good.size(); ++size) {
        EXPECT_FALSE(Find(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size)))) << "cut at " << size;
    }
}

}  // namespace
