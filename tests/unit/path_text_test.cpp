// The own folder and companion paths by shlwapi's rules (common/path_text.h). The
// same paths go through shlwapi itself in system_equivalence_test.cpp.
#include <gtest/gtest.h>

#include <string>

#include "common/path_text.h"

TEST(RemoveFileSpec, Rows) {
    struct Row {
        const wchar_t* path;
        const wchar_t* expected;
        bool removed;
    };
    const Row rows[] = {
        {L"C:\\dir\\Cellwise.exe", L"C:\\dir", true},
        {L"C:\\Cellwise.exe", L"C:\\", true},
        {L"C:\\", L"C:\\", false},
        {L"\\\\server\\share\\Cellwise.exe", L"\\\\server\\share", true},
        {L"\\\\?\\C:\\dir\\Cellwise.exe", L"\\\\?\\C:\\dir", true},
        {L"Cellwise.exe", L"", true},
        {L"", L"", false},
    };
    for (const Row& row : rows) {
        std::wstring path = row.path;
        EXPECT_EQ(cw::RemoveFileSpec(path), row.removed) << testing::PrintToString(std::wstring(row.path));
        EXPECT_EQ(path, row.expected) << testing::PrintToString(std::wstring(row.path));
    }
}

TEST(AppendPath, Rows) {
    EXPECT_EQ(cw::AppendPath(L"C:\\dir", L"battery.dll"), L"C:\\dir\\battery.dll");
    EXPECT_EQ(cw::AppendPath(L"C:\\", L"battery.dll"), L"C:\\battery.dll");
    EXPECT_EQ(cw::AppendPath(L"\\\\server\\share", L"hwlink.dll"), L"\\\\server\\share\\hwlink.dll");
    // 259 characters fit a MAX_PATH buffer with its terminator; 260 do not.
    const std::wstring folder(247, L'd');
    EXPECT_EQ(cw::AppendPath(folder, L"battery.dll").size(), 259u);
    EXPECT_EQ(cw::AppendPath(folder + L"d", L"battery.dll"), L"");
}
