// Fetchrun's texts: line breaks written as \r\n in the library, the error message
// made of strings 115 and 116, and the URL hash mode publishes.
#include <gtest/gtest.h>

#include "fetchrun/app/texts.h"

namespace fetchrun {
namespace {

TEST(FetchrunTexts, EscapedLineBreakBecomesOneLineFeed) {
    EXPECT_EQ(ExpandLineBreaks(L"Downloading.\\r\\nPlease wait..."), L"Downloading.\nPlease wait...");
    EXPECT_EQ(ExpandLineBreaks(L"\\r\\n\\r\\n%s"), L"\n\n%s");
    EXPECT_EQ(ExpandLineBreaks(L"\\r\\r\\n\\n"), L"\\r\n\\n");
}

TEST(FetchrunTexts, OtherSequencesStayAsTheyAre) {
    EXPECT_EQ(ExpandLineBreaks(L"a\\n\\rb"), L"a\\n\\rb");
    EXPECT_EQ(ExpandLineBreaks(L"a\\r\\"), L"a\\r\\");
    EXPECT_EQ(ExpandLineBreaks(L"a\r\nb"), L"a\r\nb");
    EXPECT_EQ(ExpandLineBreaks(L""), L"");
}

TEST(FetchrunTexts, DetailFormatTakesTheValueOnce) {
    EXPECT_EQ(FormatOneString(L"\\r\\n\\r\\n%s", L"Keep the AC adapter connected."),
              L"\\r\\n\\r\\nKeep the AC adapter connected.");
    EXPECT_EQ(FormatOneString(L"[%s] and [%s]", L"v"), L"[v] and [%s]");
    EXPECT_EQ(FormatOneString(L"no insert", L"v"), L"no insert");
}

TEST(FetchrunTexts, DetailFormatNeverReadsMissingArguments) {
    // A library string is data: conversions other than the one %s are not
    // interpreted, and the inserted value is not formatted again.
    EXPECT_EQ(FormatOneString(L"%d%n%x %s %p", L"v"), L"%d%n%x v %p");
    EXPECT_EQ(FormatOneString(L"100%% %s", L"%s%n"), L"100% %s%n");
    EXPECT_EQ(FormatOneString(L"%%s %s", L"v"), L"%s v");
    EXPECT_EQ(FormatOneString(L"end %", L"v"), L"end %");
}

TEST(FetchrunTexts, ErrorMessageIsString115AloneWithoutDetail) {
    EXPECT_EQ(ComposeErrorMessage(L"Failed.", L"\\r\\n%s", L""), L"Failed.");
    EXPECT_EQ(ComposeErrorMessage(L"Failed.", L"\\r\\n%s", L"Detail"), L"Failed.\\r\\nDetail");
    EXPECT_EQ(ComposeErrorMessage(L"", L"%s", L"Detail"), L"Detail");
    EXPECT_EQ(ExpandLineBreaks(ComposeErrorMessage(L"Failed.", L"\\r\\n%s", L"a\\r\\nb")), L"Failed.\na\nb");
}

TEST(FetchrunTexts, HashModeUrlAndFileName) {
    EXPECT_EQ(ProgramUrl(L"NRV0A17 fix.exe"),
              L"http://dl.norvane.example/download/battery_exchange/fwexe/NRV0A17 fix.exe");
    EXPECT_EQ(FileNameOfPath(L"C:\\a b\\c\\prog.exe"), L"prog.exe");
    EXPECT_EQ(FileNameOfPath(L"prog.exe"), L"prog.exe");
    EXPECT_EQ(FileNameOfPath(L"C:\\dir\\"), L"");
}

}  // namespace
}  // namespace fetchrun
