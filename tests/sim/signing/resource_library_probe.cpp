// Loads the language library beside this program the way both programs do.
//   resource_library_probe.exe verify|noverify
// Exit code: 0 loaded and its target name list read, 1 not loaded (last error on
// stdout), 3 loaded but the list was empty, 2 bad command line; after a checked
// load also 4 when the library could be opened for writing while loaded, 5 when
// it still could not once freed.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "common/companion.h"
#include "common/resource_library.h"
#include "common/unique_handle.h"

namespace {

bool OpensForWriting(const std::wstring& path) {
    const cw::unique_file file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
    return static_cast<bool>(file);
}

}  // namespace

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
    cw::ResourceLibrary library = cw::LoadResourceLibrary(verify, true);
    if (!library) {
        std::printf("not loaded, error %lu\n", GetLastError());
        return 1;
    }
    if (cw::ReadLineList(library.get(), 101).empty()) return 3;
    if (!verify) return 0;
    const std::wstring path = cw::CompanionPath(cw::kResourceLibraryName);
    if (OpensForWriting(path)) return 4;
    library.reset();
    return OpensForWriting(path) ? 0 : 5;
}
