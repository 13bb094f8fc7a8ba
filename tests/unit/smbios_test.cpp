// The SMBIOS walk and its Portable Battery records, on tables built byte by byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/unit/smbios_tables.h"

using namespace smbios_test;

namespace {

std::vector<std::uint8_t> VisitedTypes(cw::FirmwareTableSource& source) {
    std::vector<std::uint8_t> types;
    cw::SmbiosTableReader reader(source);
    for (bool more = reader.Open(); more; more = reader.Next()) {
        std::uint8_t type = 0;
        EXPECT_TRUE(reader.Current().Type(type));
        types.push_back(type);
    }
    return types;
}

}  // namespace

// ---- Walking the tables -----------------------------------------------------

TEST(SmbiosWalk, VisitsEveryStructureOfEveryTableInIdentifierOrder) {
    FakeFirmware firmware;
    firmware.Add(5, Table({Structure(0, {1, 2}, {"bios"}), Structure(1, {}, {}), Battery(1, 2, 3, {"a", "b", "c"}),
                           EndOfTable()}));
    firmware.Add(2, Table({Structure(4, {0, 0, 0}, {"cpu", "socket"}), EndOfTable()}));
    EXPECT_EQ(VisitedTypes(firmware), (std::vector<std::uint8_t>{0, 1, 22, 127, 4, 127}));
    EXPECT_EQ(firmware.requested, (std::vector<std::uint32_t>{5, 2}));
}

TEST(SmbiosWalk, EndOfTableStructureIsWalkedPast) {
    FakeFirmware firmware;
    firmware.Add(0, Table({EndOfTable(), Battery(1, 2, 3, {"ACME", "S1", "Pack"})}));
    EXPECT_EQ(VisitedTypes(firmware), (std::vector<std::uint8_t>{127, 22}));
    EXPECT_EQ(Describe(ReadBatteries(firmware)), (std::vector<std::wstring>{L"valid|ACME|S1|Pack"}));
}

TEST(SmbiosWalk, NoTableMeansNoStructure) {
    FakeFirmware none;
    cw::SmbiosTableReader reader(none);
    EXPECT_FALSE(reader.Open());
    EXPECT_FALSE(reader.Next());
    std::uint8_t type = 0;
    EXPECT_FALSE(reader.Current().Type(type));
    EXPECT_TRUE(ReadBatteries(none).empty());

    FakeFirmware unreadable;  // listed, but the table comes back empty
    cw::SmbiosTableReader reader2(unreadable.Add(7, Bytes()));
    EXPECT_FALSE(reader2.Open());
    EXPECT_FALSE(reader2.Current().Type(type));
}

TEST(SmbiosWalk, UnusableTablesArePassedOverNotTheOnesAfterThem) {
    const Bytes good1 = Table({Battery(1, 2, 3, {"M1", "S1", "N1"})});
    const Bytes good2 = Table({Battery(1, 2, 3, {"M2", "S2", "N2"})});
    FakeFirmware firmware;
    firmware.Add(1, Bytes()).Add(2, good1).Add(3, Prefix(good2, 8)).Add(4, Bytes{0, 3}).Add(5, good2);
    EXPECT_EQ(Describe(ReadBatteries(firmware)),
              (std::vector<std::wstring>{L"valid|M1|S1|N1", L"valid|M2|S2|N2"}));
    EXPECT_EQ(firmware.requested, (std::vector<std::uint32_t>{1, 2, 3, 4, 5}));
}

TEST(SmbiosWalk, LengthBelowStructureHeaderEndsThatTable) {
    for (int length = 0; length < 4; ++length) {
        SCOPED_TRACE(length);
        FakeFirmware firmware;
        firmware.Add(0, Table({Battery(1, 2, 3, {"M1", "S1", "N1"}), Structure(9, {}, {}, length),
                               Battery(1, 2, 3, {"lost", "lost", "lost"})}));
        firmware.Add(1, Table({Battery(1, 2, 3, {"M2", "S2", "N2"})}));
        EXPECT_EQ(VisitedTypes(firmware), (std::vector<std::uint8_t>{22, 9, 22}));
        EXPECT_EQ(Describe(ReadBatteries(firmware)),
                  (std::vector<std::wstring>{L"valid|M1|S1|N1", L"valid|M2|S2|N2"}));
    }
}

// ---- Reading Portable Battery structures ------------------------------------

