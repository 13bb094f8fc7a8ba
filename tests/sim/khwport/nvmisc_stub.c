/* Stands in for hwlink.dll in the platform identity tests: exports only
 * GABI_NVMISC_GetSystemInfo and answers from the environment of the process:
 *   CW_STUB_STATUS     the status to return (default 0)
 *   CW_STUB_SYSTEM_ID  the first field of the record (default 0)
 * A caller must pass four non-null, zeroed outputs; otherwise it gets 0x10002. */
#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "hwlink/hwlink.h"

static DWORD fromEnvironment(const char *name, DWORD fallback)
{
    char text[32];
    DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
    if (n == 0 || n >= sizeof text)
        return fallback;
    return strtoul(text, NULL, 0);
}

__declspec(dllexport) uint32_t HWLINK_STDCALL GABI_NVMISC_GetSystemInfo(NvmiscSystemInfo *info, uint16_t *status1,
                                                                       uint16_t *status2, uint16_t *status3)
{
    static const unsigned char zero[sizeof(NvmiscSystemInfo)];
    DWORD status = fromEnvironment("CW_STUB_STATUS", 0);
    if (!info || !status1 || !status2 || !status3 || memcmp(info, zero, sizeof zero) != 0 || *status1 ||
        *status2 || *status3)
        return HWLINK_INVALID_ARGUMENT;
    info->systemId = fromEnvironment("CW_STUB_SYSTEM_ID", 0);
    info->second = 0x5A;
    *status1 = 1;
    *status2 = 1;
    return status;
}
