#include "cellwise/report/utf16_file.h"

namespace cw {
namespace {
constexpr wchar_t kByteOrderMark = 0xFEFF;
}

unique_file OpenUtf16ForAppend(const wchar_t* path) {
    // No write sharing: the file is ours while it is open.
    unique_file file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return file;
    DWORD written = 0;
    LARGE_INTEGER zero = {};
    if (!SetFilePointerEx(file.get(), zero, nullptr, FILE_BEGIN) ||
        !WriteFile(file.get(), &kByteOrderMark, sizeof(kByteOrderMark), &written, nullptr) ||
        written != sizeof(kByteOrderMark) || !SetFilePointerEx(file.get(), zero, nullptr, FILE_END)) {
        file.reset();
    }
    return file;
}

bool WriteUtf16(HANDLE file, const std::wstring& text) {
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    return WriteFile(file, text.data(), bytes, &written, nullptr) && written == bytes;
}

}  // namespace cw
