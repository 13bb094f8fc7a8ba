// Download of one URL into a file on a worker thread (WinINet), with the optional
// hash and signature checks of a downloaded program.
#pragma once
#include <windows.h>

#include <string>

#include "fetchrun/transfer/thread_base.h"

namespace fetchrun {

// Result texts of a download (empty result = success). Those with a format take
// the system error or the platform's result.
inline constexpr wchar_t kDlErrorUrlOrPath[] = L"CThreadDL - error: URL or Path invalid";
inline constexpr wchar_t kDlInterrupted[] = L"CThreadDL - thread interruped.";
inline constexpr wchar_t kDlErrorCreateFile[] = L"CThreadDL - error: CreateFile (0x%08X)";
inline constexpr wchar_t kDlErrorInternetOpen[] = L"CThreadDL - error: InternetOpen (0x%08X)";
inline constexpr wchar_t kDlErrorOpenUrl[] = L"CThreadDL - error: InternetOpenUrl (0x%08X)";
inline constexpr wchar_t kDlErrorReadFile[] = L"CThreadDL - error: InternetReadFile (0x%08X)";
inline constexpr wchar_t kDlErrorWriteFile[] = L"CThreadDL - error: WriteFile (0x%08X)";
inline constexpr wchar_t kDlErrorIncomplete[] = L"CThreadDL - error: body incomplete (%I64u of %I64u bytes)";
inline constexpr wchar_t kDlErrorHash[] = L"CThreadDL - error: Hash invalid";
inline constexpr wchar_t kDlErrorTrust[] = L"CThreadDL - error: WinVerifyTrust return 0x%08X.";
// Appended to a WinINet failure when the server's last response text is known.
inline constexpr wchar_t kDlResponseSuffix[] = L" err=%d,%s";

class CThreadDL : public CThreadBase {
public:
    // Null or empty texts leave their field empty. The settings download passes
    // no hash and verifySignature 0; the program download its hash and 1.
    CThreadDL(const wchar_t* url, const wchar_t* path, const wchar_t* expectedHash, DWORD verifySignature);
    ~CThreadDL() override;

    // Downloads url into path (created anew), then checks the hash when one is
    // expected and the signature when asked; a file that fails a check is deleted.
    // A body shorter than the Content-Length the server announced is a failure.
    void Run() override;

    // Empty on success, else what failed. Read it only after IsRunning has turned
    // false.
    virtual std::wstring GetResult() const;

private:
    void Fail(const wchar_t* format, ...);
    void AppendResponseText();

    std::wstring url_;
    std::wstring path_;
    std::wstring expectedHash_;
    std::wstring result_;
    DWORD verifySignature_ = 0;
};

}  // namespace fetchrun
