#include "cellwise/verdict/verdict.h"

#include <algorithm>
#include <climits>
#include <cwchar>

namespace cw {
namespace {

constexpr std::size_t kSequenceOffset = 5;
constexpr std::size_t kSequenceLength = 6;
constexpr std::size_t kMinBoundLength = 10;
constexpr std::size_t kMinSerialLength = 11;
constexpr std::size_t kSerialMarkOffset = 4;

}  // namespace

std::int32_t SerialSequence(const std::wstring& text) {
    if (text.size() <= kSequenceOffset) return 0;
    const std::wstring digits = text.substr(kSequenceOffset, kSequenceLength);
    // Six characters cannot overflow 32 bits, so long's width does not matter.
    return static_cast<std::int32_t>(std::wcstol(digits.c_str(), nullptr, 10));
}

bool SerialInRange(const LineList& serialBounds, const std::wstring& serial) {
    std::int32_t lower = INT32_MAX;
    std::int32_t upper = INT32_MIN;
    for (const std::wstring& bound : serialBounds) {
        if (bound.size() < kMinBoundLength) continue;
        const std::int32_t value = SerialSequence(bound);
        lower = std::min(lower, value);
        upper = std::max(upper, value);
    }
    if (serial.size() < kMinSerialLength || serial[kSerialMarkOffset] != L'Z' || serial.back() != L'Z') {
        return false;
    }
    const std::int32_t value = SerialSequence(serial);
    return lower <= value && value <= upper;
}

bool IsTargetBattery(const LineList& targetNames, const LineList& serialBounds,
                     const PairList& targetPairs, const BatteryRecord& battery) {
    if (!EqualsIgnoringAsciiCase(battery.manufacturer, kTargetMaker)) return false;
    if (std::find(targetNames.begin(), targetNames.end(), battery.name) != targetNames.end() &&
        SerialInRange(serialBounds, battery.serial)) {
        return true;
    }
    return std::any_of(targetPairs.begin(), targetPairs.end(), [&](const Pair& pair) {
        return pair.key == battery.name && pair.value == battery.serial;
    });
}

CheckOutcome DecideOutcome(const LineList& targetNames, const LineList& serialBounds,
                           const PairList& targetPairs, const BatteryList& batteries) {
    CheckOutcome outcome;
    for (const BatteryRecord& battery : batteries) {
        if (IsTargetBattery(targetNames, serialBounds, targetPairs, battery)) {
            outcome.found = true;
            outcome.batteryName = battery.name;
            outcome.batterySerial = battery.serial;
            break;
        }
    }
    return outcome;
}

}  // namespace cw
