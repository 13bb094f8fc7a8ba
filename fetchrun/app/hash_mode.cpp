#include "fetchrun/app/hash_mode.h"

#include <string>

#include "common/companion.h"
#include "common/utf16_file.h"
#include "fetchrun/app/exit_codes.h"
#include "fetchrun/transfer/fetchrun_log.h"
#include "fetchrun/transfer/hash_thread.h"
#include "fetchrun/transfer/settings_ini.h"
#include "fetchrun/app/texts.h"
#include "common/unique_handle.h"

namespace fetchrun {
namespace {

constexpr wchar_t kDefaultOutputName[] = L"\\Output-Hash.ini";
constexpr DWORD kHashPollMs = 300;

// Full path of `path` in kPathChars characters; empty (last error set) when it
// can't be had or doesn't fit.
std::wstring FullPath(const std::wstring& path) {
    wchar_t full[kPathChars] = {};
    const DWORD n = GetFullPathNameW(path.c_str(), kPathChars, full, nullptr);
    if (n == 0) return {};
    if (n >= kPathChars) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return {};
    }
    return full;
}

}  // namespace

DWORD MakeHashIni(const wchar_t* fileName, const wchar_t* fullPath, const wchar_t* outIni) {
    CThreadHash hash(fullPath);
    if (!hash.Start()) {
        LogLine(L"Can't create hash thread.");
        return kExitHashThread;
    }
    while (hash.IsRunning()) Sleep(kHashPollMs);
    const std::wstring hashText = hash.GetResult();
    if (hashText.empty()) {
        LogLine(L"Hash is Empty !");
        return kExitHashEmpty;
    }

    // Held open for reading while the INI is made: an output path that names the
    // program itself (or a link to it) then fails instead of overwriting it.
    cw::unique_file program(CreateFileW(fullPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    // With the byte order mark in place the profile functions keep the file UTF-16LE.
    if (!cw::CreateUtf16File(outIni)) {
        LogFormat(L"Can't create ini file 0x%08X.", GetLastError());
        return kExitIniFile;
    }
    const std::wstring url = ProgramUrl(fileName);
    if (!CGlobalIniMgr::WriteHashIni(outIni, hashText.c_str(), url.c_str())) {
        LogFormat(L"Can't create ini file 0x%08X.", GetLastError());
        return kExitIniFile;
    }

    LogFormat(L"Target file: %s.", fullPath);
    LogFormat(L"Output ini : %s.", outIni);
    LogFormat(L"Hash       : %s.", hashText.c_str());
    LogFormat(L"Url        : %s.", url.c_str());
    return kExitSuccess;
}

DWORD RunHashMode(const FetchrunOptions& options) {
    if (options.hashFile.empty()) {
        LogLine(L"parameter error: target file.");
        return kExitParameter;
    }
    const std::wstring fullPath = FullPath(options.hashFile);
    if (fullPath.empty()) {
        LogLine(L"parameter error: target file.");
        return kExitParameter;
    }
    const std::wstring fileName = FileNameOfPath(fullPath);

    std::wstring outIni = options.outIni;
    if (outIni.empty()) {
        const std::wstring folder = cw::OwnFolder();
        if (!folder.empty()) outIni = folder + kDefaultOutputName;
    }
    const std::wstring fullOut = outIni.empty() ? std::wstring() : FullPath(outIni);
    if (fullOut.empty()) {
        LogFormat(L"Can't create ini file 0x%08X.", GetLastError());
        return kExitIniFile;
    }
    return MakeHashIni(fileName.c_str(), fullPath.c_str(), fullOut.c_str());
}

}  // namespace fetchrun
