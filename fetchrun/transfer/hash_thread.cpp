#include "fetchrun/transfer/hash_thread.h"

#include <cwchar>

#include "fetchrun/transfer/hash_text.h"
#include "common/sha256.h"
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
    cw::Sha256 hash;
    if (!hash.Begin()) return false;
    if (file == INVALID_HANDLE_VALUE || file == nullptr) return false;

    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
    // Heap, not stack: a 64 KiB frame on a worker with the default stack is a risk
    // for no gain.
    std::vector<BYTE> block(kHashBlock);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, block.data(), kHashBlock, &read, nullptr) || read == 0) break;
        if (!hash.Add(block.data(), read)) return false;
    }
    return hash.Finish(digest);
}

std::wstring CThreadHash::GetResult() const { return HashToText(hash_.data(), hashSize_); }

}  // namespace fetchrun
