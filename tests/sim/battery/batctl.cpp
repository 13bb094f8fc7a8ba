// Sets up the simulated batteries of one scenario in a single Wine process:
//   batctl setup [battery ...]   lists exactly these batteries (0, 1, ...) and starts the driver
//   batctl clear                 removes every simulated battery and the driver service
// One battery is one argument of ';'-separated fields:
//   name=<text>  maker=<text>  serial=<text>  fail=tag|4|6|8  unterminated
// Texts escape ';', '=', '%' and anything outside printable ASCII as %XXXX
// (four hex digits of one UTF-16 unit), so blanks and tabs survive the command line.
#include <windows.h>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "common/unique_handle.h"

namespace {

const wchar_t kClassGuid[] = L"{72631e54-78a4-11d0-bcf7-00aa00b7b32a}";
const wchar_t kEnumKey[] = L"System\\CurrentControlSet\\Enum\\ROOT\\BATTERY";
const wchar_t kClassesKey[] =
    L"System\\CurrentControlSet\\Control\\DeviceClasses\\{72631e54-78a4-11d0-bcf7-00aa00b7b32a}";
const wchar_t kInterfacePrefix[] = L"##?#ROOT#BATTERY#";
const wchar_t kConfigRoot[] = L"SOFTWARE\\CellwiseSim";
const wchar_t kConfigKey[] = L"SOFTWARE\\CellwiseSim\\Battery";
const wchar_t kService[] = L"cwbatsim";
const wchar_t kDriverFile[] = L"cwbatsim.sys";
const unsigned kMaxBatteries = 4;  // devices the driver creates

struct Battery {
    std::wstring name, maker, serial;
    DWORD fail = 0;
    bool unterminated = false;
};

int fail(const wchar_t* what, DWORD error) {
    fwprintf(stderr, L"batctl: %ls failed (%lu)\n", what, error);
    return 2;
}

int hexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

bool unescape(const std::wstring& in, std::wstring& out) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != L'%') {
            out += in[i];
            continue;
        }
        if (in.size() - i < 5) return false;
        unsigned unit = 0;
        for (size_t k = 1; k <= 4; ++k) {
            int v = hexValue(in[i + k]);
            if (v < 0) return false;
            unit = unit * 16 + static_cast<unsigned>(v);
        }
        out += static_cast<wchar_t>(unit);
        i += 4;
    }
    return true;
}

bool parseBattery(const std::wstring& arg, Battery& b) {
    size_t start = 0;
    while (start <= arg.size()) {
        size_t end = arg.find(L';', start);
        if (end == std::wstring::npos) end = arg.size();
        std::wstring field = arg.substr(start, end - start);
        start = end + 1;
        if (field.empty()) continue;
        size_t eq = field.find(L'=');
        std::wstring key = field.substr(0, eq);
        std::wstring raw = eq == std::wstring::npos ? L"" : field.substr(eq + 1);
        std::wstring value;
        if (!unescape(raw, value)) return false;
        if (key == L"name") b.name = value;
        else if (key == L"maker") b.maker = value;
        else if (key == L"serial") b.serial = value;
        else if (key == L"unterminated") b.unterminated = true;
        else if (key == L"fail") {
            if (value == L"tag") b.fail = 1;
            else if (value == L"4" || value == L"6" || value == L"8") b.fail = wcstoul(value.c_str(), nullptr, 10);
            else return false;
        } else return false;
    }
    return true;
}

LONG setString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG setDword(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

LONG createKey(const std::wstring& path, cw::unique_hkey& key) {
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                           nullptr);
}

