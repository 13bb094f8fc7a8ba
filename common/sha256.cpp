#include "common/sha256.h"

namespace cw {

bool Sha256::Begin() {
    hash_.reset();
    if (!CryptAcquireContextW(provider_.put(), nullptr, nullptr, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET)) {
        return false;
    }
    return CryptCreateHash(provider_.get(), CALG_SHA_256, 0, 0, hash_.put()) != FALSE;
}

bool Sha256::Add(const BYTE* data, DWORD size) {
    return hash_ && (size == 0 || CryptHashData(hash_.get(), data, size, 0));
}

bool Sha256::Finish(std::vector<BYTE>& digest) {
    digest.clear();
    DWORD size = 0;
    if (!hash_ || !CryptGetHashParam(hash_.get(), HP_HASHVAL, nullptr, &size, 0) || size == 0) return false;
    std::vector<BYTE> value(size);
    if (!CryptGetHashParam(hash_.get(), HP_HASHVAL, value.data(), &size, 0)) return false;
    value.resize(size);
    digest.swap(value);
    return true;
}

}  // namespace cw
