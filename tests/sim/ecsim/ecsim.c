/* Simulated embedded-controller library of the platform, found by Cellwise.exe
 * through HKLM\SOFTWARE\Norvane\NRV0A17 ("InstPath", "DllName"). Exports
 * GetECDevInfo and ReadWritePWRMC with the C calling convention and answers from
 * the environment of the process, so each scenario sets its own:
 *   CW_ECSIM_DEVINFO_RESULT  result of GetECDevInfo (default 0)
 *   CW_ECSIM_FLAGS           the flag word it reports (default 0x10: value readable)
 *   CW_ECSIM_READ_RESULT     result of ReadWritePWRMC (default 0)
 *   CW_ECSIM_VALUE           the value it reports for selector 0xD5 (default 3)
 *   CW_ECSIM_TRACE           a file to which every call appends one line:
 *                            "GetECDevInfo in=0x%08X" or
 *                            "ReadWritePWRMC selector=0x%X in=0x%08X"
 *                            (in = what the caller's output held before the call)
 * Built as ecsim_part.dll it also imports ecpart.dll, a DLL of its own folder, as
 * a platform's installation may bring one. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#define SELECTOR_VALUE 0xD5u
#define RESULT_BAD_SELECTOR 0x57u

static DWORD fromEnvironment(const char *name, DWORD fallback)
{
    char text[32];
    DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
    if (n == 0 || n >= sizeof text)
        return fallback;
    return strtoul(text, NULL, 0);
}

static void trace(const char *line)
{
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("CW_ECSIM_TRACE", path, sizeof path);
    HANDLE file;
    DWORD written;
    if (n == 0 || n >= sizeof path)
        return;
    file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    WriteFile(file, line, (DWORD)strlen(line), &written, NULL);
    CloseHandle(file);
}

#ifdef CW_ECSIM_PART
__declspec(dllimport) DWORD __cdecl EcPartFlags(void);
#endif

__declspec(dllexport) DWORD __cdecl GetECDevInfo(DWORD *flags)
{
    char line[64];
    if (!flags)
        return RESULT_BAD_SELECTOR;
#ifdef CW_ECSIM_PART
    *flags |= EcPartFlags();
#endif
    snprintf(line, sizeof line, "GetECDevInfo in=0x%08lX\n", (unsigned long)*flags);
    trace(line);
    *flags = fromEnvironment("CW_ECSIM_FLAGS", 0x10);
    return fromEnvironment("CW_ECSIM_DEVINFO_RESULT", 0);
}

__declspec(dllexport) DWORD __cdecl ReadWritePWRMC(DWORD selector, DWORD *value)
{
    char line[80];
    if (!value)
        return RESULT_BAD_SELECTOR;
    snprintf(line, sizeof line, "ReadWritePWRMC selector=0x%lX in=0x%08lX\n", (unsigned long)selector,
             (unsigned long)*value);
    trace(line);
    if (selector != SELECTOR_VALUE)
        return RESULT_BAD_SELECTOR;
    *value = fromEnvironment("CW_ECSIM_VALUE", 3);
    return fromEnvironment("CW_ECSIM_READ_RESULT", 0);
}
