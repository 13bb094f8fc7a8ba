#include "fetchrun/transfer/settings_ini.h"

#include <shlwapi.h>

#include <vector>

#include "fetchrun/transfer/ini_values.h"

namespace fetchrun {
namespace {

constexpr DWORD kNumberChars = 16;
constexpr DWORD kFirstValueChars = 256;

// Decimal or 0x-hexadecimal, as the INI's publisher writes numbers; when the
// platform refuses the text, its leading decimal number.
std::uint32_t ParseIniNumber(const wchar_t* text) {
    int value = 0;
    if (StrToIntExW(text, STIF_SUPPORT_HEX, &value)) return static_cast<std::uint32_t>(value);
    return static_cast<std::uint32_t>(LeadingDecimal(text));
}

}  // namespace

CGlobalIniMgr& CGlobalIniMgr::Instance() {
    static CGlobalIniMgr manager;
    return manager;
}

void CGlobalIniMgr::SetFile(const wchar_t* path) {
    path_ = path ? path : L"";
    scrambled_ = false;
    // Switch and key belong to this file alone: one without a key text has key 0,
    // never the key of an earlier file.
    key_ = 0;
    if (path_.empty()) return;
    scrambled_ = GetPrivateProfileIntW(kControlSection, kKeyScrambled, 0, path_.c_str()) != 0;
    wchar_t text[kNumberChars] = {};
    GetPrivateProfileStringW(kControlSection, kKeyScrambleKey, L"", text, kNumberChars, path_.c_str());
    if (text[0] != L'\0') key_ = ParseIniNumber(text);
}

std::wstring CGlobalIniMgr::GetString(const wchar_t* key) const {
    if (path_.empty() || !key || !*key) return {};
    return scrambled_ ? ReadScrambled(key) : ReadPlain(key);
}

std::wstring CGlobalIniMgr::ReadPlain(const wchar_t* key) const {
    std::wstring value;
    // The platform returns size - 1 when it may have cut the value: read again
    // with more room, up to the bound.
    for (DWORD size = kFirstValueChars;; size *= 2) {
        value.assign(size, L'\0');
        const DWORD length = GetPrivateProfileStringW(kSettingsSection, key, L"", &value[0], size, path_.c_str());
        if (length < size - 1) {
            value.resize(length);
            return value;
        }
        if (size >= kMaxSettingChars) return {};
    }
}

std::wstring CGlobalIniMgr::ReadScrambled(const wchar_t* key) const {
    const std::wstring lengthKey = std::wstring(key) + kLengthKeySuffix;
    wchar_t text[kNumberChars] = {};
    GetPrivateProfileStringW(kSettingsSection, lengthKey.c_str(), L"", text, kNumberChars, path_.c_str());
    if (text[0] == L'\0') return {};

    std::uint32_t byteCount = 0;
    if (!ScrambledByteCount(ParseIniNumber(text), key_, &byteCount)) return {};
    std::vector<std::uint8_t> bytes(byteCount);
    if (!GetPrivateProfileStructW(kSettingsSection, key, bytes.data(), byteCount, path_.c_str())) return {};
    Unscramble(bytes, key_);
    return TextFromUtf16Le(bytes.data(), bytes.size());
}

bool CGlobalIniMgr::WriteHashIni(const wchar_t* iniPath, const wchar_t* hashText, const wchar_t* exeUrl) {
    if (!WritePrivateProfileStringW(kSettingsSection, kKeyExeHash, hashText, iniPath) ||
        !WritePrivateProfileStringW(kSettingsSection, kKeyExeUrl, exeUrl, iniPath)) {
        return false;
    }
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, iniPath);  // flush a cached file
    return true;
}

}  // namespace fetchrun
