// The floor of the start benchmark with the signature check
// (tools/bench_start.py): a GUI program that makes one WinVerifyTrust of the file
// its command line names, as Cellwise's check of battery.dll does (no UI, no
// revocation check, whole chain), and ends with its result.
#include <windows.h>
#include <softpub.h>
#include <wintrust.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR line, int) {
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = line;
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG result = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return static_cast<int>(result);
}
