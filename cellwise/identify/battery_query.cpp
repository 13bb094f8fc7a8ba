#include "cellwise/identify/battery_query.h"

#include <winioctl.h>
#include <poclass.h>
#include <setupapi.h>

#include <cwctype>
#include <vector>

#include "cellwise/events.h"
#include "cellwise/identify/smbios_batteries.h"
#include "common/unique_handle.h"

namespace cw {
namespace {

// GUID_DEVCLASS_BATTERY, the battery device interface class.
const GUID kBatteryClass = {0x72631e54, 0x78a4, 0x11d0, {0xbc, 0xf7, 0x00, 0xaa, 0x00, 0xb7, 0xb3, 0x2a}};

constexpr wchar_t kDeviceIdentityFormat[] = L"Name:%s\r\nManufacturer:%s\r\nSerial:%s\r\npath:%s";
constexpr wchar_t kEmptySerialText[] = L"serial number is empty. try to use SMBIOS later\r\n";
constexpr wchar_t kTagFailedText[] = L"Failed to call IOCTL_BATTERY_QUERY_TAG";

// One reply buffer: 1024 characters, of which the driver is offered 1023.
constexpr std::size_t kReplyChars = 1024;

struct TextLevel {
    BATTERY_QUERY_INFORMATION_LEVEL level;
    std::wstring BatteryRecord::*field;
    const wchar_t* failureText;
};

const TextLevel kTextLevels[] = {
    {BatteryDeviceName, &BatteryRecord::name, L"Failed to get BatteryDeviceName"},
    {BatteryManufactureName, &BatteryRecord::manufacturer, L"Failed to get BatteryManufactureName"},
    {BatterySerialNumber, &BatteryRecord::serial, L"Failed to get BatterySerialNumber (DeviceIoControl)"},
};

static_assert(IOCTL_BATTERY_QUERY_TAG == 0x294040, "battery tag request");
static_assert(IOCTL_BATTERY_QUERY_INFORMATION == 0x294044, "battery information request");
static_assert(sizeof(BATTERY_QUERY_INFORMATION) == 12, "tag, level, rate");
#if defined(__i386__)
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 6, "i686 fixed part of the detail record");
#endif

// Queries one interface; true when its path could be opened.
bool QueryInterface(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& interfaceData, EventSink& events,
                    BatteryList& batteries, bool& needSmbios) {
    DWORD size = 0;
    if (SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, nullptr, 0, &size, nullptr) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) {
        return false;
    }
    std::vector<unsigned char> buffer(size);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, detail, size, nullptr, nullptr)) return false;

    unique_file device(CreateFileW(detail->DevicePath, GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!device) return false;

    BatteryRecord record = QueryBattery(device.get(), events);
    events.Write(EventKind::Information, kBatteryIdentityEvent, kDeviceIdentityFormat, record.name.c_str(),
                 record.manufacturer.c_str(), record.serial.c_str(), detail->DevicePath);
    if (!IsUsableSerial(record.serial)) {
        events.Write(EventKind::Error, kBatteryQueryFailedEvent, L"%s", kEmptySerialText);
        needSmbios = true;
    } else if (record.valid) {
        batteries.push_back(std::move(record));
    }
    return true;
}

}  // namespace

std::wstring ReplyText(const wchar_t* buffer, std::size_t capacity, DWORD returnedBytes) {
    std::size_t end = returnedBytes / sizeof(wchar_t);
    if (end >= capacity) end = capacity - 1;
    std::size_t length = 0;
    while (length < end && buffer[length] != L'\0') ++length;
    return std::wstring(buffer, length);
}

bool IsUsableSerial(const std::wstring& serial) {
    return !serial.empty() && !std::iswblank(serial[0]);
}

BatteryRecord QueryBattery(HANDLE device, EventSink& events) {
    BatteryRecord record;
    ULONG wait = 0;  // do not wait for a pack to appear in an empty bay
    ULONG tag = 0;
    DWORD returned = 0;
    if (!DeviceIoControl(device, IOCTL_BATTERY_QUERY_TAG, &wait, sizeof(wait), &tag, sizeof(tag), &returned,
                         nullptr)) {
        events.Write(EventKind::Error, kBatteryQueryFailedEvent, L"%s", kTagFailedText);
        return record;
    }
    for (const TextLevel& text : kTextLevels) {
        BATTERY_QUERY_INFORMATION query = {};
        query.BatteryTag = tag;
        query.InformationLevel = text.level;
        wchar_t reply[kReplyChars];
        reply[0] = L'\0';
        returned = 0;
        if (!DeviceIoControl(device, IOCTL_BATTERY_QUERY_INFORMATION, &query, sizeof(query), reply,
                             (kReplyChars - 1) * sizeof(wchar_t), &returned, nullptr)) {
            events.Write(EventKind::Error, kBatteryQueryFailedEvent, L"%s", text.failureText);
            return record;
        }
        record.*text.field = ReplyText(reply, kReplyChars, returned);
    }
    record.valid = true;
    return record;
}

BatteryList EnumerateBatteries(EventSink& events) {
    BatteryList batteries;
    unique_devinfo set(SetupDiGetClassDevsW(&kBatteryClass, nullptr, nullptr,
                                            DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set) return batteries;

    bool needSmbios = false;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData = {};
        interfaceData.cbSize = sizeof(interfaceData);
        if (!SetupDiEnumDeviceInterfaces(set.get(), nullptr, &kBatteryClass, index, &interfaceData)) break;
        QueryInterface(set.get(), interfaceData, events, batteries, needSmbios);
    }
    set.reset();

    if (needSmbios) {
        BatteryList fromTables = ReadSmbiosBatteries(events);
        for (BatteryRecord& record : fromTables) batteries.push_back(std::move(record));
    }
    return batteries;
}

}  // namespace cw
