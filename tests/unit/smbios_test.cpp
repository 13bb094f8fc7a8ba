#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "cellwise/report/event_log.h"
#include "cellwise/identify/smbios_batteries.h"
#include "cellwise/identify/smbios_table.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- Table builder ----------------------------------------------------------

// A structure: type, formatted length, handle, `rest` of the formatted area, the
// string set. `length` overrides the formatted length byte (for damaged tables).
Bytes Structure(std::uint8_t type, const Bytes& rest, const std::vector<std::string>& strings,
                int length = -1) {
    Bytes s{type, static_cast<std::uint8_t>(length >= 0 ? length : 4 + static_cast<int>(rest.size())), 0x34, 0x12};
    s.insert(s.end(), rest.begin(), rest.end());
    for (const std::string& text : strings) {
        s.insert(s.end(), text.begin(), text.end());
        s.push_back(0);
    }
    if (strings.empty()) s.push_back(0);
    s.push_back(0);
    return s;
}

// A Portable Battery with the given string numbers for Manufacturer, Serial Number
// and Device Name. Location, manufacture date and chemistry point at string 1, so
// the texts must come from the right fields.
Bytes Battery(std::uint8_t manufacturer, std::uint8_t serial, std::uint8_t name,
              const std::vector<std::string>& strings, std::size_t formattedLength = 0x1A) {
    Bytes rest(formattedLength - 4, 0);
    auto put = [&rest](std::size_t offset, std::uint8_t value) {
        if (offset - 4 < rest.size()) rest[offset - 4] = value;
    };
    put(4, 1);
    put(5, manufacturer);
    put(6, 1);
    put(7, serial);
    put(8, name);
    put(9, 1);
    return Structure(22, rest, strings);
}

Bytes EndOfTable() { return Structure(127, {}, {}); }

// The raw table: 8-byte header (calling method, version 3.4, DMI revision,
// 32-bit length of the structures), then the structures.
Bytes Table(const std::vector<Bytes>& structures) {
    Bytes body;
    for (const Bytes& s : structures) body.insert(body.end(), s.begin(), s.end());
    const std::uint32_t length = static_cast<std::uint32_t>(body.size());
    Bytes table{0, 3, 4, 0, static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
    table.insert(table.end(), body.begin(), body.end());
    return table;
}

Bytes Prefix(const Bytes& bytes, std::size_t size) { return Bytes(bytes.begin(), bytes.begin() + size); }

// ---- Seam -------------------------------------------------------------------

// Tables in the order they were added. Each table is handed out in a heap block of
// exactly its size (a vector built from a range allocates just that much, and the
// reader keeps the block when it takes the vector), so a read past the end is a
// heap overflow that a sanitised host build reports.
class FakeFirmware : public cw::FirmwareTableSource {
public:
    FakeFirmware& Add(std::uint32_t id, Bytes table) {
        tables_.emplace_back(id, std::move(table));
        return *this;
    }
    std::vector<std::uint32_t> TableIds() override {
        std::vector<std::uint32_t> ids;
        for (const auto& t : tables_) ids.push_back(t.first);
        return ids;
    }
    Bytes Table(std::uint32_t id) override {
        requested.push_back(id);
        for (const auto& t : tables_)
            if (t.first == id) return Bytes(t.second.begin(), t.second.end());
        return Bytes();
    }
    std::vector<std::uint32_t> requested;

private:
    std::vector<std::pair<std::uint32_t, Bytes>> tables_;
};

// While it lives, an access violation ends the process at once with a message
// (Wine would otherwise start its debugger and the run would hang until timeout).
class FaultIsFailure {
public:
    FaultIsFailure() : handler_(AddVectoredExceptionHandler(1, &OnException)) {}
    ~FaultIsFailure() {
        if (handler_) RemoveVectoredExceptionHandler(handler_);
    }
    FaultIsFailure(const FaultIsFailure&) = delete;
    FaultIsFailure& operator=(const FaultIsFailure&) = delete;

private:
    static LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
        if (info->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) return EXCEPTION_CONTINUE_SEARCH;
        std::fputs("FAILED: read outside the table (access violation)\n", stderr);
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
        return EXCEPTION_CONTINUE_SEARCH;
    }
    PVOID handler_;
};

// The bytes against a no-access page: a read one byte past the end faults, also
// under Wine where there is no sanitizer.
class GuardedBytes {
public:
    explicit GuardedBytes(const Bytes& bytes) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        const std::size_t page = info.dwPageSize;
        const std::size_t pages = (bytes.size() + page - 1) / page + 1;
        base_ = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, (pages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        if (!base_) return;
        DWORD old = 0;
        if (!VirtualProtect(base_ + pages * page, page, PAGE_NOACCESS, &old)) return;
        data_ = base_ + pages * page - bytes.size();
        if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
        size_ = bytes.size();
        ok_ = true;
    }
    ~GuardedBytes() {
        if (base_) VirtualFree(base_, 0, MEM_RELEASE);
    }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

    bool ok() const { return ok_; }
    cw::ByteReader Span() const { return cw::ByteReader(data_, size_); }

private:
    std::uint8_t* base_ = nullptr;
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool ok_ = false;
};

// Every battery of one table, walked with the per-table functions.
cw::BatteryList WalkOneTable(cw::ByteReader table, std::size_t* structures = nullptr) {
    cw::BatteryList found;
    std::size_t offset = 0, count = 0;
    for (bool more = cw::FirstSmbiosStructure(table, offset); more;
         more = cw::NextSmbiosStructure(table, offset, offset)) {
        ++count;
        cw::SmbiosStructure s(table, offset);
        std::uint8_t type = 0;
        std::size_t length = 0;
        std::uint8_t field = 0;
        s.Type(type);
        s.FormattedLength(length);
        for (std::size_t f = 0; f < 32; ++f) s.Field(f, field);
        for (int n = 0; n < 8; ++n) s.String(static_cast<std::uint8_t>(n));
        s.String(255);
        cw::BatteryRecord record;
        if (cw::ReadPortableBattery(s, record)) found.push_back(record);
    }
    if (structures) *structures = count;
    return found;
}

