#include <gtest/gtest.h>

#include "cellwise/verdict/verdict.h"

namespace {

const cw::LineList kNames{L"NRV-BP41A", L"NRV-BP52"};
const cw::LineList kBounds{L"2311Z109999Z", L"2305Z100000Z"};
const cw::PairList kPairs{{L"NRV-BP33", L"2209Z000417Z"}, {L"NRV-BP41A", L"2212Z201733Z"}};

cw::BatteryRecord Pack(std::wstring maker, std::wstring name, std::wstring serial) {
    return cw::BatteryRecord{true, std::move(maker), std::move(name), std::move(serial)};
}

bool IsTarget(const cw::BatteryRecord& b) { return cw::IsTargetBattery(kNames, kBounds, kPairs, b); }

}  // namespace

TEST(SerialRange, BoundsComeFromTheSequenceFieldInAnyOrder) {
    EXPECT_TRUE(cw::SerialInRange(kBounds, L"2307Z100000Z"));
    EXPECT_TRUE(cw::SerialInRange(kBounds, L"2307Z109999Z"));
    EXPECT_TRUE(cw::SerialInRange(kBounds, L"9999Z104512Z"));
    EXPECT_FALSE(cw::SerialInRange(kBounds, L"2307Z099999Z"));
    EXPECT_FALSE(cw::SerialInRange(kBounds, L"2307Z110000Z"));
}

TEST(SerialRange, SerialMustHaveTheZShape) {
    EXPECT_FALSE(cw::SerialInRange(kBounds, L"2307z104512Z"));  // lower-case mark
    EXPECT_FALSE(cw::SerialInRange(kBounds, L"2307Z104512z"));
    EXPECT_FALSE(cw::SerialInRange(kBounds, L"2307Z104512"));   // no closing Z
    EXPECT_FALSE(cw::SerialInRange(kBounds, L"2307Z1045Z"));    // ten characters
    EXPECT_FALSE(cw::SerialInRange(kBounds, L""));
}

TEST(SerialRange, ElevenCharactersCountOnlyFiveDigits) {
    // "10451Z" converts to 10451, below the range; a range that includes it matches.
    EXPECT_FALSE(cw::SerialInRange(kBounds, L"2307Z10451Z"));
    EXPECT_TRUE(cw::SerialInRange({L"0000Z010000", L"0000Z020000"}, L"2307Z10451Z"));
}

TEST(SerialRange, ShortOrDigitlessBoundsBehaveAsWcstolSays) {
    EXPECT_FALSE(cw::SerialInRange({L"2305Z1000", L"short"}, L"2307Z000000Z"));  // no bound qualifies
    // A bound of exactly ten characters contributes its characters 6 to 10.
    EXPECT_TRUE(cw::SerialInRange({L"2305Z10000", L"2305Z10002"}, L"2307Z010001Z"));
    // No digits at the sequence position converts to 0 and widens the range down.
    EXPECT_TRUE(cw::SerialInRange({L"2305ZABCDEFZ", L"2305Z000005Z"}, L"2307Z000000Z"));
    EXPECT_TRUE(cw::SerialInRange({L"2305Z-00005Z", L"2305Z000005Z"}, L"2307Z-00003Z"));
}

TEST(TargetBattery, MakerIsComparedIgnoringAsciiCaseOnly) {
    EXPECT_TRUE(IsTarget(Pack(L"NORVANE", L"NRV-BP41A", L"2307Z104512Z")));
    EXPECT_TRUE(IsTarget(Pack(L"norvane", L"NRV-BP41A", L"2307Z104512Z")));
    EXPECT_FALSE(IsTarget(Pack(L"Norvane ", L"NRV-BP41A", L"2307Z104512Z")));
    EXPECT_FALSE(IsTarget(Pack(L"Acme", L"NRV-BP41A", L"2307Z104512Z")));
    EXPECT_FALSE(IsTarget(Pack(L"", L"NRV-BP33", L"2209Z000417Z")));
}

TEST(TargetBattery, ModelAndRangeOrIndividualPair) {
    EXPECT_TRUE(IsTarget(Pack(L"Norvane", L"NRV-BP52", L"2307Z104512Z")));
    EXPECT_FALSE(IsTarget(Pack(L"Norvane", L"nrv-bp52", L"2307Z104512Z")));   // name case matters
    EXPECT_FALSE(IsTarget(Pack(L"Norvane", L"NRV-BP52 ", L"2307Z104512Z")));  // no trimming
    EXPECT_FALSE(IsTarget(Pack(L"Norvane", L"NRV-BP33", L"2307Z104512Z")));   // model not listed
    // Listed model, serial out of range, but listed individually.
    EXPECT_TRUE(IsTarget(Pack(L"Norvane", L"NRV-BP41A", L"2212Z201733Z")));
    EXPECT_TRUE(IsTarget(Pack(L"Norvane", L"NRV-BP33", L"2209Z000417Z")));
    EXPECT_FALSE(IsTarget(Pack(L"Norvane", L"NRV-BP33", L"2209Z000419Z")));
}

TEST(TargetBattery, EmptyListsMatchNothing) {
    EXPECT_FALSE(cw::IsTargetBattery({}, {}, {}, Pack(L"Norvane", L"NRV-BP52", L"2307Z104512Z")));
    EXPECT_FALSE(cw::IsTargetBattery(kNames, {}, {}, Pack(L"Norvane", L"NRV-BP52", L"2307Z104512Z")));
}

TEST(Outcome, FirstTargetInListOrderWins) {
    const cw::BatteryList batteries{
        Pack(L"Acme", L"X1", L"1"),
        Pack(L"Norvane", L"NRV-BP33", L"2209Z000417Z"),
        Pack(L"Norvane", L"NRV-BP52", L"2307Z104512Z"),
    };
    const cw::CheckOutcome outcome = cw::DecideOutcome(kNames, kBounds, kPairs, batteries);
    EXPECT_TRUE(outcome.found);
    EXPECT_EQ(outcome.batteryName, L"NRV-BP33");
    EXPECT_EQ(outcome.batterySerial, L"2209Z000417Z");
    EXPECT_TRUE(outcome.platformId.empty());

    const cw::CheckOutcome none = cw::DecideOutcome(kNames, kBounds, kPairs, {batteries[0]});
    EXPECT_FALSE(none.found);
    EXPECT_TRUE(none.batteryName.empty());
    EXPECT_TRUE(none.batterySerial.empty());
}
