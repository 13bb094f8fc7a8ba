// Holds a file as a program that has it open for reading holds it (a spreadsheet
// showing the report, a backup): others may read it, not write it.
//   holdfile.exe <file> <milliseconds> <marker>
// Opens <file> (which must exist), creates <marker> once the hold has begun, holds
// the file for <milliseconds>, then writes the file's size as it is at the end of
// the hold into <marker> (decimal) and lets go. Exit code 0; 1 when the file
// cannot be opened or the marker not written.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

bool WriteMarker(const wchar_t* path, const char* text) {
    HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const DWORD length = static_cast<DWORD>(std::strlen(text));
    const bool ok = WriteFile(marker, text, length, &written, nullptr) && written == length;
    CloseHandle(marker);
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    bool ok = WriteMarker(argv[3], "");
    Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    LARGE_INTEGER size = {};
    char text[32];
    ok = ok && GetFileSizeEx(file, &size);
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(size.QuadPart));
    ok = ok && WriteMarker(argv[3], text);
    CloseHandle(file);
    return ok ? 0 : 1;
}
