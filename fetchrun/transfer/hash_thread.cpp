#include "fetchrun/transfer/hash_thread.h"

#include <cwchar>

#include "fetchrun/transfer/hash_text.h"
#include "common/unique_handle.h"

namespace fetchrun {
namespace {

constexpr DWORD kHashBlock = 65536;

}  // namespace

CThreadHash::CThreadHash(const wchar_t* path) {
    if (path) {
        wcsncpy(path_, path, MAX_PATH - 1);
        path_[MAX_PATH - 1] = L'\0';
    }
}

CThreadHash::~CThreadHash() { Stop(); }

void CThreadHash::Run() {
    cw::unique_file file(CreateFileW(path_, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<BYTE> value;
    if (!HashOpenFile(file.get(), value)) return;
    hash_.swap(value);
    hashSize_ = static_cast<DWORD>(hash_.size());
}

bool HashOpenFile(HANDLE file, std::vector<BYTE>& digest) {
    digest.clear();
    cw::unique_crypt_prov provider;
    if (!CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET)) {
        return false;
    }
    cw::unique_crypt_hash hash;
    if (!CryptCreateHash(provider.get(), CALG_SHA_256, 0, 0, hash.put())) return false;
    if (file == INVALID_HANDLE_VALUE || file == nullptr) return false;

    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
    // Heap, not stack: a 64 KiB frame on a worker with the default stack is a risk
    // for no gain.
    std::vector<BYTE> block(kHashBlock);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, block.data(), kHashBlock, &read, nullptr) || read == 0) break;
        if (!CryptHashData(hash.get(), block.data(), read, 0)) return false;
    }

    DWORD size = 0;
    if (!CryptGetHashParam(hash.get(), HP_HASHVAL, nullptr, &size, 0) || size == 0) return false;
    std::vector<BYTE> value(size);
    if (!CryptGetHashParam(hash.get(), HP_HASHVAL, value.data(), &size, 0)) return false;
    value.resize(size);
    digest.swap(value);
    return true;
}

std::wstring CThreadHash::GetResult() const { return HashToText(hash_.data(), hashSize_); }

}  // namespace fetchrun
