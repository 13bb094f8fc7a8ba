// SHA-256 through CryptoAPI, fed piece by piece.
#pragma once
#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "common/unique_handle.h"

namespace cw {

class Sha256 {
public:
    // False when the provider or the hash object could not be made; Add and
    // Finish then fail too.
    bool Begin();
    bool Add(const BYTE* data, DWORD size);
    // The digest of everything added; false, with `digest` empty, when there is none.
    bool Finish(std::vector<BYTE>& digest);

private:
    cw::unique_crypt_prov provider_;
    cw::unique_crypt_hash hash_;
};

}  // namespace cw
