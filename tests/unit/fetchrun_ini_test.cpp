// The settings INI reader and the hash-mode writer against real profile files:
// plain values of any length, scrambled values in the hex-with-checksum form the
// platform's struct functions write, and the bounds on what a file may ask for.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_files.h"
#include "fetchrun/transfer/settings_ini.h"

namespace {

using namespace fetchrun;
using test_support::ScratchDir;

std::vector<std::uint8_t> Scrambled(const std::wstring& value, std::uint32_t key) {
    std::vector<std::uint8_t> bytes;
    for (wchar_t c : value) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    const std::uint8_t k[4] = {static_cast<std::uint8_t>(key >> 24), static_cast<std::uint8_t>(key >> 16),
                               static_cast<std::uint8_t>(key >> 8), static_cast<std::uint8_t>(key)};
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] ^= k[i % 4];
    return bytes;
}

std::wstring Section(const wchar_t* name, const std::wstring& body) {
    return std::wstring(L"[") + name + L"]\r\n" + body;
}

std::wstring Entry(const wchar_t* key, const std::wstring& value) { return std::wstring(key) + L"=" + value + L"\r\n"; }

std::wstring Decimal(std::uint32_t value) { return std::to_wstring(value); }

class FetchrunIni : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.ok()); }

    // A scrambled INI as a publisher writes it: control section by hand, each
    // value's length entry, and the value through the platform's struct writer.
    std::wstring WriteScrambled(const wchar_t* name, const std::wstring& keyText, std::uint32_t key,
                                const std::vector<std::pair<const wchar_t*, std::wstring>>& values) {
        const std::wstring path = dir_.File(name);
        std::wstring control = Entry(kKeyScrambled, L"1");
        if (!keyText.empty()) control += Entry(kKeyScrambleKey, keyText);
        EXPECT_TRUE(test_support::WriteUtf16File(path, Section(kControlSection, control)));
        for (const auto& value : values) {
            std::vector<std::uint8_t> bytes = Scrambled(value.second, key);
            const std::wstring lengthKey = std::wstring(value.first) + kLengthKeySuffix;
            EXPECT_TRUE(WritePrivateProfileStringW(kSettingsSection, lengthKey.c_str(),
                                                   Decimal(static_cast<std::uint32_t>(bytes.size()) ^ key).c_str(),
                                                   path.c_str()));
            EXPECT_TRUE(WritePrivateProfileStructW(kSettingsSection, value.first, bytes.data(),
                                                   static_cast<UINT>(bytes.size()), path.c_str()));
        }
        return path;
    }

    ScratchDir dir_;
};

TEST_F(FetchrunIni, PlainValuesAreReadAsPublished) {
    const std::wstring path = dir_.File(L"plain.ini");
    ASSERT_TRUE(test_support::WriteUtf16File(
        path, Section(kSettingsSection, Entry(kKeyExeUrl, L"http://127.0.0.1:8080/fw/update.exe") +
                                            Entry(kKeyExeHash, L"ab12") + Entry(kKeyExeParam, L"/quiet /x:\u00e9") +
                                            Entry(kKeyEndCode, L""))));
    CGlobalIniMgr ini;
    ini.SetFile(path.c_str());
    EXPECT_FALSE(ini.IsScrambled());  // no control section: plain
    EXPECT_EQ(L"http://127.0.0.1:8080/fw/update.exe", ini.GetString(kKeyExeUrl));
    EXPECT_EQ(L"ab12", ini.GetString(kKeyExeHash));
    EXPECT_EQ(L"/quiet /x:\u00e9", ini.GetString(kKeyExeParam));
    EXPECT_EQ(L"", ini.GetString(kKeyEndCode));
    EXPECT_EQ(L"", ini.GetString(L"{00000000-0000-0000-0000-000000000000}"));
}

TEST_F(FetchrunIni, PlainValuesLongerThanTheFirstBufferAreReadWhole) {
    const std::wstring path = dir_.File(L"long.ini");
    const std::vector<std::size_t> lengths = {254, 255, 256, 300, 511, 512, 5000};
    std::wstring body;
    std::vector<std::wstring> keys;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        keys.push_back(L"key" + std::to_wstring(i));
        std::wstring value(lengths[i], L'a');
        value.back() = L'Z';  // a cut value would lose this
        body += Entry(keys.back().c_str(), value);
    }
    ASSERT_TRUE(test_support::WriteUtf16File(path, Section(kSettingsSection, body)));
    CGlobalIniMgr ini;
    ini.SetFile(path.c_str());
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        const std::wstring value = ini.GetString(keys[i].c_str());
        EXPECT_EQ(lengths[i], value.size()) << "length " << lengths[i];
        EXPECT_EQ(L'Z', value.empty() ? L'\0' : value.back()) << "length " << lengths[i];
    }
}

