#pragma once
#include <string>

namespace cw {

inline constexpr wchar_t kFetchrunName[] = L"Fetchrun.exe";
// Longest command line handed to Fetchrun.exe, in characters without the terminator.
inline constexpr std::size_t kFetchrunCommandLineMax = 519;

// "\"<program>\" \"/Target:<target>\"" plus the debug log argument, cut to the maximum.
std::wstring BuildFetchrunCommandLine(const std::wstring& program, const std::wstring& target, bool debug);

// Starts the signed Fetchrun.exe beside this program for `target`; true when
// the process was created. Does not wait for it.
bool StartFetchrun(bool debug, const std::wstring& target);

}  // namespace cw