// "valid|manufacturer|serial|name" per record, for readable comparisons.
std::vector<std::wstring> Describe(const cw::BatteryList& list) {
    std::vector<std::wstring> out;
    for (const cw::BatteryRecord& r : list)
        out.push_back(std::wstring(r.valid ? L"valid" : L"INVALID") + L"|" + r.manufacturer + L"|" + r.serial + L"|" + r.name);
    return out;
}

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

// ---- Event log --------------------------------------------------------------

struct Event {
    std::wstring kind;
    int id;
    std::wstring text;
};

// The events the code under test writes, kept in memory.
class RecordingSink final : public cw::EventSink {
public:
    std::vector<Event> events;

private:
    void Record(cw::EventKind kind, int id, const std::wstring& text) override {
        events.push_back(Event{cw::EventKindWord(static_cast<int>(kind)), id, text});
    }
};

cw::BatteryList ReadBatteries(cw::FirmwareTableSource& source) {
    RecordingSink ignored;
    return cw::ReadSmbiosBatteries(source, ignored);
}

std::wstring BatteryEventText(const std::wstring& name, const std::wstring& manufacturer, const std::wstring& serial) {
    return L"SMBIOS battery\r\n Name:" + name + L"\r\n Manufacturer:" + manufacturer + L"\r\n Serial:" + serial + L"\r\n";
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

TEST(SmbiosBatteries, FirmwareOfThisMachineGivesOnlyValidRecordsEachLogged) {
    // Wine lists no firmware tables; a real machine may have batteries.
    RecordingSink log;
    const cw::BatteryList found = cw::ReadSmbiosBatteries(log);
    for (const cw::BatteryRecord& r : found) EXPECT_TRUE(r.valid);
    EXPECT_EQ(log.events.size(), found.size());
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

// The per-table walk against a no-access page: any read past the end faults.
TEST(SmbiosMalformed, NoReadPastTheEndOfGuardedTables) {
    FaultIsFailure faults;
    std::vector<Bytes> seeds{
        Table({Battery(1, 2, 3, {"M1", "S1", "N1"}), Structure(1, {}, {"a", "b"}), Battery(3, 2, 1, {"N", "S", "M"}),
               EndOfTable()}),
        Table({Battery(1, 2, 3, {"M", "S", "N"}, 9)}),
        Table({Battery(1, 2, 200, {"M", "S"})}),
    };
    Bytes longLength = Table({Battery(1, 2, 3, {"M", "S", "N"})});
    longLength[9] = 0xFF;
    seeds.push_back(longLength);

    std::size_t walked = 0;
    for (const Bytes& seed : seeds) {
        for (std::size_t size = 0; size <= seed.size(); ++size) {
            GuardedBytes guarded(Prefix(seed, size));
            ASSERT_TRUE(guarded.ok());
            walked += WalkOneTable(guarded.Span()).size();
        }
    }
    EXPECT_GT(walked, 0u);

    // Random tables biased towards the bytes that steer the walk.
    std::mt19937 random(20240501);
    const std::uint8_t steering[] = {0, 0, 0, 1, 2, 3, 4, 8, 9, 22, 22, 127, 0xFF, 'A'};
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes(random() % 96);
        for (std::uint8_t& b : bytes)
            b = random() % 2 ? steering[random() % sizeof(steering)] : static_cast<std::uint8_t>(random());
        GuardedBytes guarded(bytes);
        ASSERT_TRUE(guarded.ok());
        std::size_t structures = 0;
        for (const cw::BatteryRecord& r : WalkOneTable(guarded.Span(), &structures)) {
            EXPECT_TRUE(r.valid);
            EXPECT_FALSE(r.manufacturer.empty() || r.serial.empty() || r.name.empty());
        }
        EXPECT_LE(structures, bytes.size() / 2);  // every step moves forward
    }
}

TEST(SmbiosMalformed, StructureReadsStayInsideTheFormattedAreaAndTable) {
    FaultIsFailure faults;
    const Bytes table = Table({Structure(22, {7, 8}, {"one"})});
    GuardedBytes guarded(table);
    ASSERT_TRUE(guarded.ok());
    cw::SmbiosStructure s(guarded.Span(), cw::kSmbiosRawHeaderSize);
    std::size_t length = 0;
    ASSERT_TRUE(s.FormattedLength(length));
    EXPECT_EQ(length, 6u);
    std::uint8_t value = 0;
    EXPECT_TRUE(s.Field(5, value));
    EXPECT_EQ(value, 8);
    EXPECT_FALSE(s.Field(6, value));  // first byte of the string set
    EXPECT_EQ(s.String(1), L"one");
    EXPECT_EQ(s.String(2), L"");
    cw::BatteryRecord record;
    EXPECT_FALSE(cw::ReadPortableBattery(s, record));

    cw::SmbiosStructure outside(guarded.Span(), table.size());
    EXPECT_FALSE(outside.Type(value));
    EXPECT_FALSE(outside.FormattedLength(length));
    EXPECT_EQ(outside.String(1), L"");
    cw::SmbiosStructure lastByte(guarded.Span(), table.size() - 1);
    EXPECT_FALSE(lastByte.FormattedLength(length));
    EXPECT_FALSE(cw::SmbiosStructure().Type(value));
}
