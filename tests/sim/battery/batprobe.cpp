// Lists the battery interfaces SetupAPI reports and what each device answers,
// the way a battery class client asks: proves the simulator independently of
// the product. Output lines (UTF-16 units above 0x7E and below 0x20 as \uXXXX):
//   path=<device path>
//   tag=<hex> | tag-failed=<error>
//   level<n>=<text> bytes=<returned> | level<n>-failed=<error>
#include <windows.h>
#include <setupapi.h>
#include <cstdio>
#include <string>
#include <vector>

#include "common/unique_handle.h"

namespace {

const GUID kBatteryClass = {0x72631e54, 0x78a4, 0x11d0, {0xbc, 0xf7, 0x00, 0xaa, 0x00, 0xb7, 0xb3, 0x2a}};
const DWORD kQueryTag = 0x294040;
const DWORD kQueryInformation = 0x294044;

void print(const wchar_t* prefix, const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != L'\\') {
            out += static_cast<char>(c);
        } else {
            char esc[8];
            snprintf(esc, sizeof esc, "\\u%04X", static_cast<unsigned>(c));
            out += esc;
        }
    }
    printf("%ls%s\n", prefix, out.c_str());
}

void probe(HANDLE device) {
    DWORD wait = 0, tag = 0, got = 0;
    if (!DeviceIoControl(device, kQueryTag, &wait, sizeof wait, &tag, sizeof tag, &got, nullptr)) {
        printf("tag-failed=%lu\n", GetLastError());
        return;
    }
    printf("tag=%08lX\n", tag);
    for (ULONG level : {4u, 6u, 8u}) {
        ULONG query[3] = {tag, level, 0};
        // Pre-filled with a marker so a reply without terminator shows where it ends.
        std::vector<wchar_t> reply(64, L'#');
        if (!DeviceIoControl(device, kQueryInformation, query, sizeof query, reply.data(),
                             static_cast<DWORD>((reply.size() - 1) * sizeof(wchar_t)), &got, nullptr)) {
            printf("level%lu-failed=%lu\n", level, GetLastError());
            continue;
        }
        reply.back() = 0;
        char prefix[32];
        snprintf(prefix, sizeof prefix, "level%lu bytes=%lu text=", level, got);
        std::wstring p(prefix, prefix + strlen(prefix));
        print(p.c_str(), std::wstring(reply.data()));
    }
}

}  // namespace

int wmain() {
    cw::unique_devinfo set(SetupDiGetClassDevsW(&kBatteryClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set) {
        printf("classdevs-failed=%lu\n", GetLastError());
        return 1;
    }
    for (DWORD i = 0;; ++i) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!SetupDiEnumDeviceInterfaces(set.get(), nullptr, &kBatteryClass, i, &data)) break;
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set.get(), &data, nullptr, 0, &size, nullptr);
        std::vector<BYTE> buf(size);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buf.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!SetupDiGetDeviceInterfaceDetailW(set.get(), &data, detail, size, nullptr, nullptr)) {
            printf("detail-failed=%lu\n", GetLastError());
            continue;
        }
        print(L"path=", detail->DevicePath);
        cw::unique_file device(CreateFileW(detail->DevicePath, GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!device) {
            printf("open-failed=%lu\n", GetLastError());
            continue;
        }
        probe(device.get());
    }
    printf("end\n");
    return 0;
}
