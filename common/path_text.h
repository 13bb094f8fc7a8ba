// The two path edits the programs make on their own module path, by the rules of
// shlwapi's PathRemoveFileSpecW and PathAppendW, without loading shlwapi (which
// brings in the whole user interface: a silent run would pay for it at every
// start). No Windows headers.
#pragma once
#include <cstddef>
#include <string>

namespace cw {

// Paths of 260 characters or more do not fit the programs' MAX_PATH buffers.
inline constexpr std::size_t kPathLimit = 260;

// Removes the last part of `path` and the backslash before it; the backslash of a
// drive root ("C:\") and the leading "\\" of a UNC path stay. False when nothing
// was removed.
bool RemoveFileSpec(std::wstring& path);

// `folder` and `name` joined by one backslash (`name` is a plain file name, and the
// folder a module's canonical folder, so nothing is left to clean up); empty when
// the result would not fit kPathLimit.
std::wstring AppendPath(const std::wstring& folder, const std::wstring& name);

}  // namespace cw
