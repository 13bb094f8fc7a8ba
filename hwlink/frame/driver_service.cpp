#include "hwlink/frame/driver_service.h"

#include <windows.h>
#include <shlwapi.h>

#include "hwlink/frame/device_channel.h"
#include "hwlink/frame/global_block.h"
#include "hwlink/hwlink.h"
#include "common/system_library.h"
#include "common/unique_handle.h"

namespace hwlink {

namespace {

constexpr DWORD kPathChars = 261;  // destination paths
constexpr DWORD kSourceChars = 260;
constexpr int kMessageChars = 100;

// The messages of KernelDrv_Install_Test, formatted with the last error twice.
constexpr char kCreateFailedText[] = "CreateServiceFailed] LastError:%08X(%d)";
constexpr char kReopenFailedText[] = "OpenServiceFailed] LastError:%08X(%d)";
constexpr char kStartFailedText[] = "StartServiceFailed] LastError:%08X(%d)";

// A zero-filled path buffer; empty when a part does not fit.
struct DriverPath {
    char text[kPathChars] = {};
    bool fits = true;

    void Append(const char* part) {
        if (!fits) return;
        const int used = lstrlenA(text);
        const int room = static_cast<int>(kPathChars) - used;
        if (lstrlenA(part) >= room) {
            text[0] = 0;
            fits = false;
            return;
        }
        lstrcpynA(text + used, part, room);
    }
};

// system directory + "\drivers" + "\" + "KHWPORT.SYS"
DriverPath SystemDriverPath() {
    DriverPath path;
    const UINT n = GetSystemDirectoryA(path.text, kPathChars);
    if (n == 0 || n >= kPathChars) {
        path.text[0] = 0;
        path.fits = false;
        return path;
    }
    path.Append("\\drivers");
    path.Append("\\");
    path.Append(kDriverFileName);
    return path;
}

// directory + "\" + "KHWPORT.SYS"
DriverPath CallerDriverPath(const char* directory) {
    DriverPath path;
    path.Append(directory);
    path.Append("\\");
    path.Append(kDriverFileName);
    return path;
}

// version.dll is not among the DLLs Windows always takes from its system folder,
// and the search order belongs to the host process: it is loaded from the system
// folder by name for the one comparison that needs it, and released after it.
class VersionLibrary {
public:
    VersionLibrary()
        : module_(cw::LoadSystemLibrary(L"version.dll")),
          getSize_(Export<decltype(&GetFileVersionInfoSizeA)>("GetFileVersionInfoSizeA")),
          getInfo_(Export<decltype(&GetFileVersionInfoA)>("GetFileVersionInfoA")),
          query_(Export<decltype(&VerQueryValueA)>("VerQueryValueA")) {}

    bool Loaded() const { return getSize_ && getInfo_ && query_; }
    DWORD InfoSize(const char* file, DWORD* ignored) const { return getSize_(file, ignored); }
    bool Info(const char* file, DWORD size, void* data) const { return getInfo_(file, 0, size, data) != FALSE; }
    bool Query(const void* data, const char* block, void** value, UINT* size) const {
        return query_(data, block, value, size) != FALSE;
    }

private:
    template <typename Function>
    Function Export(const char* name) const {
        return module_ ? cw::ModuleExport<Function>(module_.get(), name) : nullptr;
    }

