// The language library battery.dll: found beside the program, trusted only with a
// valid Authenticode signature, loaded as data (none of its code runs).
#pragma once
#include <windows.h>

#include "common/text_list.h"

namespace cw {

inline constexpr wchar_t kResourceLibraryName[] = L"battery.dll";
inline constexpr wchar_t kTxtResourceType[] = L"TXT";

// Null when the library is missing, untrusted (when checked) or cannot be loaded.
// The caller releases the handle with FreeLibrary.
HMODULE LoadResourceLibrary(bool verifySignature, bool silent);

// String `id` of `module` (the loader picks the language); empty when missing or empty.
std::wstring LoadLibraryString(HMODULE module, unsigned id);

// The "TXT" resource `id` of `library` as a list; empty when absent.
LineList ReadLineList(HMODULE library, unsigned id);
PairList ReadPairList(HMODULE library, unsigned id);

}  // namespace cw
