#include "common/utf16_file.h"

namespace cw {
namespace {

constexpr wchar_t kByteOrderMark = 0xFEFF;

bool WriteByteOrderMark(HANDLE file) { return WriteUtf16(file, &kByteOrderMark, 1); }

}  // namespace

unique_file OpenUtf16ForAppend(const wchar_t* path, DWORD share, Utf16Mark mark) {
    unique_file file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return file;
    LARGE_INTEGER zero = {};
    bool marked = false;
    if (mark == Utf16Mark::Rewrite) {
        marked = SetFilePointerEx(file.get(), zero, nullptr, FILE_BEGIN) && WriteByteOrderMark(file.get()) &&
                 SetFilePointerEx(file.get(), zero, nullptr, FILE_END);
    } else {
        LARGE_INTEGER end = {};
        marked = SetFilePointerEx(file.get(), zero, &end, FILE_END) &&
                 (end.QuadPart != 0 || WriteByteOrderMark(file.get()));
    }
    if (!marked) file.reset();
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
