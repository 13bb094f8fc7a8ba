// Resource ids that Cellwise.exe reads from the language library.
#pragma once

namespace cw::library {
inline constexpr unsigned kTargetNames = 101;    // TXT line list
inline constexpr unsigned kSerialBounds = 102;   // TXT line list
inline constexpr unsigned kTargetPairs = 110;    // TXT pair list
inline constexpr unsigned kPlatformPairs = 114;  // TXT pair list
inline constexpr unsigned kNoBatteryText = 113;  // string
}  // namespace cw::library
