#include "cellwise/identify/smbios_table.h"

#include <utility>

namespace cw {

FirmwareTableSource::~FirmwareTableSource() = default;

namespace {

bool IsStructurePosition(ByteReader table, std::size_t offset) {
    return table.Fits(offset, 2);
}

}  // namespace

bool FirstSmbiosStructure(ByteReader table, std::size_t& offset) {
    if (!IsStructurePosition(table, kSmbiosRawHeaderSize)) return false;
    offset = kSmbiosRawHeaderSize;
    return true;
}

bool NextSmbiosStructure(ByteReader table, std::size_t offset, std::size_t& next) {
    if (!IsStructurePosition(table, offset)) return false;
    std::size_t length = 0;
    if (!SmbiosStructure(table, offset).FormattedLength(length)) return false;
    std::size_t end = 0;
    if (!table.FindDoubleNul(offset + length, end)) return false;
    const std::size_t following = end + 2;
    if (!IsStructurePosition(table, following)) return false;
    next = following;
    return true;
}

bool SmbiosStructure::Type(std::uint8_t& type) const {
    return table_.Get8(offset_ + kSmbiosTypeOffset, type);
}

bool SmbiosStructure::FormattedLength(std::size_t& length) const {
    std::uint8_t value = 0;
    if (!table_.Get8(offset_ + kSmbiosLengthOffset, value)) return false;
    // A length below the header would not move the walk forward.
    if (value < kSmbiosStructureHeaderSize || !table_.Fits(offset_, value)) return false;
    length = value;
    return true;
}

bool SmbiosStructure::Field(std::size_t offset, std::uint8_t& value) const {
    std::size_t length = 0;
    if (!FormattedLength(length) || offset >= length) return false;
    return table_.Get8(offset_ + offset, value);
}

std::wstring SmbiosStructure::String(std::uint8_t number) const {
    std::size_t length = 0;
    if (number == 0 || !FormattedLength(length)) return std::wstring();
    std::size_t start = offset_ + length;
    for (std::uint8_t n = 1;; ++n) {
        std::size_t end = 0;
        // An empty string closes the set: numbers past it have no text.
        if (!table_.FindNul(start, end) || end == start) return std::wstring();
        if (n == number) {
            std::size_t count = end - start;
            if (count > kSmbiosMaxText) count = kSmbiosMaxText;
            std::wstring text(count, L'\0');
            for (std::size_t i = 0; i < count; ++i) {
                std::uint8_t byte = 0;
                if (!table_.Get8(start + i, byte)) return std::wstring();
                text[i] = static_cast<wchar_t>(byte);
            }
            return text;
        }
        start = end + 1;
    }
}

bool SmbiosTableReader::LoadFrom(std::size_t index) {
    positioned_ = false;
    for (; index < ids_.size(); ++index) {
        index_ = index;
        table_ = source_.Table(ids_[index]);
        std::size_t first = 0;
        if (FirstSmbiosStructure(Span(), first)) {
            cursor_ = first;
            positioned_ = true;
            return true;
        }
    }
    index_ = ids_.size();
    table_ = std::vector<std::uint8_t>();
    return false;
}

bool SmbiosTableReader::Open() {
    ids_ = source_.TableIds();
    return LoadFrom(0);
}

bool SmbiosTableReader::Next() {
    if (!positioned_) return false;
    std::size_t next = 0;
    if (NextSmbiosStructure(Span(), cursor_, next)) {
        cursor_ = next;
        return true;
    }
    return LoadFrom(index_ + 1);
}

SmbiosStructure SmbiosTableReader::Current() const {
    if (!positioned_) return SmbiosStructure();
    return SmbiosStructure(Span(), cursor_);
}

bool ReadPortableBattery(const SmbiosStructure& structure, BatteryRecord& record) {
    std::uint8_t type = 0;
    if (!structure.Type(type) || type != kPortableBatteryType) return false;
    std::uint8_t manufacturer = 0, serial = 0, name = 0;
    if (!structure.Field(kPortableBatteryManufacturer, manufacturer) ||
        !structure.Field(kPortableBatterySerial, serial) ||
        !structure.Field(kPortableBatteryDeviceName, name))
        return false;

    BatteryRecord found;
    found.manufacturer = structure.String(manufacturer);
    if (found.manufacturer.empty()) return false;
    found.serial = structure.String(serial);
    if (found.serial.empty()) return false;
    found.name = structure.String(name);
    if (found.name.empty()) return false;
    found.valid = true;
    record = std::move(found);
    return true;
}

}  // namespace cw