TEST_F(FetchrunIni, MissingFileOrPathGivesEmptyValues) {
    CGlobalIniMgr ini;
    EXPECT_EQ(L"", ini.GetString(kKeyExeUrl));  // no file set yet
    ini.SetFile(dir_.File(L"absent.ini").c_str());
    EXPECT_FALSE(ini.IsScrambled());
    EXPECT_EQ(0u, ini.ScrambleKey());
    EXPECT_EQ(L"", ini.GetString(kKeyExeUrl));
    ini.SetFile(nullptr);
    EXPECT_EQ(L"", ini.GetString(kKeyExeUrl));
}

TEST_F(FetchrunIni, ScrambledValuesAreUnscrambledWithHexOrDecimalKeys) {
    const std::wstring url = L"http://127.0.0.1:8080/download/battery_exchange/fwexe/u.exe";
    const std::wstring param = L"/s /lang:\u65e5\u672c";
    struct Case {
        const wchar_t* keyText;
        std::uint32_t key;
    };
    const Case cases[] = {{L"0x5A3C0F96", 0x5A3C0F96u}, {L"305419896", 305419896u}, {L"0", 0u}};
    for (const Case& c : cases) {
        const std::wstring path =
            WriteScrambled(L"scrambled.ini", c.keyText, c.key,
                           {{kKeyExeUrl, url}, {kKeyExeParam, param}, {kKeyExeHash, L"00FF"}});
        CGlobalIniMgr ini;
        ini.SetFile(path.c_str());
        EXPECT_TRUE(ini.IsScrambled());
        EXPECT_EQ(c.key, ini.ScrambleKey());
        EXPECT_EQ(url, ini.GetString(kKeyExeUrl)) << test_support::Narrow(c.keyText);
        EXPECT_EQ(param, ini.GetString(kKeyExeParam)) << test_support::Narrow(c.keyText);
        EXPECT_EQ(L"00FF", ini.GetString(kKeyExeHash)) << test_support::Narrow(c.keyText);
        EXPECT_EQ(L"", ini.GetString(kKeyEndCode));  // no length entry
    }
}

// Pins the published form independently of the platform's writer: two hex digits
// per byte, then the low byte of their sum. Key 0: the length entry is the count.
TEST_F(FetchrunIni, ScrambledValueInHandWrittenHexWithChecksum) {
    const std::wstring path = dir_.File(L"hand.ini");
    // "AB" = 41 00 42 00, sum 0x83. "AB" under key 0x01020304 = 40 02 41 04, sum 0x87.
    ASSERT_TRUE(test_support::WriteUtf16File(
        path, Section(kControlSection, Entry(kKeyScrambled, L"1") + Entry(kKeyScrambleKey, L"0x01020304")) +
                  Section(kSettingsSection, Entry(kKeyEndCode, L"4002410487") +
                                                Entry((std::wstring(kKeyEndCode) + kLengthKeySuffix).c_str(),
                                                      Decimal(4u ^ 0x01020304u)))));
    CGlobalIniMgr ini;
    ini.SetFile(path.c_str());
    EXPECT_EQ(L"AB", ini.GetString(kKeyEndCode));
}

