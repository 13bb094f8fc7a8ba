// Registry texts read through either registry view, as a 64-bit process sees the
// 32-bit view of HKLM\Software and the other way round.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/registry_text.h"

namespace {

class RegistryView : public ::testing::Test {
protected:
    void SetUp() override {
        for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            cw::unique_hkey key;
            ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, sub_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                                      key.put(), nullptr),
                      ERROR_SUCCESS);
            const std::wstring text = view == KEY_WOW64_64KEY ? L"64-bit view" : L"32-bit view";
            ASSERT_EQ(RegSetValueExW(key.get(), L"Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
                      ERROR_SUCCESS);
        }
    }
    void TearDown() override {
        for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, sub_.c_str(), view, 0);
        }
    }

    const std::wstring sub_ = L"Software\\CellwiseTests\\View-" + std::to_wstring(GetCurrentProcessId());
};

}  // namespace

TEST_F(RegistryView, TheViewFlagChoosesWhichKeyIsRead) {
    const cw::unique_hkey wide = cw::OpenKeyForReading(HKEY_LOCAL_MACHINE, sub_.c_str(), KEY_WOW64_64KEY);
    const cw::unique_hkey narrow = cw::OpenKeyForReading(HKEY_LOCAL_MACHINE, sub_.c_str(), KEY_WOW64_32KEY);
    ASSERT_TRUE(wide);
    ASSERT_TRUE(narrow);
    EXPECT_EQ(cw::ReadRegistryText(wide.get(), L"Text", 1040), L"64-bit view");
    EXPECT_EQ(cw::ReadRegistryText(narrow.get(), L"Text", 1040), L"32-bit view");
    // The own view is the one of this build's bitness.
    const cw::unique_hkey own = cw::OpenKeyForReading(HKEY_LOCAL_MACHINE, sub_.c_str());
    EXPECT_EQ(cw::ReadRegistryText(own.get(), L"Text", 1040), sizeof(void*) == 8 ? L"64-bit view" : L"32-bit view");
    // A value longer than the bytes offered is not read at all.
    EXPECT_EQ(cw::ReadRegistryText(wide.get(), L"Text", 8), L"");
    EXPECT_EQ(cw::ReadRegistryText(wide.get(), L"Missing", 1040), L"");
    EXPECT_FALSE(cw::OpenKeyForReading(HKEY_LOCAL_MACHINE, L"Software\\CellwiseTests\\NoSuchKey"));
}
