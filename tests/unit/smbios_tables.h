// Raw SMBIOS tables built byte by byte, a firmware source that hands them out, and
// an event sink that keeps what is written: what the SMBIOS and battery suites
// share. No Windows headers.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "cellwise/events.h"
#include "cellwise/identify/battery_record.h"
#include "cellwise/identify/smbios_batteries.h"
#include "cellwise/identify/smbios_table.h"
#include "cellwise/report/report_text.h"

namespace smbios_test {

using Bytes = std::vector<std::uint8_t>;

// A structure: type, formatted length, handle, `rest` of the formatted area, the
// string set. `length` overrides the formatted length byte (for damaged tables).
inline Bytes Structure(std::uint8_t type, const Bytes& rest, const std::vector<std::string>& strings,
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
inline Bytes Battery(std::uint8_t manufacturer, std::uint8_t serial, std::uint8_t name,
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

inline Bytes EndOfTable() { return Structure(127, {}, {}); }

// The raw table: 8-byte header (calling method, version 3.4, DMI revision,
// 32-bit length of the structures), then the structures.
inline Bytes Table(const std::vector<Bytes>& structures) {
    Bytes body;
    for (const Bytes& s : structures) body.insert(body.end(), s.begin(), s.end());
    const std::uint32_t length = static_cast<std::uint32_t>(body.size());
    Bytes table{0, 3, 4, 0, static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
    table.insert(table.end(), body.begin(), body.end());
    return table;
}

inline Bytes Prefix(const Bytes& bytes, std::size_t size) { return Bytes(bytes.begin(), bytes.begin() + size); }

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

// "valid|manufacturer|serial|name" per record, for readable comparisons.
inline std::vector<std::wstring> Describe(const cw::BatteryList& list) {
    std::vector<std::wstring> out;
    for (const cw::BatteryRecord& r : list)
        out.push_back(std::wstring(r.valid ? L"valid" : L"INVALID") + L"|" + r.manufacturer + L"|" + r.serial + L"|" + r.name);
    return out;
}

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

inline cw::BatteryList ReadBatteries(cw::FirmwareTableSource& source) {
    RecordingSink ignored;
    return cw::ReadSmbiosBatteries(source, ignored);
}

inline std::wstring BatteryEventText(const std::wstring& name, const std::wstring& manufacturer,
                                     const std::wstring& serial) {
    return L"SMBIOS battery\r\n Name:" + name + L"\r\n Manufacturer:" + manufacturer + L"\r\n Serial:" + serial + L"\r\n";
}

}  // namespace smbios_test