TEST(SmbiosBatteries, EveryCompleteBatteryInTableOrderWithItsEvent) {
    RecordingSink log;
    FakeFirmware firmware;
    firmware.Add(0, Table({Battery(1, 2, 3, {"ACME", "0001", "Pack A"}), Structure(17, {0, 0}, {"DIMM"}),
                           Battery(2, 3, 1, {"Pack B", "Volt Co", "0002"}), EndOfTable()}));
    const cw::BatteryList found = cw::ReadSmbiosBatteries(firmware, log);
    EXPECT_EQ(Describe(found), (std::vector<std::wstring>{L"valid|ACME|0001|Pack A", L"valid|Volt Co|0002|Pack B"}));

    const std::vector<Event> events = log.events;
    ASSERT_EQ(events.size(), 2u);
    for (const Event& e : events) {
        EXPECT_EQ(e.kind, L"INFORMATION");
        EXPECT_EQ(e.id, 20);
    }
    EXPECT_EQ(events[0].text, BatteryEventText(L"Pack A", L"ACME", L"0001"));
    EXPECT_EQ(events[1].text, BatteryEventText(L"Pack B", L"Volt Co", L"0002"));
}

TEST(SmbiosBatteries, StringNumbersPickTheirOwnStringsInAnyOrder) {
    FakeFirmware firmware;
    // Device Name 3 takes the third string whatever the other numbers are.
    firmware.Add(0, Table({Battery(3, 1, 2, {"SER-9", "Pack C", "Maker C"}), Battery(1, 1, 3, {"same", "unused", "third"}),
                           Battery(2, 2, 2, {"x", "all"})}));
    EXPECT_EQ(Describe(ReadBatteries(firmware)),
              (std::vector<std::wstring>{L"valid|Maker C|SER-9|Pack C", L"valid|same|same|third", L"valid|all|all|all"}));
}

TEST(SmbiosBatteries, BatteryAsVeryFirstStructureAndAsOnlyStructure) {
    FakeFirmware firmware;
    firmware.Add(0, Table({Battery(1, 2, 3, {"M", "S", "N"})}));
    EXPECT_EQ(Describe(ReadBatteries(firmware)), (std::vector<std::wstring>{L"valid|M|S|N"}));
}

TEST(SmbiosBatteries, MissingStringSkipsOnlyThatStructureWithoutEvent) {
    RecordingSink log;
    FakeFirmware firmware;
    firmware.Add(0, Table({
                        Battery(1, 0, 2, {"M", "N"}),         // SBDS serial: no string
                        Battery(0, 1, 2, {"S", "N"}),         // no manufacturer
                        Battery(1, 2, 0, {"M", "S"}),         // no device name
                        Battery(1, 2, 4, {"M", "S", "N"}),    // number past the set
                        Battery(1, 2, 3, {}),                 // empty set
                        Battery(2, 3, 1, {"N", "M", "S"}),    // complete
                    }));
    EXPECT_EQ(Describe(cw::ReadSmbiosBatteries(firmware, log)), (std::vector<std::wstring>{L"valid|M|S|N"}));
    const std::vector<Event> events = log.events;
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].text, BatteryEventText(L"N", L"M", L"S"));
}

TEST(SmbiosBatteries, NumberPastTheSetDoesNotReachIntoTheNextStructure) {
    // Past the closing NUL lie the next structure's header bytes and strings.
    for (std::uint8_t name = 3; name <= 6; ++name) {
        SCOPED_TRACE(name);
        FakeFirmware firmware;
        firmware.Add(0, Table({Battery(1, 2, name, {"M", "S"}), Structure(11, {'Z'}, {"Next", "X"})}));
        EXPECT_TRUE(ReadBatteries(firmware).empty());
    }
}

TEST(SmbiosBatteries, FormattedAreaMustHoldTheDeviceNameField) {
    FakeFirmware firmware;
    firmware.Add(0, Table({Battery(1, 2, 3, {"short", "S", "N"}, 8), Battery(1, 2, 3, {"M9", "S9", "N9"}, 9),
                           Battery(1, 2, 3, {"M", "S", "N"})}));
    EXPECT_EQ(Describe(ReadBatteries(firmware)),
              (std::vector<std::wstring>{L"valid|M9|S9|N9", L"valid|M|S|N"}));
}

