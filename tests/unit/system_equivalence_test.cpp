// The programs split their command line, find their companion files and read
// strings without shell32, shlwapi and user32 (a silent run loads no user
// interface). Here the system's own functions get the same inputs and must agree.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "common/argv_split.h"
#include "common/companion.h"
#include "common/path_text.h"
#include "common/resource_library.h"
#include "common/unique_handle.h"

namespace {

std::vector<std::wstring> SystemSplit(const wchar_t* line) {
    int count = 0;
    const cw::unique_local argv(CommandLineToArgvW(line, &count));
    if (!argv) return {};
    auto** items = static_cast<wchar_t**>(argv.get());
    return std::vector<std::wstring>(items, items + count);
}

}  // namespace

TEST(SystemEquivalence, CommandLineSplitAsCommandLineToArgvW) {
    const wchar_t* lines[] = {
        L"Cellwise.exe",
        L"\"C:\\Program Files\\x\\Cellwise.exe\" -silent",
        L"\"C:\\a\\\"x y",
        L"\"unterminated path",
        L"C:\\a\\\"b c",
        L"p \t -log\t\t\"C:\\x y\\l.txt\"  ",
        L"p a\\b\\\\c",
        L"p a\\\\\\\"b",
        L"p a\\\\\"b c\"",
        L"p \"a\\\\\" b",
        L"p \"\" \"\"",
        L"p \"a\"\"b\"",
        L"p \"\"\"x\"\"\"",
        L"p \"\"\"\"",
        L"p a\"b\"\"c\"d",
        L"p \"unterminated arg",
        L"p -log -silent",
    };
    for (const wchar_t* line : lines) {
        EXPECT_EQ(cw::SplitCommandLine(line), SystemSplit(line)) << testing::PrintToString(std::wstring(line));
    }
}

TEST(SystemEquivalence, FolderAndCompanionAsShlwapi) {
    const wchar_t* paths[] = {
        L"C:\\dir\\Cellwise.exe", L"C:\\Cellwise.exe", L"\\\\server\\share\\Cellwise.exe",
        L"\\\\?\\C:\\dir\\Cellwise.exe", L"Z:\\a b\\c.d\\Fetchrun.exe",
    };
    for (const wchar_t* path : paths) {
        wchar_t system[MAX_PATH];
        lstrcpynW(system, path, MAX_PATH);
        std::wstring own = path;
        EXPECT_EQ(cw::RemoveFileSpec(own), PathRemoveFileSpecW(system) != FALSE) << testing::PrintToString(own);
        EXPECT_EQ(own, system);
        ASSERT_TRUE(PathAppendW(system, L"battery.dll"));
        EXPECT_EQ(cw::AppendPath(own, L"battery.dll"), system);
    }
}

// The signed sample library lies beside the tests, with English and Japanese tables.
TEST(SystemEquivalence, LibraryStringsAsLoadStringW) {
    const std::wstring path = cw::OwnFolder() + L"\\battery.dll";
    const cw::unique_module library(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(library);
    int present = 0;
    for (unsigned id = 100; id < 140; ++id) {
        const wchar_t* text = nullptr;
        const int length = LoadStringW(library.get(), id, reinterpret_cast<LPWSTR>(&text), 0);
        const std::wstring system = length > 0 && text ? std::wstring(text, static_cast<std::size_t>(length)) : L"";
        EXPECT_EQ(cw::LoadLibraryString(library.get(), id), system) << id;
        present += system.empty() ? 0 : 1;
    }
    EXPECT_GT(present, 10);
}
