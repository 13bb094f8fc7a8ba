// Line formats of Fetchrun's diagnostic log and the name of the lock that guards
// each line. Pure text: no Windows headers, so it is tested on strings.
#pragma once
#include <cstdint>
#include <string>

#include "common/time_stamp.h"

namespace fetchrun {

// Local time of one log line (its milliseconds are not written).
using LogTime = cw::TimeStamp;

inline constexpr wchar_t kLogProgramName[] = L"Fetchrun";
// Longest banner, in characters, without the line end.
inline constexpr std::size_t kLogBannerMax = 255;
// Longest event text LogFormat keeps, in characters (its buffer holds one more).
inline constexpr std::size_t kLogTextMax = 1999;

// "********** <name> - YYYY/MM/DD - hh:mm:ss **********", cut to kLogBannerMax.
std::wstring FormatLogBanner(const wchar_t* programName, const LogTime& time);

// "YYYY/MM/DD hh:mm:ss - ", the prefix of every event line.
std::wstring FormatLogPrefix(const LogTime& time);

// `text` cut to at most `maxChars` characters.
std::wstring CutText(const std::wstring& text, std::size_t maxChars);

// Name of the semaphore that serialises log lines of every process started from
// the executable `exePath`: the path without its last three characters, ".LOG",
// then a fixed GUID-like suffix. Backslashes become '/' because the object
// namespace takes a backslash as a directory separator and refuses the name.
std::wstring LogLockName(const std::wstring& exePath);

}  // namespace fetchrun
