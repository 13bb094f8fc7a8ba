// Fetchrun's command line: forms, letter case, order of the table, cut paths.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fetchrun/app/options.h"

namespace fetchrun {
namespace {

FetchrunOptions Parse(std::vector<std::wstring> rest) {
    rest.insert(rest.begin(), L"C:\\folder\\Fetchrun.exe");
    return ParseFetchrunOptions(rest);
}

TEST(FetchrunOptions, SilentIsAWholeArgumentInEitherFormAndCase) {
    for (const wchar_t* form : {L"/s", L"/S", L"-s", L"-S"}) {
        EXPECT_TRUE(Parse({form}).silent) << form;
    }
    for (const wchar_t* other : {L"/silent", L"/s:", L"s", L"//s", L"/s "}) {
        EXPECT_FALSE(Parse({other}).silent) << other;
    }
}

TEST(FetchrunOptions, ProgramNameIsNotAnOption) {
    const FetchrunOptions options = ParseFetchrunOptions({L"/s", L"/Target:x"});
    EXPECT_FALSE(options.silent);
    EXPECT_EQ(options.target, L"x");
}

TEST(FetchrunOptions, PrefixesMatchInAnyLetterCaseAndKeepTheRestVerbatim) {
    const FetchrunOptions options =
        Parse({L"-uRL:http://Host/a b?c=D:E", L"/TARGET:0x4E560A17-0x00000003", L"-out:C:\\Out Dir\\x.ini"});
    EXPECT_EQ(options.settingUrl, L"http://Host/a b?c=D:E");
    EXPECT_EQ(options.target, L"0x4E560A17-0x00000003");
    EXPECT_EQ(options.outIni, L"C:\\Out Dir\\x.ini");
    EXPECT_FALSE(options.hashMode);
}

TEST(FetchrunOptions, WordsWithoutColonAndUnknownArgumentsAreIgnored) {
    const FetchrunOptions options = Parse({L"/Url", L"/Target", L"/Hash", L"/LOG", L"Url:x", L"/Urlx:y", L"--Url:z"});
    EXPECT_TRUE(options.settingUrl.empty());
    EXPECT_TRUE(options.target.empty());
    EXPECT_FALSE(options.hashMode);
    EXPECT_TRUE(options.logPaths.empty());
}

TEST(FetchrunOptions, RepeatedOptionOverwritesButEveryLogIsKept) {
    const FetchrunOptions options =
        Parse({L"/Url:first", L"/Url:second", L"/Target:a", L"-Target:", L"/LOG:one.log", L"-log:two.log", L"/LOG:"});
    EXPECT_EQ(options.settingUrl, L"second");
    EXPECT_TRUE(options.target.empty());
    EXPECT_EQ(options.logPaths, (std::vector<std::wstring>{L"one.log", L"two.log", L""}));
}

TEST(FetchrunOptions, FirstFormOfTheTableWins) {
    // "/Target:" is tried before "/Out:", so the value is everything after it.
    const FetchrunOptions options = Parse({L"/Target:/Out:x", L"/Url:/s"});
    EXPECT_EQ(options.target, L"/Out:x");
    EXPECT_TRUE(options.outIni.empty());
    EXPECT_EQ(options.settingUrl, L"/s");
    EXPECT_FALSE(options.silent);
}

TEST(FetchrunOptions, HashSelectsHashModeEvenWhenEmpty) {
    FetchrunOptions options = Parse({L"/Target:t", L"-HASH:"});
    EXPECT_TRUE(options.hashMode);
    EXPECT_TRUE(options.hashFile.empty());
    options = Parse({L"/Hash:prog.exe", L"/Hash:other.exe"});
    EXPECT_TRUE(options.hashMode);
    EXPECT_EQ(options.hashFile, L"other.exe");
}

TEST(FetchrunOptions, HashAndOutPathsAreCutToTheirBuffers) {
    const std::wstring exact(kPathChars - 1, L'a');
    const std::wstring longer(kPathChars + 40, L'b');
    FetchrunOptions options = Parse({L"/Hash:" + exact, L"/Out:" + longer});
    EXPECT_EQ(options.hashFile, exact);
    EXPECT_EQ(options.outIni, std::wstring(kPathChars - 1, L'b'));
    // Other values are not cut.
    options = Parse({L"/Url:" + longer, L"/Target:" + longer});
    EXPECT_EQ(options.settingUrl, longer);
    EXPECT_EQ(options.target, longer);
}

}  // namespace
}  // namespace fetchrun
