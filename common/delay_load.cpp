// The programs import the DLLs that Windows does not always take from its system
// folder lazily (delay-load libraries, cmake/DelayImports.cmake). The runtime's
// helper loads each on its first call through these hooks: from the system folder
// only. A system DLL or function that is missing there is a broken installation;
// the process then ends at once with the code Windows gives a program whose static
// import is missing (no exception, which nothing in these programs would handle).
#include <windows.h>
#include <delayimp.h>

#include "common/end_process.h"
#include "common/system_library.h"

namespace {

// Not in every MinGW header set.
constexpr UINT kStatusDllNotFound = 0xC0000135;         // STATUS_DLL_NOT_FOUND
constexpr UINT kStatusEntryPointNotFound = 0xC0000139;  // STATUS_ENTRYPOINT_NOT_FOUND

// The names come from this program's own import descriptors: plain ASCII.
HMODULE LoadDelayedLibrary(const char* name) {
    wchar_t wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, wide, MAX_PATH) == 0) return nullptr;
    return cw::LoadSystemLibrary(wide);
}

FARPROC WINAPI OnDelayLoadNotice(unsigned notice, PDelayLoadInfo info) {
    if (notice != dliNotePreLoadLibrary) return nullptr;
    // Never null: the helper would otherwise try a load of its own.
    const HMODULE module = LoadDelayedLibrary(info->szDll);
    if (!module) cw::EndProcess(kStatusDllNotFound);
    return reinterpret_cast<FARPROC>(module);
}

FARPROC WINAPI OnDelayLoadFailure(unsigned notice, PDelayLoadInfo) {
    cw::EndProcess(notice == dliFailGetProc ? kStatusEntryPointNotFound : kStatusDllNotFound);
}

}  // namespace

// The runtime's delay-load helper calls these (their definitions here take the
// place of the runtime's empty ones).
extern "C" {
PfnDliHook __pfnDliNotifyHook2 = OnDelayLoadNotice;
PfnDliHook __pfnDliFailureHook2 = OnDelayLoadFailure;
}

// dlltool puts the descriptor of each delay-load library into .text$2, and the
// linker lays those out one after another. This empty one follows them and ends the
// table, as the PE format asks, so that tools/pe_directories.py can name the table
// in the header (GNU ld 2.40 does not), where pefile and dumpbin look for it.
// Written in assembly: GCC would align a 32-byte object to 32 bytes, leaving a gap.
static_assert(sizeof(ImgDelayDescr) == 32, "the empty descriptor below is 32 bytes");
#define CW_STRING(x) #x
#define CW_SYMBOL(prefix, name) CW_STRING(prefix) #name
__asm__(".section .text$2z,\"dr\"\n"
        ".balign 4\n"
        ".globl " CW_SYMBOL(__USER_LABEL_PREFIX__, cw_delay_import_end) "\n"
        CW_SYMBOL(__USER_LABEL_PREFIX__, cw_delay_import_end) ":\n"
        ".space 32\n"
        ".text\n");
