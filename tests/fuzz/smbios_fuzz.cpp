// Raw SMBIOS tables: the walk over every table, the structures' fields and strings,
// and the Portable Battery records with their events.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "cellwise/identify/smbios_batteries.h"
#include "cellwise/identify/smbios_table.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Every table is handed out in a heap block of exactly its size, so a read past
// its end is a heap overflow for ASan.
class Tables : public cw::FirmwareTableSource {
public:
    std::vector<Bytes> tables;
    std::vector<std::uint32_t> TableIds() override {
        std::vector<std::uint32_t> ids;
        for (std::size_t i = 0; i < tables.size(); ++i) ids.push_back(static_cast<std::uint32_t>(i));
        return ids;
    }
    Bytes Table(std::uint32_t id) override {
        if (id >= tables.size()) return Bytes();
        return Bytes(tables[id].begin(), tables[id].end());
    }
};

using fuzz::Check;

// Counts the events it is given.
class CountingSink final : public cw::EventSink {
public:
    std::size_t events = 0;

private:
    void Record(cw::EventKind, int, const std::wstring&) override { ++events; }
};

void CheckRecord(const cw::BatteryRecord& r) {
    Check(r.valid, "record not valid");
    for (const std::wstring* text : {&r.manufacturer, &r.serial, &r.name}) {
        Check(!text->empty() && text->size() <= cw::kSmbiosMaxText, "text length");
        for (wchar_t c : *text) Check(c > 0 && c < 256, "text is not widened bytes");
    }
}

// Input: a count byte, then that many tables, each a 16-bit little-endian length
// and its bytes (cut short where the input ends).
void RunOne(const std::uint8_t* data, std::size_t size) {
    Tables source;
    std::size_t pos = 0;
    const std::size_t count = size ? data[pos++] % 4 : 0;
    for (std::size_t t = 0; t < count && pos + 2 <= size; ++t) {
        std::size_t length = data[pos] | (data[pos + 1] << 8);
        pos += 2;
        if (length > size - pos) length = size - pos;
        source.tables.emplace_back(data + pos, data + pos + length);
        pos += length;
    }

    std::size_t total = 0;
    for (const Bytes& t : source.tables) total += t.size();
    cw::SmbiosTableReader reader(source);
    std::size_t steps = 0;
    for (bool more = reader.Open(); more; more = reader.Next()) {
        Check(++steps <= total / 2 + 1, "walk does not move forward");
        const cw::SmbiosStructure s = reader.Current();
        std::uint8_t byte = 0;
        std::size_t length = 0;
        Check(s.Type(byte), "positioned structure without a type");
        s.FormattedLength(length);
        for (std::size_t f = 0; f < 40; ++f) s.Field(f, byte);
        for (int n = 0; n < 6; ++n) s.String(static_cast<std::uint8_t>(n));
        s.String(255);
        cw::BatteryRecord record;
        if (cw::ReadPortableBattery(s, record)) CheckRecord(record);
    }
    Check(!reader.Next(), "walk restarts after its end");

    CountingSink sink;
    const cw::BatteryList batteries = cw::ReadSmbiosBatteries(source, sink);
    Check(sink.events == batteries.size(), "one event per battery");
    for (const cw::BatteryRecord& record : batteries) CheckRecord(record);

    // The whole input as one table, exactly sized.
    const Bytes whole(data, data + size);
    const cw::ByteReader span(whole.data(), whole.size());
    std::size_t offset = 0;
    for (bool more = cw::FirstSmbiosStructure(span, offset); more; more = cw::NextSmbiosStructure(span, offset, offset)) {
        cw::BatteryRecord record;
        if (cw::ReadPortableBattery(cw::SmbiosStructure(span, offset), record)) CheckRecord(record);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RunOne(data, size);
    return 0;
}
