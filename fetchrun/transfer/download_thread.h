// Download of one URL into a file on a worker thread (WinINet). A download with a
// published hash is a program: it gets its ".exe" name, is held, and is checked
// through the held handle (hash, then, when asked, the publisher's signature).
#pragma once
#include <windows.h>

#include <string>

#include "fetchrun/transfer/thread_base.h"
#include "fetchrun/transfer/transfer_result.h"
#include "fetchrun/transfer/verified_file_lock.h"

namespace fetchrun {

class CThreadDL : public CThreadBase {
public:
    // Null or empty texts leave their field empty. The settings download passes
    // no hash and verifySignature 0; the program download its hash and 1.
    CThreadDL(const wchar_t* url, const wchar_t* path, const wchar_t* expectedHash, DWORD verifySignature);
    ~CThreadDL() override;

    // Downloads url into path (created anew); a body shorter than the
    // Content-Length the server announced is a failure. A program (a hash given,
    // or the signature asked for) then goes through the steps of program_checks.h;
    // one without a published hash is refused before anything is fetched, and one
    // that fails a check is deleted.
    void Run() override;

    // Success, or what failed. Read it only after IsRunning has turned false.
    virtual TransferResult GetResult() const;
    // Where the download is now: the path given, or that path with ".exe" once a
    // program was renamed. Read it only while no thread runs.
    const std::wstring& Path() const { return path_; }
    // A program that passed its checks, held since before they were made; the
    // caller keeps it until the program has been started. Empty otherwise.
    VerifiedFileLock TakeProgram();

private:
    bool Fail(TransferFailure failure, DWORD code = 0);
    bool Download();
    bool CheckProgram();
    void AddResponseText();

    std::wstring url_;
    std::wstring path_;
    std::wstring expectedHash_;
    TransferResult result_;
    DWORD verifySignature_ = 0;
    VerifiedFileLock program_;
};

}  // namespace fetchrun
