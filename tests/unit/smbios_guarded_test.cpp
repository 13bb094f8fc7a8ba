// The SMBIOS walk against tables that end at a no-access page, so a read past the
// end faults also under Wine, where no sanitizer runs; and the firmware of the
// machine the tests run on.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "cellwise/identify/smbios_firmware.h"
#include "tests/unit/smbios_tables.h"

using namespace smbios_test;

namespace {

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

}  // namespace

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

TEST(SmbiosBatteries, FirmwareOfThisMachineGivesOnlyValidRecordsEachLogged) {
    // Wine lists no firmware tables; a real machine may have batteries.
    RecordingSink log;
    cw::SystemFirmwareTables firmware;
    const cw::BatteryList found = cw::ReadSmbiosBatteries(firmware, log);
    for (const cw::BatteryRecord& r : found) EXPECT_TRUE(r.valid);
    EXPECT_EQ(log.events.size(), found.size());
}
