#include "common/signature.h"

#include <softpub.h>

#include "common/call_seam.h"

namespace cw {
namespace {

CallSeam<WinVerifyTrustCall> g_winVerifyTrust(&WinVerifyTrust);

}  // namespace

WinVerifyTrustCall UseWinVerifyTrust(WinVerifyTrustCall call) { return g_winVerifyTrust.Use(call); }

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
    return g_winVerifyTrust.Get()(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
}

}  // namespace cw
