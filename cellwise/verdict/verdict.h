// Whether a battery pack is a target. Pure: lists and records in, bool out.
#pragma once
#include <cstdint>
#include <string>

#include "common/ascii_case.h"
#include "cellwise/identify/battery_record.h"
#include "common/text_list.h"

namespace cw {

// What the result dialogs are handed.
struct CheckOutcome {
    bool found = false;
    std::wstring batteryName;
    std::wstring batterySerial;
    std::wstring platformId;
    bool fetchrunDebug = false;
};

inline constexpr wchar_t kTargetMaker[] = L"Norvane";

// The six characters from offset 5 read as wcstol reads a decimal number.
std::int32_t SerialSequence(const std::wstring& text);

bool SerialInRange(const LineList& serialBounds, const std::wstring& serial);

bool IsTargetBattery(const LineList& targetNames, const LineList& serialBounds,
                     const PairList& targetPairs, const BatteryRecord& battery);

// Walks the batteries in order; the first target fills found, name and serial.
CheckOutcome DecideOutcome(const LineList& targetNames, const LineList& serialBounds,
                           const PairList& targetPairs, const BatteryList& batteries);

}  // namespace cw
