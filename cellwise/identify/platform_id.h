// The platform identity: the firmware's system identifier, read through
// hwlink.dll, and a value of the embedded controller, read through the platform's
// own library, looked up as a pair in the platform list (TXT 114). A listed
// machine gets the identifier that offers the firmware update. Every missing
// piece just means "not listed"; nothing here is shown or logged.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "common/text_list.h"
#include "common/unique_handle.h"

namespace cw {

inline constexpr wchar_t kHwlinkFileName[] = L"hwlink.dll";
inline constexpr char kSystemInfoExport[] = "GABI_NVMISC_GetSystemInfo";

// Where the embedded-controller library is registered (read only).
inline constexpr wchar_t kEcRegistryKey[] = L"SOFTWARE\\Norvane\\NRV0A17";
inline constexpr wchar_t kEcFolderValue[] = L"InstPath";
inline constexpr wchar_t kEcFileValue[] = L"DllName";
inline constexpr DWORD kEcFolderBytes = 1042;
inline constexpr DWORD kEcFileBytes = 520;
inline constexpr std::size_t kEcPathChars = 520;  // the joined path, terminator included

inline constexpr char kEcDevInfoExport[] = "GetECDevInfo";
inline constexpr char kEcReadExport[] = "ReadWritePWRMC";
inline constexpr std::uint32_t kEcValueReadable = 0x10;  // GetECDevInfo flag
inline constexpr std::uint32_t kEcValueSelector = 0xD5;

// "0x%08X": how machine values meet the list text.
inline constexpr wchar_t kMachineValueFormat[] = L"0x%08X";
std::wstring FormatMachineValue(std::uint32_t value);

// folder, a backslash unless it ends with one, file. Empty when either part is
// empty or the result does not fit kEcPathChars.
std::wstring JoinEcLibraryPath(const std::wstring& folder, const std::wstring& file);

// The first pair whose key and value equal the two texts exactly, as "key-value".
bool FindPlatformPair(const PairList& platformPairs, const std::wstring& systemText, const std::wstring& ecText,
                      std::wstring& platformId);

// The system identifier from the hwlink.dll in the program's own folder; 0 when
// there is none (last error ERROR_FILE_NOT_FOUND when the library is missing).
std::uint32_t GetSystemIdentifier();
// The same from the library at `hwlinkPath`: load, call, release.
std::uint32_t ReadSystemIdentifier(const std::wstring& hwlinkPath);

// The platform's embedded-controller library, found through the registry.
class CNRV0A17 {
public:
    CNRV0A17() = default;
    // Reads the library's location from another key (tests).
    CNRV0A17(HKEY root, std::wstring subKey) : root_(root), subKey_(std::move(subKey)) {}
    CNRV0A17(const CNRV0A17&) = delete;
    CNRV0A17& operator=(const CNRV0A17&) = delete;

    virtual ~CNRV0A17();
    virtual void Close();
    virtual void Unload();
    // The controller's value behind selector 0xD5, when the controller says it is readable.
    virtual bool QueryEcValue(std::uint32_t* value);
    virtual bool ReadInstallPath();
    virtual bool LoadEcLibrary();

    const std::wstring& LibraryPath() const { return libraryPath_; }
    bool IsLoaded() const { return static_cast<bool>(module_); }

private:
    unique_module module_;
    std::wstring libraryPath_;
    HKEY root_ = HKEY_LOCAL_MACHINE;
    std::wstring subKey_ = kEcRegistryKey;
};

// Sets `platformId` and returns true when the machine is listed; otherwise leaves
// it as it is and returns false.
bool GetPlatformId(const PairList& platformPairs, std::wstring& platformId);
// GetPlatformId's steps after the system identifier: nothing when it is 0, else
// the controller's value through `ec`, then the list.
bool LookUpPlatformId(const PairList& platformPairs, std::uint32_t systemId, CNRV0A17& ec,
                      std::wstring& platformId);

}  // namespace cw
