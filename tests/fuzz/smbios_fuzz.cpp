// Host-native fuzzing of the SMBIOS table walk under AddressSanitizer and UBSan.
// Built by run_smbios_fuzz.sh, not by CMake: as a libFuzzer target with clang, or
// with CW_RANDOM_MAIN as a bounded random-input loop with any compiler.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "cellwise/identify/smbios_table.h"

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

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

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

#ifdef CW_RANDOM_MAIN
// Random inputs biased towards the bytes that steer the walk: lengths, NULs,
// battery type, string numbers.
int main(int argc, char** argv) {
    const long rounds = argc > 1 ? std::atol(argv[1]) : 200000;
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&state]() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    static const std::uint8_t steering[] = {0, 0, 0, 1, 2, 3, 4, 5, 8, 9, 0x1A, 22, 22, 127, 0xFF, 'A'};
    for (long i = 0; i < rounds; ++i) {
        Bytes input(next() % 300);
        for (std::uint8_t& b : input)
            b = next() % 2 ? steering[next() % sizeof(steering)] : static_cast<std::uint8_t>(next());
        RunOne(input.data(), input.size());
    }
    std::printf("%ld random inputs, no fault\n", rounds);
    return 0;
}
#endif
