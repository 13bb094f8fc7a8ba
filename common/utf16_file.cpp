#include "common/utf16_file.h"

#include "common/busy_retry.h"

namespace cw {
namespace {

constexpr wchar_t kByteOrderMark = 0xFEFF;

bool WriteByteOrderMark(HANDLE file) { return WriteUtf16(file, &kByteOrderMark, 1); }

}  // namespace

unique_file OpenUtf16ForAppend(const wchar_t* path, DWORD share, DWORD busyWaitMs) {
    BusyRetry retry(busyWaitMs);
    unique_file file;
    do {
        file.reset(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    } while (!file && retry.PauseAfter(GetLastError()));
    if (!file) return file;

    LARGE_INTEGER zero = {};
    LARGE_INTEGER end = {};
    if (!SetFilePointerEx(file.get(), zero, &end, FILE_END) || (end.QuadPart == 0 && !WriteByteOrderMark(file.get()))) {
        file.reset();
    }
    return file;
}

unique_file CreateUtf16File(const wchar_t* path) {
    unique_file file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file && !WriteByteOrderMark(file.get())) file.reset();
    return file;
}

bool WriteUtf16(HANDLE file, const wchar_t* text, std::size_t length) {
    const DWORD bytes = static_cast<DWORD>(length * sizeof(wchar_t));
    DWORD written = 0;
    return WriteFile(file, text, bytes, &written, nullptr) && written == bytes;
}

bool WriteUtf16(HANDLE file, const std::wstring& text) { return WriteUtf16(file, text.data(), text.size()); }

}  // namespace cw