    cw::unique_module module_;
    decltype(&GetFileVersionInfoSizeA) getSize_;
    decltype(&GetFileVersionInfoA) getInfo_;
    decltype(&VerQueryValueA) query_;
};

bool ReadFileVersion(const char* file, FileVersion& version) {
    const VersionLibrary library;
    if (!library.Loaded()) return false;
    DWORD ignored = 0;
    const DWORD size = library.InfoSize(file, &ignored);
    if (size == 0) return false;
    GlobalBlock block;
    if (block.Allocate(size) != status::kOk) return false;
    void* data = block.bytes().data();
    if (!library.Info(file, size, data)) return false;
    void* fixed = nullptr;
    UINT fixedSize = 0;
    if (!library.Query(data, "\\", &fixed, &fixedSize) || !fixed || fixedSize < sizeof(VS_FIXEDFILEINFO))
        return false;
    VS_FIXEDFILEINFO info;
    CopyMemory(&info, fixed, sizeof info);
    version.ms = info.dwFileVersionMS;
    version.ls = info.dwFileVersionLS;
    return true;
}

// The driver files are found, read, copied and deleted in one view, the native
// one, each operation with redirection off only while it runs: the service's
// binary path names the installed file in that view, and the candidate found in
// a redirected current directory (System32 of a 32-bit process) must be the file
// that is then compared and copied.
DWORD FindDriverSource(char (&source)[kSourceChars]) {
    NativeFileSystemView native;
    return SearchPathA(".\\", kDriverFileName, nullptr, kSourceChars, source, nullptr);
}

bool ReadDriverVersion(const char* file, FileVersion& version) {
    NativeFileSystemView native;
    return ReadFileVersion(file, version);
}

bool CopyDriverFile(const char* source, const char* destination) {
    NativeFileSystemView native;
    return CopyFileA(source, destination, FALSE) != FALSE;
}

// A missing file is fine: nothing is left behind either way.
void DeleteDriverFile(const char* destination) {
    NativeFileSystemView native;
    DeleteFileA(destination);
}

// The message boxes of the _Test installs are the library's only use of shlwapi and
// user32. They are loaded here, from the system folder, so that loading the library
// brings in nothing but kernel32 and advapi32 (Wine's user32, for one, imports
// version.dll, which the host's own folder would supply). user32 stays loaded:
// nothing unloads the window manager's DLL behind a thread that has used it.
void Report(const char* format, DWORD error) {
    const cw::unique_module shlwapi(cw::LoadSystemLibrary(L"shlwapi.dll"));
    const HMODULE user32 = cw::LoadSystemLibrary(L"user32.dll");
    if (!shlwapi || !user32) return;
    const auto formatText = cw::ModuleExport<decltype(&wnsprintfA)>(shlwapi.get(), "wnsprintfA");
    const auto showMessage = cw::ModuleExport<decltype(&MessageBoxA)>(user32, "MessageBoxA");
    if (!formatText || !showMessage) return;
    char text[kMessageChars] = {};
    formatText(text, kMessageChars, format, error, error);
    showMessage(nullptr, text, nullptr, MB_OK);
}

// KernelDrv_Install and KernelDrv_Install_Test. `test` adds the reopen before the
// start and the message boxes.
Status Install(const DriverPath& destination, DWORD startType, bool test) {
    char source[kSourceChars] = {};
    const DWORD found = FindDriverSource(source);
    if (found == 0 || found >= kSourceChars) return status::kDriverFileMissing;

    cw::unique_service manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return status::kScmUnavailable;
    cw::unique_service service(OpenServiceA(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
    const DWORD openError = GetLastError();
    const bool exists = static_cast<bool>(service);
    service.reset();
    manager.reset();

    if (exists) {
        FileVersion installed, candidate;
        if (!ReadDriverVersion(source, candidate) || !ReadDriverVersion(destination.text, installed))
            return status::kVersionUnreadable;
        return CompareDriverVersions(installed, candidate);
    }
    if (openError != ERROR_SERVICE_DOES_NOT_EXIST && openError != ERROR_INVALID_NAME)
        return status::kServiceOpenFailed;
    if (!CopyDriverFile(source, destination.text)) return status::kDriverCopyFailed;

    manager.reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return status::kScmUnavailable;
    DWORD tag = kRequestedTag;
    service.reset(CreateServiceA(manager.get(), kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                 SERVICE_KERNEL_DRIVER, startType, SERVICE_ERROR_NORMAL, destination.text,
                                 kLoadOrderGroup, &tag, nullptr, nullptr, nullptr));
    if (!service) {
        if (test) Report(kCreateFailedText, GetLastError());
        return status::kServiceCreateFailed;
    }
    if (test) {
        service.reset();
        service.reset(OpenServiceA(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
        if (!service) {
            Report(kReopenFailedText, GetLastError());
            return status::kServiceStartFailed;
        }
    }
    if (!StartServiceA(service.get(), 0, nullptr)) {
        if (test) Report(kStartFailedText, GetLastError());
        return status::kServiceStartFailed;
    }
    return status::kOk;
}

Status Uninstall(const DriverPath& destination) {
    cw::unique_service manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return status::kScmUnavailable;
    cw::unique_service service(OpenServiceA(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
    if (!service) {
        const DWORD error = GetLastError();
        manager.reset();
        if (error != ERROR_SERVICE_DOES_NOT_EXIST) return status::kServiceOpenFailed;
        DeleteDriverFile(destination.text);  // a leftover file goes
        return status::kOk;
    }
    SERVICE_STATUS state = {};
    if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &state)) {
        // Installed but not running: service and file stay.
        return StopErrorMeansNotActive(GetLastError()) ? status::kOk : status::kServiceStopFailed;
    }
    for (unsigned polls = 0; state.dwCurrentState != SERVICE_STOPPED; ++polls) {
        if (polls == kStopPolls) return status::kServiceStopFailed;
        Sleep(kStopPollMs);
        SERVICE_STATUS now = {};
        if (QueryServiceStatus(service.get(), &now)) state = now;
    }
    Sleep(kSettleBeforeDeleteMs);
    if (!DeleteService(service.get())) return status::kServiceDeleteFailed;
    service.reset();
    manager.reset();
    DeleteDriverFile(destination.text);
    return status::kOk;
}

}  // namespace

NativeFileSystemView::NativeFileSystemView() {
    BOOL wow64 = FALSE;
    if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64)
        off_ = Wow64DisableWow64FsRedirection(&previous_) != FALSE;
}

NativeFileSystemView::~NativeFileSystemView() {
    if (!off_) return;
    const DWORD saved = GetLastError();  // the caller may still want the operation's error
    Wow64RevertWow64FsRedirection(previous_);
    SetLastError(saved);
}

}  // namespace hwlink

using namespace hwlink;

extern "C" {

std::uint32_t HWLINK_CDECL KernelDrv_Install(void) {
    if (ChannelIsOpen()) return status::kChannelBusy;
    return Install(SystemDriverPath(), kBootStart, false);
}

std::uint32_t HWLINK_CDECL KernelDrv_UnInstall(void) {
    if (ChannelIsOpen()) return status::kChannelBusy;
    return Uninstall(SystemDriverPath());
}

std::uint32_t HWLINK_STDCALL KernelDrv_Install_Test(const char* directory, std::uint32_t startType) {
    if (ChannelIsOpen()) return status::kChannelBusy;
    if (!directory) return status::kInvalidArgument;
    const DriverPath path = CallerDriverPath(directory);
    if (!path.fits) return status::kInvalidArgument;
    return Install(path, startType, true);
}

std::uint32_t HWLINK_STDCALL KernelDrv_UnInstall_Test(const char* directory) {
    if (ChannelIsOpen()) return status::kChannelBusy;
    if (!directory) return status::kInvalidArgument;
    const DriverPath path = CallerDriverPath(directory);
    if (!path.fits) return status::kInvalidArgument;
    return Uninstall(path);
}

std::uint32_t HWLINK_STDCALL GetDriverVersion(std::uint32_t* first, std::uint32_t* second) {
    constexpr std::uint32_t kFirst = 1;
    constexpr std::uint32_t kSecond = 0x00020055;
    if (!first || !second) return status::kInvalidArgument;
    Channel channel;
    const Status s = channel.Open();
    if (s != status::kOk) return s;
    *second = kSecond;
    *first = kFirst;
    return channel.Finish(status::kOk);
}

}  // extern "C"
