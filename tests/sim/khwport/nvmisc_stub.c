/* Stands in for hwlink.dll in the platform identity tests: exports only
 * GABI_NVMISC_GetSystemInfo and answers from the environment of the process:
 *   CW_STUB_STATUS     the status to return (default 0)
 *   CW_STUB_SYSTEM_ID  the first field of the record (default 0)
 * A caller must pass four non-null, zeroed outputs; otherwise it gets 0x10002. */
#include <windows.h>
#include <stdlib.h>
#include <string.h>

static DWORD fromEnvironment(const char *name, DWORD fallback)
{
    char text[32];
    DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
    if (n == 0 || n >= sizeof text)
        return fallback;
    return strtoul(text, NULL, 0);
}

__declspec(dllexport) DWORD WINAPI GABI_NVMISC_GetSystemInfo(unsigned char *record, DWORD *status1,
                                                             DWORD *status2, DWORD *status3)
{
    static const unsigned char zero[10];
    DWORD status = fromEnvironment("CW_STUB_STATUS", 0);
    DWORD id = fromEnvironment("CW_STUB_SYSTEM_ID", 0);
    if (!record || !status1 || !status2 || !status3 || memcmp(record, zero, sizeof zero) != 0 || *status1 ||
        *status2 || *status3)
        return 0x10002;
    memcpy(record, &id, sizeof id);
    record[4] = 0x5A;
    *status1 = 1;
    *status2 = 1;
    return status;
}
