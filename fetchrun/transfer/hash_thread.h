// SHA-256 of a file on a worker thread (CryptoAPI), and of an open file.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "fetchrun/transfer/thread_base.h"

namespace fetchrun {

class CThreadHash : public CThreadBase {
public:
    // `path` is copied into MAX_PATH characters (a longer one is cut).
    explicit CThreadHash(const wchar_t* path);
    ~CThreadHash() override;

    // Hashes the whole file in 64 KiB blocks. Never looks at the stop flag: a
    // started hash runs to its end, and Stop waits for that. A provider or file
    // failure leaves no hash; a read error ends the input (the bytes read before
    // it are hashed).
    void Run() override;

    // Upper-case hex of the digest (64 characters for SHA-256); empty when there
    // is no hash. Read it only after IsRunning has turned false.
    virtual std::wstring GetResult() const;

private:
    std::vector<BYTE> hash_;
    DWORD hashSize_ = 0;
    wchar_t path_[MAX_PATH] = {};
};

// SHA-256 of everything in `file`, read from its start in 64 KiB blocks (a read
// error ends the input). False, with `digest` empty, when there is no hash: no
// file, or the provider failed.
bool HashOpenFile(HANDLE file, std::vector<BYTE>& digest);

}  // namespace fetchrun
