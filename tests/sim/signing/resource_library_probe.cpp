// Loads the language library beside this program the way both programs do.
//   resource_library_probe.exe verify|noverify
// Exit code: 0 loaded and its target name list read, 1 not loaded (last error on
// stdout), 3 loaded but the list was empty, 2 bad command line.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "common/resource_library.h"
#include "common/unique_handle.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    bool verify;
    if (std::wcscmp(argv[1], L"verify") == 0) {
        verify = true;
    } else if (std::wcscmp(argv[1], L"noverify") == 0) {
        verify = false;
    } else {
        return 2;
    }
    cw::unique_module library(cw::LoadResourceLibrary(verify, true));
    if (!library) {
        std::printf("not loaded, error %lu\n", GetLastError());
        return 1;
    }
    return cw::ReadLineList(library.get(), 101).empty() ? 3 : 0;
}
