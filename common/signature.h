// Authenticode trust check through WinVerifyTrust.
#pragma once
#include <windows.h>
#include <wintrust.h>

#include <cstddef>

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

// Returns WinVerifyTrust's result: 0 only for a valid, trusted signature. With an
// open `file`, the bytes behind that handle are judged (the path only names them).
LONG VerifyFileSignature(const wchar_t* path, DWORD uiChoice,
                         WintrustSize size = WintrustSize::WithoutSignatureSettings, HANDLE file = nullptr);

}  // namespace cw