TEST_F(FetchrunIni, UnusableScrambledEntriesGiveEmptyValues) {
    const std::uint32_t key = 0x00C0FFEE;
    const std::wstring path = WriteScrambled(L"edge.ini", L"0x00C0FFEE", key, {{kKeyExeUrl, L"http://x/y.exe"}});
    auto setLength = [&](const wchar_t* text) {
        const std::wstring lengthKey = std::wstring(kKeyExeUrl) + kLengthKeySuffix;
        ASSERT_TRUE(WritePrivateProfileStringW(kSettingsSection, lengthKey.c_str(), text, path.c_str()));
    };
    CGlobalIniMgr ini;
    ini.SetFile(path.c_str());
    ASSERT_EQ(L"http://x/y.exe", ini.GetString(kKeyExeUrl));

    setLength(L"12648430");  // equal to the key: empty, whatever the value holds
    EXPECT_EQ(L"", ini.GetString(kKeyExeUrl));
    setLength(Decimal(30u ^ key).c_str());  // not the stored size: the platform refuses
    EXPECT_EQ(L"", ini.GetString(kKeyExeUrl));
    setLength(L"0x7FFFFFFF");  // far beyond any value: refused, not allocated
    EXPECT_EQ(L"", ini.GetString(kKeyExeUrl));
    setLength(L"0xFFFFFFFF");
    EXPECT_EQ(L"", ini.GetString(kKeyExeUrl));
    setLength(L"");
    EXPECT_EQ(L"", ini.GetString(kKeyExeUrl));

    setLength(Decimal(28u ^ key).c_str());  // right again
    ASSERT_EQ(L"http://x/y.exe", ini.GetString(kKeyExeUrl));
    // One flipped digit of the checksum: the platform refuses the value.
    wchar_t hex[128] = {};
    ASSERT_GT(GetPrivateProfileStringW(kSettingsSection, kKeyExeUrl, L"", hex, 128, path.c_str()), 2u);
    std::wstring broken = hex;
    broken.back() = broken.back() == L'0' ? L'1' : L'0';
    ASSERT_TRUE(WritePrivateProfileStringW(kSettingsSection, kKeyExeUrl, broken.c_str(), path.c_str()));
    EXPECT_EQ(L"", ini.GetString(kKeyExeUrl));
}

TEST_F(FetchrunIni, SwitchAndKeyBelongToTheCurrentFileOnly) {
    const std::wstring keyed = WriteScrambled(L"keyed.ini", L"0x11223344", 0x11223344u, {{kKeyExeUrl, L"first"}});
    // Scrambled, but without a key text: key 0.
    const std::wstring keyless = WriteScrambled(L"keyless.ini", L"", 0, {{kKeyExeUrl, L"second"}});
    const std::wstring plain = dir_.File(L"plain.ini");
    ASSERT_TRUE(test_support::WriteUtf16File(
        plain, Section(kControlSection, Entry(kKeyScrambled, L"0") + Entry(kKeyScrambleKey, L"99")) +
                   Section(kSettingsSection, Entry(kKeyExeUrl, L"third"))));

    CGlobalIniMgr ini;
    ini.SetFile(keyed.c_str());
    EXPECT_EQ(L"first", ini.GetString(kKeyExeUrl));
    ini.SetFile(keyless.c_str());
    EXPECT_EQ(0u, ini.ScrambleKey());
    EXPECT_EQ(L"second", ini.GetString(kKeyExeUrl));
    ini.SetFile(plain.c_str());  // switch 0: plain, whatever the key
    EXPECT_FALSE(ini.IsScrambled());
    EXPECT_EQ(L"third", ini.GetString(kKeyExeUrl));
}

TEST_F(FetchrunIni, HashModeWriterProducesAPlainUtf16IniThatReadsBack) {
    const std::wstring path = dir_.File(L"Output-Hash.ini");
    const wchar_t bom = 0xFEFF;
    ASSERT_TRUE(test_support::WriteBytes(path, &bom, sizeof(bom)));
    const std::wstring url = L"http://dl.example/download/battery_exchange/fwexe/update.exe";
    const std::wstring hash(64, L'C');
    ASSERT_TRUE(CGlobalIniMgr::WriteHashIni(path.c_str(), hash.c_str(), url.c_str()));

    EXPECT_EQ(L"\xFEFF" + Section(kSettingsSection, Entry(kKeyExeHash, hash) + Entry(kKeyExeUrl, url)),
              test_support::ReadUtf16File(path));
    CGlobalIniMgr ini;
    ini.SetFile(path.c_str());
    EXPECT_FALSE(ini.IsScrambled());
    EXPECT_EQ(hash, ini.GetString(kKeyExeHash));
    EXPECT_EQ(url, ini.GetString(kKeyExeUrl));
}

TEST_F(FetchrunIni, HashModeWriterReportsAnUnwritableFile) {
    const std::wstring path = dir_.File(L"no-such-folder\\out.ini");
    EXPECT_FALSE(CGlobalIniMgr::WriteHashIni(path.c_str(), L"AA", L"http://x/"));
}

}  // namespace
