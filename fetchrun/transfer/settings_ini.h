// The settings INI of a target: which program to download, its hash and start
// parameters, or an end code. Values are plain, or scrambled with a key that the
// INI carries. Hash mode writes such an INI, always plain.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace fetchrun {

inline constexpr wchar_t kSettingsSection[] = L"{061E6178-4B04-47A6-8B4F-1129CF1640C7}";
inline constexpr wchar_t kKeyExeUrl[] = L"{30513847-9A0A-4E73-8D99-D9B0D8DC178A}";
inline constexpr wchar_t kKeyExeHash[] = L"{09904367-28EA-4199-8319-F53BFF0D4407}";
inline constexpr wchar_t kKeyExeParam[] = L"{E9768F49-9BB7-43F9-BB6B-A93AA9FAA719}";
inline constexpr wchar_t kKeyEndCode[] = L"{9C3B1C6B-EC1F-48E6-A9BA-0C6B3BB51ABC}";
// Scrambled mode: "<key>-CURLEN" holds the scrambled byte length of <key>'s value.
inline constexpr wchar_t kLengthKeySuffix[] = L"-CURLEN";

inline constexpr wchar_t kControlSection[] = L"{A0794E87-87A0-40AE-AD65-C2F0C50FA216}";
inline constexpr wchar_t kKeyScrambled[] = L"A0794E87";   // integer, non-zero = scrambled
inline constexpr wchar_t kKeyScrambleKey[] = L"C2F0C50";  // decimal or 0x-hex

// The settings keys with the names the log uses for them.
struct SettingKey {
    const wchar_t* logName;
    const wchar_t* key;
};
inline constexpr SettingKey kSettingKeys[] = {
    {L"ExeUrl", kKeyExeUrl},
    {L"ExeHash", kKeyExeHash},
    {L"ExeParam", kKeyExeParam},
    {L"EndCode", kKeyEndCode},
};

class CGlobalIniMgr {
public:
    // The process-wide reader.
    static CGlobalIniMgr& Instance();

    CGlobalIniMgr() = default;
    CGlobalIniMgr(const CGlobalIniMgr&) = delete;
    CGlobalIniMgr& operator=(const CGlobalIniMgr&) = delete;
    virtual ~CGlobalIniMgr() = default;

    // Makes `path` the current file and reads its scramble switch and key. A file
    // without a key text has the key 0.
    void SetFile(const wchar_t* path);

    // The value of `key` in the settings section of the current file; empty when
    // the file, the key or (scrambled) its length entry is missing or unusable.
    std::wstring GetString(const wchar_t* key) const;

    bool IsScrambled() const { return scrambled_; }
    std::uint32_t ScrambleKey() const { return key_; }

    // Hash mode: writes ExeHash and then ExeUrl (plain) into `iniPath`, which
    // should already hold just the UTF-16LE byte order mark so the file stays
    // UTF-16. False (last error set) when a write fails.
    static bool WriteHashIni(const wchar_t* iniPath, const wchar_t* hashText, const wchar_t* exeUrl);

private:
    std::wstring ReadPlain(const wchar_t* key) const;
    std::wstring ReadScrambled(const wchar_t* key) const;

    std::wstring path_;
    bool scrambled_ = false;
    std::uint32_t key_ = 0;
};

}  // namespace fetchrun
