// The command-line split by CommandLineToArgvW's rules (common/argv_split.h). The
// same lines are split by the system itself in system_equivalence_test.cpp.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/argv_split.h"

using Args = std::vector<std::wstring>;

TEST(SplitCommandLine, Rows) {
    struct Row {
        const wchar_t* line;
        Args expected;
    };
    const Row rows[] = {
        {L"Cellwise.exe", {L"Cellwise.exe"}},
        {L"", {L""}},
        {L"\"C:\\Program Files\\x\\Cellwise.exe\" -silent", {L"C:\\Program Files\\x\\Cellwise.exe", L"-silent"}},
        // The program path ends at its closing quote or the first blank; no escapes.
        {L"\"C:\\a\\\"x y", {L"C:\\a\\", L"x", L"y"}},
        {L"\"unterminated path", {L"unterminated path"}},
        {L"C:\\a\\\"b c", {L"C:\\a\\\"b", L"c"}},
        // Blanks (spaces, tabs) separate; runs of them and trailing ones count once.
        {L"p \t -log\t\t\"C:\\x y\\l.txt\"  ", {L"p", L"-log", L"C:\\x y\\l.txt"}},
        {L"p\t-silent", {L"p", L"-silent"}},
        // Backslashes are plain unless they precede a quote.
        {L"p a\\b\\\\c", {L"p", L"a\\b\\\\c"}},
        {L"p a\\\\\\\"b", {L"p", L"a\\\"b"}},
        {L"p a\\\\\"b c\"", {L"p", L"a\\b c"}},
        {L"p \"a\\\\\" b", {L"p", L"a\\", L"b"}},
        // Empty quoted arguments, doubled and tripled quotes.
        {L"p \"\" \"\"", {L"p", L"", L""}},
        {L"p \"a\"\"b\"", {L"p", L"a\"b"}},
        {L"p \"\"\"x\"\"\"", {L"p", L"\"x\""}},
        {L"p \"unterminated arg", {L"p", L"unterminated arg"}},
        {L"p -log -silent", {L"p", L"-log", L"-silent"}},
    };
    for (const Row& row : rows) EXPECT_EQ(cw::SplitCommandLine(row.line), row.expected) << testing::PrintToString(std::wstring(row.line));
}
