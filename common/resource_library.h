// The language library battery.dll: found beside the program, trusted only with a
// valid Authenticode signature, loaded as data (none of its code runs).
#pragma once
#include <windows.h>

#include <utility>

#include "common/text_list.h"
#include "common/unique_handle.h"

namespace cw {

inline constexpr wchar_t kResourceLibraryName[] = L"battery.dll";
inline constexpr wchar_t kTxtResourceType[] = L"TXT";

// The loaded library and, when its signature was checked, the hold that keeps
// handles from being opened on its file to write, replace or delete it for as long
// as it is loaded (what a hold leaves open: HoldFileForReading). Released together,
// the library first.
class ResourceLibrary {
public:
    ResourceLibrary() = default;
    ResourceLibrary(unique_file held, unique_module module) : held_(std::move(held)), module_(std::move(module)) {}

    HMODULE get() const { return module_.get(); }
    explicit operator bool() const { return static_cast<bool>(module_); }
    void reset() {
        module_.reset();
        held_.reset();
    }

private:
    unique_file held_;  // declared first: closed after the module is freed
    unique_module module_;
};

// Empty when the library is missing, untrusted (when checked) or cannot be loaded.
ResourceLibrary LoadResourceLibrary(bool verifySignature, bool silent);

// String `id` of `module` (the loader picks the language); empty when missing or empty.
std::wstring LoadLibraryString(HMODULE module, unsigned id);

// The "TXT" resource `id` of `library` as a list; empty when absent.
LineList ReadLineList(HMODULE library, unsigned id);
PairList ReadPairList(HMODULE library, unsigned id);

}  // namespace cw
