// hwlink.dll's entry: the device channel starts closed (its initial value) and a
// handle still open at unload is closed. Nothing else happens on load or unload,
// nothing on thread attach or detach.
#include <windows.h>

#include "hwlink/frame/device_channel.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH) hwlink::ReleaseChannel();
    return TRUE;
}
