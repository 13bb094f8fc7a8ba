#include "common/resource_library.h"

#include "common/companion.h"
#include "common/signature.h"
#include "common/unique_handle.h"

namespace cw {

HMODULE LoadResourceLibrary(bool verifySignature, bool silent) {
    const std::wstring path = CompanionPath(kResourceLibraryName);
    if (path.empty()) return nullptr;
    if (!verifySignature) return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);

    // Held without write or delete sharing from the check to the load, so the
    // library that is loaded is the one whose signature was checked.
    unique_file held(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!held) return nullptr;
    const DWORD ui = silent ? WTD_UI_NONE : WTD_UI_NOGOOD;
    if (VerifyFileSignature(path.c_str(), ui, WintrustSize::WithoutSignatureSettings, held.get()) != 0) {
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
