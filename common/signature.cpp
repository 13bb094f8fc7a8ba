#include "common/signature.h"

#include <softpub.h>

namespace cw {
namespace {

WinVerifyTrustCall g_winVerifyTrust = nullptr;

}  // namespace

WinVerifyTrustCall UseWinVerifyTrust(WinVerifyTrustCall call) {
    const WinVerifyTrustCall previous = g_winVerifyTrust;
    g_winVerifyTrust = call;
    return previous;
}

LONG VerifyFileSignature(const wchar_t* path, DWORD uiChoice, WintrustSize size, HANDLE handle) {
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = path;
    file.hFile = handle;

    WintrustDataEx data = {};
    data.cbStruct = static_cast<DWORD>(size);
    data.dwUIChoice = uiChoice;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = 0;  // ignore: no state is kept between calls

    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const WinVerifyTrustCall verify = g_winVerifyTrust ? g_winVerifyTrust : &WinVerifyTrust;
    return verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
}

}  // namespace cw
