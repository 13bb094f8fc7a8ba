// Authenticode trust check through WinVerifyTrust, and the hold that keeps other
// handles from writing a checked file.
#pragma once
#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstddef>

#include "common/unique_handle.h"

namespace cw {

// WINTRUST_DATA with the trailing signature-settings member that MinGW's header
// lacks. Which of the two sizes a caller passes is fixed per use: the language
// library check passes the size without that member, Fetchrun's program check the
// full one.
struct WintrustDataEx {
    DWORD cbStruct;
    LPVOID pPolicyCallbackData;
    LPVOID pSIPClientData;
    DWORD dwUIChoice;
    DWORD fdwRevocationChecks;
    DWORD dwUnionChoice;
    WINTRUST_FILE_INFO* pFile;
    DWORD dwStateAction;
    HANDLE hWVTStateData;
    WCHAR* pwszURLReference;
    DWORD dwProvFlags;
    DWORD dwUIContext;
    void* pSignatureSettings;
};

enum class WintrustSize : DWORD {
    WithoutSignatureSettings = offsetof(WintrustDataEx, pSignatureSettings),
    WithSignatureSettings = sizeof(WintrustDataEx),
};

#if defined(__i386__)
static_assert(offsetof(WintrustDataEx, pSignatureSettings) == 48, "i686 WINTRUST_DATA up to the settings");
static_assert(sizeof(WintrustDataEx) == 52, "i686 WINTRUST_DATA with the settings");
static_assert(sizeof(WINTRUST_FILE_INFO) == 16, "i686 WINTRUST_FILE_INFO");
#endif

// The trust call: WinVerifyTrust, or what a test puts in its place to see the
// structures it is handed.
using WinVerifyTrustCall = LONG(WINAPI*)(HWND window, GUID* action, LPVOID data);
// Makes `call` (null: WinVerifyTrust) the check of every later VerifyFileSignature;
// returns the previous one.
WinVerifyTrustCall UseWinVerifyTrust(WinVerifyTrustCall call);

// A publisher as a signer's own certificate must show it: the one common name of
// its subject, and its key among `keys` (SHA-256 of the SubjectPublicKeyInfo, 64
// lower-case hex digits each). Names are not unique across certificate
// authorities; keys are.
struct Publisher {
    const wchar_t* name;
    const char* const* keys;
    std::size_t keyCount;
};

inline constexpr std::size_t kSha256Size = 32;  // bytes of a SHA-256 value

// A SHA-256 value in lower-case hex digits and a terminator.
struct KeyHashText {
    char digits[2 * kSha256Size + 1];
};

// The SHA-256 of the SubjectPublicKeyInfo of `certificate`, taken from its
// encoding as it stands. False (and `text` empty) when the encoding cannot be
// walked or disagrees with the key the certificate was decoded with.
bool SubjectPublicKeyHash(PCCERT_CONTEXT certificate, KeyHashText& text);

// Whether `certificate` is `publisher`'s: exactly one common name in its subject,
// equal to the name (same characters, same length), and its key hash one of the
// keys.
bool IsPublisherCertificate(PCCERT_CONTEXT certificate, const Publisher& publisher);

// Returns WinVerifyTrust's result: 0 only for a valid, trusted signature. With an
// open `file`, the bytes behind that handle are judged (the path only names them).
// With a `publisher`, a trusted signature counts only when the signer's own
// certificate is the publisher's (IsPublisherCertificate); any other signer gives
// TRUST_E_SUBJECT_NOT_TRUSTED.
LONG VerifyFileSignature(const wchar_t* path, DWORD uiChoice,
                         WintrustSize size = WintrustSize::WithoutSignatureSettings, HANDLE file = nullptr,
                         const Publisher* publisher = nullptr);

// Opens `path` to read, shared for reading only: while the handle lives no handle
// can be opened on the file to write, truncate, replace, rename or delete it. Share
// modes govern open handles only: a writable view that another process mapped
// before, through a handle it has closed since, is not seen and still changes the
// bytes. So the hold narrows what can change a file between its check and its use;
// for the files beside the programs (battery.dll, Fetchrun.exe) a folder that only
// administrators can write is what protects them. Others may still read and run
// it. Invalid, with the last error, when the file is missing or another handle may
// already write or delete it.
unique_file HoldFileForReading(const wchar_t* path);

// HoldFileForReading, then the signature of the bytes behind the held handle. Invalid
// when the file cannot be held (last error of the open) or its signature is not trusted.
unique_file HoldTrustedFile(const wchar_t* path, DWORD uiChoice,
                            WintrustSize size = WintrustSize::WithoutSignatureSettings);

}  // namespace cw
