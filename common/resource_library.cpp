#include "resource_library.h"

#include "companion.h"
#include "signature.h"

namespace cw {

HMODULE LoadResourceLibrary(bool verifySignature, bool silent) {
    const std::wstring path = CompanionPath(kResourceLibraryName);
    if (path.empty()) return nullptr;
    if (verifySignature &&
        VerifyFileSignature(path.c_str(), silent ? WTD_UI_NONE : WTD_UI_NOGOOD) != 0) {
        return nullptr;
    }
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

std::wstring LoadLibraryString(HMODULE module, unsigned id) {
    const wchar_t* text = nullptr;
    // With a zero length, LoadStringW hands out the resource's own characters.
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return {};
    return std::wstring(text, static_cast<std::size_t>(length));
}

LineList ReadLineList(HMODULE library, unsigned id) {
    const void* data;
    DWORD size;
    ReadResourceBytes(library, kTxtResourceType, id, &data, &size);
    return ParseLineList(data, size);
}

PairList ReadPairList(HMODULE library, unsigned id) {
    const void* data;
    DWORD size;
    ReadResourceBytes(library, kTxtResourceType, id, &data, &size);
    return ParsePairList(data, size);
}

}  // namespace cw