LONG deleteTree(HKEY parent, const wchar_t* path) {
    LONG rc = RegDeleteTreeW(parent, path);
    if (rc == ERROR_SUCCESS) rc = RegDeleteKeyW(parent, path);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

// Removes every interface and device key of a simulated battery, and the configuration.
int removeBatteries() {
    cw::unique_hkey classes;
    LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClassesKey, 0, KEY_ALL_ACCESS, classes.put());
    if (rc == ERROR_SUCCESS) {
        std::vector<std::wstring> ours;
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD len = ARRAYSIZE(name);
            if (RegEnumKeyExW(classes.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            if (_wcsnicmp(name, kInterfacePrefix, wcslen(kInterfacePrefix)) == 0) ours.push_back(name);
        }
        for (const auto& n : ours)
            if ((rc = deleteTree(classes.get(), n.c_str())) != ERROR_SUCCESS) return fail(L"removing an interface key", rc);
    } else if (rc != ERROR_FILE_NOT_FOUND) {
        return fail(L"opening DeviceClasses", rc);
    }
    if ((rc = deleteTree(HKEY_LOCAL_MACHINE, kEnumKey)) != ERROR_SUCCESS) return fail(L"removing Enum\\ROOT\\BATTERY", rc);
    if ((rc = deleteTree(HKEY_LOCAL_MACHINE, kConfigRoot)) != ERROR_SUCCESS) return fail(L"removing the configuration", rc);
    return 0;
}

int writeBattery(unsigned index, const Battery& b) {
    std::wstring n = std::to_wstring(index);
    cw::unique_hkey key;
    LONG rc;
    if ((rc = createKey(std::wstring(kConfigKey) + L"\\" + n, key)) != ERROR_SUCCESS) return fail(L"config key", rc);
    if ((rc = setString(key.get(), L"Name", b.name)) != ERROR_SUCCESS ||
        (rc = setString(key.get(), L"Manufacturer", b.maker)) != ERROR_SUCCESS ||
        (rc = setString(key.get(), L"Serial", b.serial)) != ERROR_SUCCESS ||
        (rc = setDword(key.get(), L"Fail", b.fail)) != ERROR_SUCCESS ||
        (rc = setDword(key.get(), L"Unterminated", b.unterminated ? 1 : 0)) != ERROR_SUCCESS)
        return fail(L"config values", rc);

    if ((rc = createKey(std::wstring(kEnumKey) + L"\\" + n, key)) != ERROR_SUCCESS ||
        (rc = setString(key.get(), L"ClassGUID", kClassGuid)) != ERROR_SUCCESS)
        return fail(L"device key", rc);

    std::wstring iface = std::wstring(kClassesKey) + L"\\" + kInterfacePrefix + n + L"#" + kClassGuid;
    if ((rc = createKey(iface, key)) != ERROR_SUCCESS ||
        (rc = setString(key.get(), L"DeviceInstance", L"ROOT\\BATTERY\\" + n)) != ERROR_SUCCESS)
        return fail(L"interface key", rc);
    if ((rc = createKey(iface + L"\\#", key)) != ERROR_SUCCESS ||
        (rc = setString(key.get(), L"SymbolicLink", L"\\\\?\\ROOT#BATTERY#" + n + L"#" + kClassGuid)) != ERROR_SUCCESS)
        return fail(L"interface link", rc);
    if ((rc = createKey(iface + L"\\#\\Control", key)) != ERROR_SUCCESS ||
        (rc = setDword(key.get(), L"Linked", 1)) != ERROR_SUCCESS)
        return fail(L"interface control", rc);
    return 0;
}

bool waitForState(SC_HANDLE service, DWORD wanted) {
    for (int i = 0; i < 200; ++i) {
        SERVICE_STATUS status{};
        if (!QueryServiceStatus(service, &status)) return false;
        if (status.dwCurrentState == wanted) return true;
        Sleep(25);
    }
    return false;
}

std::wstring driverPath() {
    wchar_t path[MAX_PATH];
    DWORD len = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (len == 0 || len >= MAX_PATH) return L"";
    std::wstring p(path, len);
    return p.substr(0, p.find_last_of(L"\\/") + 1) + kDriverFile;
}

int startDriver() {
    std::wstring image = driverPath();
    if (image.empty()) return fail(L"finding the driver", GetLastError());
    cw::unique_service scm(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!scm) return fail(L"OpenSCManagerW", GetLastError());
    cw::unique_service service(OpenServiceW(scm.get(), kService, SERVICE_ALL_ACCESS));
    if (!service) {
        service.reset(CreateServiceW(scm.get(), kService, kService, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                     SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, image.c_str(), nullptr, nullptr,
                                     nullptr, nullptr, nullptr));
        if (!service) return fail(L"CreateServiceW", GetLastError());
    } else {
        // A service left by another build tree points at another file: repoint it.
        std::vector<BYTE> buf(8192);
        DWORD needed = 0;
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buf.data());
        if (QueryServiceConfigW(service.get(), config, static_cast<DWORD>(buf.size()), &needed) &&
            _wcsicmp(config->lpBinaryPathName, image.c_str()) != 0) {
            SERVICE_STATUS status{};
            if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status))
                waitForState(service.get(), SERVICE_STOPPED);
            if (!ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                      image.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
                return fail(L"ChangeServiceConfigW", GetLastError());
        }
    }
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.get(), &status)) return fail(L"QueryServiceStatus", GetLastError());
    if (status.dwCurrentState == SERVICE_RUNNING) return 0;
    if (!StartServiceW(service.get(), 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
        return fail(L"StartServiceW", GetLastError());
    if (!waitForState(service.get(), SERVICE_RUNNING)) return fail(L"waiting for the driver", GetLastError());
    return 0;
}

int removeDriver() {
    cw::unique_service scm(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!scm) return fail(L"OpenSCManagerW", GetLastError());
    cw::unique_service service(OpenServiceW(scm.get(), kService, SERVICE_ALL_ACCESS));
    if (!service) return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? 0 : fail(L"OpenServiceW", GetLastError());
    SERVICE_STATUS status{};
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) waitForState(service.get(), SERVICE_STOPPED);
    if (!DeleteService(service.get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
        return fail(L"DeleteService", GetLastError());
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && wcscmp(argv[1], L"setup") == 0) {
        std::vector<Battery> batteries;
        for (int i = 2; i < argc; ++i) {
            Battery b;
            if (!parseBattery(argv[i], b)) {
                fwprintf(stderr, L"batctl: bad battery \"%ls\"\n", argv[i]);
                return 1;
            }
            batteries.push_back(b);
        }
        if (batteries.size() > kMaxBatteries) {
            fwprintf(stderr, L"batctl: at most %u batteries\n", kMaxBatteries);
            return 1;
        }
        if (int rc = removeBatteries()) return rc;
        for (unsigned i = 0; i < batteries.size(); ++i)
            if (int rc = writeBattery(i, batteries[i])) return rc;
        return startDriver();
    }
    if (argc == 2 && wcscmp(argv[1], L"clear") == 0) {
        if (int rc = removeDriver()) return rc;
        return removeBatteries();
    }
    fwprintf(stderr, L"usage: batctl setup [name=..;maker=..;serial=..;fail=tag|4|6|8;unterminated]...\n"
                     L"       batctl clear\n");
    return 1;
}
