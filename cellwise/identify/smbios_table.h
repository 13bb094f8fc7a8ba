// Walks the raw SMBIOS tables handed out by the firmware table interface ('RSMB')
// and reads the Portable Battery (type 22) structures in them. Pure byte work: no
// Windows headers, so it also builds and fuzzes on the host. Table bytes are
// untrusted; every read goes through the checked ByteReader, whatever the length
// bytes and string sets claim.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cellwise/identify/battery_record.h"
#include "common/byte_reader.h"

namespace cw {

// Layout of the raw table data (published): an 8-byte header (calling method,
// major, minor, DMI revision, 32-bit length), then the structures. A structure is
// type, formatted length, 16-bit handle, the rest of its formatted area, then a
// string set of NUL-terminated strings closed by an extra NUL.
constexpr std::size_t kSmbiosRawHeaderSize = 8;
constexpr std::size_t kSmbiosStructureHeaderSize = 4;
constexpr std::size_t kSmbiosTypeOffset = 0;
constexpr std::size_t kSmbiosLengthOffset = 1;

constexpr std::uint8_t kPortableBatteryType = 22;
constexpr std::size_t kPortableBatteryManufacturer = 5;  // string numbers
constexpr std::size_t kPortableBatterySerial = 7;
constexpr std::size_t kPortableBatteryDeviceName = 8;

// Texts longer than this are cut (the product's text buffers hold 1024 units).
constexpr std::size_t kSmbiosMaxText = 1023;

// Where the tables come from: the firmware table interface in the product,
// crafted bytes in tests.
class FirmwareTableSource {
public:
    virtual ~FirmwareTableSource();
    // Identifiers in the order the platform lists them; empty when there are none.
    virtual std::vector<std::uint32_t> TableIds() = 0;
    // The whole table, header included; empty when it cannot be read.
    virtual std::vector<std::uint8_t> Table(std::uint32_t id) = 0;
};

// Positions of structures within one table. A position counts as a structure only
// while it lies before the table's last byte (type and length must be readable).
bool FirstSmbiosStructure(ByteReader table, std::size_t& offset);
// The structure after the one at `offset`; false when its formatted area or
// string set does not end within the table, or when the table ends.
bool NextSmbiosStructure(ByteReader table, std::size_t offset, std::size_t& next);

// One structure of a table, by position.
class SmbiosStructure {
public:
    SmbiosStructure() = default;
    SmbiosStructure(ByteReader table, std::size_t offset) : table_(table), offset_(offset) {}

    bool Type(std::uint8_t& type) const;
    // Length of the formatted area, header included; false when it is shorter than
    // the header or runs past the table.
    bool FormattedLength(std::size_t& length) const;
    // A byte of the formatted area; false outside it.
    bool Field(std::size_t offset, std::uint8_t& value) const;
    // String `number` (from 1) of the set, each byte widened to the wide character
    // of the same value and cut at kSmbiosMaxText. Empty for 0, a number past the
    // set, or a string not closed within the table.
    std::wstring String(std::uint8_t number) const;

private:
    ByteReader table_;
    std::size_t offset_ = 0;
};

// Walks every structure of every table the source lists, in identifier order.
// A table that cannot be read or holds no structure is passed over; a malformed
// one ends where its damage begins and the walk goes on with the next table.
class SmbiosTableReader {
public:
    explicit SmbiosTableReader(FirmwareTableSource& source) : source_(source) {}
    SmbiosTableReader(const SmbiosTableReader&) = delete;
    SmbiosTableReader& operator=(const SmbiosTableReader&) = delete;

    // Positions on the first structure; false when there is none.
    bool Open();
    // Moves to the following structure, into the next table when one ends; false
    // after the last one.
    bool Next();
    // The structure under the cursor; reads nothing when the reader is not positioned.
    SmbiosStructure Current() const;

private:
    bool LoadFrom(std::size_t index);
    ByteReader Span() const { return ByteReader(table_.data(), table_.size()); }

    FirmwareTableSource& source_;
    std::vector<std::uint32_t> ids_;
    std::size_t index_ = 0;
    std::vector<std::uint8_t> table_;
    std::size_t cursor_ = 0;
    bool positioned_ = false;
};

// The Portable Battery behind `structure` as a valid record. False for other
// types, a formatted area too short for the Device Name field or running past
// the table, and a missing or empty Manufacturer, Serial Number or Device Name.
bool ReadPortableBattery(const SmbiosStructure& structure, BatteryRecord& record);

}  // namespace cw
