#include "cellwise/identify/platform_id.h"

#include <utility>

#include "hwlink/hwlink.h"  // the library's contract: the export's type and record
#include "common/companion.h"
#include "common/registry_text.h"
#include "common/wide_format.h"

namespace cw {

namespace {

// The embedded-controller library's exports, C calling convention.
using GetEcDevInfoFn = DWORD(__cdecl*)(DWORD* flags);
using ReadWritePwrmcFn = DWORD(__cdecl*)(DWORD selector, DWORD* value);

template <typename Fn>
Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

std::wstring FormatMachineValue(std::uint32_t value) { return FormatText(kMachineValueFormat, value); }

std::wstring JoinEcLibraryPath(const std::wstring& folder, const std::wstring& file) {
    if (folder.empty() || file.empty()) return {};
    std::wstring path = folder;
    if (path.back() != L'\\') path += L'\\';
    path += file;
    if (path.size() >= kEcPathChars) return {};
    return path;
}

bool FindPlatformPair(const PairList& platformPairs, const std::wstring& systemText, const std::wstring& ecText,
                      std::wstring& platformId) {
    for (const Pair& pair : platformPairs) {
        if (pair.key == systemText && pair.value == ecText) {
            platformId = pair.key + L"-" + pair.value;
            return true;
        }
    }
    return false;
}

std::uint32_t GetSystemIdentifier() {
    const std::wstring path = CompanionPath(kHwlinkFileName);
    if (path.empty()) return 0;
    return ReadSystemIdentifier(path);
}

std::uint32_t ReadSystemIdentifier(const std::wstring& hwlinkPath) {
    unique_module library(LoadLibraryW(hwlinkPath.c_str()));
    if (!library) return 0;
    const auto getSystemInfo = Export<PFN_GABI_NVMISC_GetSystemInfo>(library.get(), kSystemInfoExport);
    if (!getSystemInfo) return 0;
    // Four zeroed outputs; the status words are not read afterwards.
    NvmiscSystemInfo info = {};
    std::uint16_t status1 = 0, status2 = 0, status3 = 0;
    const std::uint32_t status = getSystemInfo(&info, &status1, &status2, &status3);
    library.reset();
    return status == HWLINK_OK ? info.systemId : 0;
}

CNRV0A17::~CNRV0A17() {
    // Not through the virtual Close: a derived part is gone by now.
    module_.reset();
    libraryPath_.clear();
}

void CNRV0A17::Close() {
    Unload();
    libraryPath_.clear();
}

void CNRV0A17::Unload() { module_.reset(); }

bool CNRV0A17::QueryEcValue(std::uint32_t* value) {
    if (!value || !LoadEcLibrary()) return false;
    const auto getDevInfo = Export<GetEcDevInfoFn>(module_.get(), kEcDevInfoExport);
    if (!getDevInfo) return false;
    DWORD flags = 0;
    if (getDevInfo(&flags) != 0 || !(flags & kEcValueReadable)) return false;
    const auto readValue = Export<ReadWritePwrmcFn>(module_.get(), kEcReadExport);
    if (!readValue) return false;
    DWORD read = 0;
    if (readValue(kEcValueSelector, &read) != 0) return false;
    *value = read;
    return true;
}

bool CNRV0A17::ReadInstallPath() {
    libraryPath_.clear();
    const unique_hkey key = OpenKeyForReading(root_, subKey_.c_str());
    if (!key) return false;
    const std::wstring folder = ReadRegistryText(key.get(), kEcFolderValue, kEcFolderBytes);
    if (folder.empty()) return false;
    const std::wstring file = ReadRegistryText(key.get(), kEcFileValue, kEcFileBytes);
    libraryPath_ = JoinEcLibraryPath(folder, file);
    return !libraryPath_.empty();
}

bool CNRV0A17::LoadEcLibrary() {
    if (module_) return true;
    if (libraryPath_.empty() && !ReadInstallPath()) return false;
    if (!IsExistingFile(libraryPath_.c_str())) return false;
    // The platform's library may bring DLLs of its own installation folder: they are
    // looked for there and in the system folder, never in the program's folder
    // (whose search the entry has restricted to the system folder).
    module_.reset(
        LoadLibraryExW(libraryPath_.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
    return static_cast<bool>(module_);
}

bool LookUpPlatformId(const PairList& platformPairs, std::uint32_t systemId, CNRV0A17& ec,
                      std::wstring& platformId) {
    if (systemId == 0) return false;
    std::uint32_t ecValue = 0;
    if (!ec.QueryEcValue(&ecValue)) return false;
    return FindPlatformPair(platformPairs, FormatMachineValue(systemId), FormatMachineValue(ecValue), platformId);
}

bool GetPlatformId(const PairList& platformPairs, std::wstring& platformId) {
    const std::uint32_t systemId = GetSystemIdentifier();
    if (systemId == 0) return false;  // the controller's library is not touched
    CNRV0A17 ec;
    return LookUpPlatformId(platformPairs, systemId, ec, platformId);
}

}  // namespace cw