TEST(SmbiosBatteries, BytesWidenToTheirValuesAndLongTextsAreCut) {
    RecordingSink log;
    const std::string longName(2000, 'L');
    FakeFirmware firmware;
    firmware.Add(0, Table({Battery(2, 3, 1, {longName, "Caf\xE9 \xFF", "50%d%s%%"}), EndOfTable()}));
    const cw::BatteryList found = cw::ReadSmbiosBatteries(firmware, log);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, std::wstring(1023, L'L'));
    EXPECT_EQ(found[0].manufacturer, L"Caf\u00E9 \u00FF");
    EXPECT_EQ(found[0].serial, L"50%d%s%%");  // texts are values, never formats
    const std::vector<Event> events = log.events;
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].text, BatteryEventText(std::wstring(1023, L'L'), L"Caf\u00E9 \u00FF", L"50%d%s%%"));
}

TEST(SmbiosBatteries, SerialWithLeadingBlankIsKept) {
    FakeFirmware firmware;
    firmware.Add(0, Table({Battery(1, 2, 3, {"M", " 1234", "N"})}));
    EXPECT_EQ(Describe(ReadBatteries(firmware)), (std::vector<std::wstring>{L"valid|M| 1234|N"}));
}


// ---- Damaged tables ---------------------------------------------------------

TEST(SmbiosMalformed, StructureRunningPastTheEndEndsOnlyItsTable) {
    FakeFirmware firmware;
    Bytes damaged = Battery(1, 2, 3, {"M", "S", "N"});
    damaged[1] = 200;
    firmware.Add(0, Table({Battery(1, 2, 3, {"M1", "S1", "N1"}), damaged}));
    firmware.Add(1, Table({Battery(1, 2, 3, {"M2", "S2", "N2"})}));
    EXPECT_EQ(Describe(ReadBatteries(firmware)),
              (std::vector<std::wstring>{L"valid|M1|S1|N1", L"valid|M2|S2|N2"}));
}

TEST(SmbiosMalformed, UnterminatedStringSet) {
    const Bytes full = Table({Battery(1, 2, 3, {"M", "S", "Name"})});
    {
        FakeFirmware firmware;  // the last string has no NUL: the name is missing
        firmware.Add(0, Prefix(full, full.size() - 2));
        EXPECT_TRUE(ReadBatteries(firmware).empty());
    }
    {
        FakeFirmware firmware;  // every string closed, only the set's own NUL is missing
        firmware.Add(0, Prefix(full, full.size() - 1));
        firmware.Add(1, Table({Battery(1, 2, 3, {"M2", "S2", "N2"})}));
        EXPECT_EQ(VisitedTypes(firmware), (std::vector<std::uint8_t>{22, 22}));
        EXPECT_EQ(Describe(ReadBatteries(firmware)),
                  (std::vector<std::wstring>{L"valid|M|S|Name", L"valid|M2|S2|N2"}));
    }
}

TEST(SmbiosMalformed, TinyTablesAndTruncatedHeadersHoldNothing) {
    const Bytes full = Table({Battery(1, 2, 3, {"M", "S", "N"})});
    for (std::size_t size = 0; size <= 8 + 9; ++size) {
        SCOPED_TRACE(size);
        FakeFirmware firmware;
        firmware.Add(0, Prefix(full, size));
        EXPECT_TRUE(ReadBatteries(firmware).empty());
    }
}

TEST(SmbiosMalformed, EveryTruncationKeepsOnlyTheBatteriesBeforeTheCut) {
    const Bytes full = Table({Structure(0, {1, 2, 3}, {"vendor", "1.0"}), Battery(1, 2, 3, {"M1", "S1", "N1"}),
                              Battery(3, 2, 1, {"N2", "S2", "M2"}), EndOfTable()});
    FakeFirmware whole;
    whole.Add(0, full);
    const std::vector<std::wstring> all = Describe(ReadBatteries(whole));
    ASSERT_EQ(all.size(), 2u);
    for (std::size_t size = 0; size <= full.size(); ++size) {
        SCOPED_TRACE(size);
        FakeFirmware firmware;
        firmware.Add(0, Prefix(full, size));
        const std::vector<std::wstring> found = Describe(ReadBatteries(firmware));
        ASSERT_LE(found.size(), all.size());
        EXPECT_EQ(found, std::vector<std::wstring>(all.begin(), all.begin() + found.size()));
    }
}


