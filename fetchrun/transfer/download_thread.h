// Download of one URL into a file on a worker thread (WinINet), within the time and
// size limits of transfer_limits.h. A download with a published hash is a program:
// it is written into a file no other process of the user can write
// (program_file.h) and hashed as it is written; it then gets its ".exe" name, is
// held, and its publisher's signature is checked through the hold.
#pragma once
#include <windows.h>

#include <string>

#include "fetchrun/transfer/thread_base.h"
#include "fetchrun/transfer/transfer_limits.h"
#include "fetchrun/transfer/transfer_result.h"
#include "fetchrun/transfer/verified_file_lock.h"

namespace fetchrun {

class BodySink;

class CThreadDL : public CThreadBase {
public:
    // Null or empty texts leave their field empty. The settings download passes
    // no hash and verifySignature 0; the program download its hash and 1.
    CThreadDL(const wchar_t* url, const wchar_t* path, const wchar_t* expectedHash, DWORD verifySignature);
    ~CThreadDL() override;

    // Downloads url into path; a body shorter than the Content-Length the server
    // announced, or one that breaks a limit, is a failure. The settings are written
    // into path as it is (the caller deletes what a failure leaves). A program
    // without a published hash is refused before anything is fetched; one that
    // fails leaves no file under the download's name, one that fails its hash or
    // signature none at all.
    void Run() override;

    // Success, or what failed. Read it only after IsRunning has turned false.
    virtual TransferResult GetResult() const;
    // Where the download is now: the path given, or that path with ".exe" once a
    // program was renamed. Read it only while no thread runs.
    const std::wstring& Path() const { return path_; }
    // A program that passed its checks, held since before the signature check; the
    // caller keeps it until the program has been started. Empty otherwise.
    VerifiedFileLock TakeProgram();

private:
    bool Fail(TransferFailure failure, DWORD code = 0);
    bool FailLimit(TransferLimit limit, const TransferWatch& watch);
    // The transfer itself: every block to `sink`, the limits watched throughout.
    bool Download(BodySink& sink, const TransferLimits& limits);
    void RunSettings();
    void RunProgram();

    std::wstring url_;
    std::wstring path_;
    std::wstring expectedHash_;
    TransferResult result_;
    DWORD verifySignature_ = 0;
    VerifiedFileLock program_;
};

}  // namespace fetchrun
