#include "cellwise/identify/smbios_batteries.h"

#include <windows.h>

#include <utility>

namespace cw {

namespace {

// The provider signature 'RSMB' as the firmware table calls expect it.
constexpr DWORD kRawSmbiosProvider =
    (DWORD{'R'} << 24) | (DWORD{'S'} << 16) | (DWORD{'M'} << 8) | DWORD{'B'};

constexpr wchar_t kSmbiosBatteryEvent[] = L"SMBIOS battery\r\n Name:%s\r\n Manufacturer:%s\r\n Serial:%s\r\n";

// Both firmware table calls report the size they need when given no buffer, and
// again when the data grew between the two calls.
template <typename Call>
std::vector<std::uint8_t> FetchSized(Call call) {
    UINT needed = call(nullptr, 0);
    for (int attempt = 0; attempt < 3 && needed != 0; ++attempt) {
        std::vector<std::uint8_t> buffer(needed);
        const UINT got = call(buffer.data(), needed);
        if (got == 0) return {};
        if (got <= needed) {
            buffer.resize(got);
            return buffer;
        }
        needed = got;
    }
    return {};
}

class FirmwareTables final : public FirmwareTableSource {
public:
    std::vector<std::uint32_t> TableIds() override {
        const std::vector<std::uint8_t> bytes = FetchSized([](void* buffer, DWORD size) {
            return EnumSystemFirmwareTables(kRawSmbiosProvider, buffer, size);
        });
        const ByteReader reader(bytes.data(), bytes.size());
        std::vector<std::uint32_t> ids;
        std::uint32_t id = 0;
        for (std::size_t at = 0; reader.Get32(at, id); at += sizeof(id)) ids.push_back(id);
        return ids;
    }

    std::vector<std::uint8_t> Table(std::uint32_t id) override {
        return FetchSized([id](void* buffer, DWORD size) {
            return GetSystemFirmwareTable(kRawSmbiosProvider, id, buffer, size);
        });
    }
};

}  // namespace

BatteryList ReadSmbiosBatteries(FirmwareTableSource& source, EventSink& events) {
    BatteryList batteries;
    SmbiosTableReader reader(source);
    for (bool more = reader.Open(); more; more = reader.Next()) {
        BatteryRecord record;
        if (!ReadPortableBattery(reader.Current(), record)) continue;
        events.Write(EventKind::Information, kBatteryIdentityEvent, kSmbiosBatteryEvent, record.name.c_str(),
                     record.manufacturer.c_str(), record.serial.c_str());
        batteries.push_back(std::move(record));
    }
    return batteries;
}

BatteryList ReadSmbiosBatteries(EventSink& events) {
    FirmwareTables tables;
    return ReadSmbiosBatteries(tables, events);
}

}  // namespace cw
