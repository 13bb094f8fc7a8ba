#include "common/resource_library.h"

#include <utility>

#include "common/companion.h"
#include "common/signature.h"
#include "common/string_block.h"

namespace cw {

ResourceLibrary LoadResourceLibrary(bool verifySignature, bool silent) {
    const std::wstring path = CompanionPath(kResourceLibraryName);
    if (path.empty()) return {};
    if (!verifySignature) {
        return ResourceLibrary({}, unique_module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)));
    }

    // Held without write or delete sharing from the check until the library is
    // freed: no handle opened meanwhile changes what was checked.
    unique_file held = HoldTrustedFile(path.c_str(), silent ? WTD_UI_NONE : WTD_UI_NOGOOD);
    if (!held) return {};
    unique_module module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return {};
    return ResourceLibrary(std::move(held), std::move(module));
}

std::wstring LoadLibraryString(HMODULE module, unsigned id) {
    // The block in the language the resource loader picks by default, as LoadStringW
    // finds it.
    const void* data;
    DWORD size;
    if (!ReadResourceBytes(module, RT_STRING, StringBlockOf(id), &data, &size)) return {};
    return StringBlockEntry(static_cast<const std::uint8_t*>(data), size, StringEntryOf(id));
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
