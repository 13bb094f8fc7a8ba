#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cellwise/check/command_line.h"

namespace {

using Args = std::vector<std::wstring>;

bool Parse(cw::CommandLineParser& parser, Args rest) {
    rest.insert(rest.begin(), L"C:\\tools\\Cellwise.exe");
    return parser.Parse(rest);
}

}  // namespace

TEST(CommandLine, NoArgumentsLeavesEveryOptionAbsent) {
    auto parser = cw::MakeCellwiseParser();
    ASSERT_TRUE(Parse(parser, {}));
    EXPECT_EQ(parser.ProgramPath(), L"C:\\tools\\Cellwise.exe");
    for (const wchar_t* name : {cw::option::kSilent, cw::option::kNoVerifySignature, cw::option::kLog,
                                cw::option::kLogCsv, cw::option::kViewTarget, cw::option::kLangId,
                                cw::option::kFetchrunDebug}) {
        EXPECT_FALSE(parser.Present(name)) << name;
    }
}

TEST(CommandLine, BothPrefixesAndEveryOptionAreAccepted) {
    auto parser = cw::MakeCellwiseParser();
    ASSERT_TRUE(Parse(parser, {L"/silent", L"-noverifysignature", L"-log", L"a.log", L"/logcsv", L"b.csv",
                               L"-ViewTarget", L"/langid", L"0x0411", L"-fetchrundebugmode"}));
    EXPECT_TRUE(parser.Present(cw::option::kSilent));
    EXPECT_TRUE(parser.Present(cw::option::kNoVerifySignature));
    EXPECT_TRUE(parser.Present(cw::option::kViewTarget));
    EXPECT_TRUE(parser.Present(cw::option::kFetchrunDebug));
    EXPECT_EQ(parser.Value(cw::option::kLog), L"a.log");
    EXPECT_EQ(parser.Value(cw::option::kLogCsv), L"b.csv");
    EXPECT_EQ(parser.Value(cw::option::kLangId), L"0x0411");
}

TEST(CommandLine, RejectsWhatIsNotExactlyOneKnownOptionOnce) {
    const Args rejected[] = {
        {L"silent"},                  // bare argument
        {L"-Silent"},                 // case matters
        {L"-SILENT"},
        {L"--silent"},                // one prefix only
        {L"-silent:1"},               // whole text compared
        {L"-silent", L"/silent"},     // repeated
        {L"-log"},                    // value missing
        {L"-unknown"},
        {L"-"},
        {L""},
        {L"-silent", L"extra"},
    };
    for (const Args& args : rejected) {
        auto parser = cw::MakeCellwiseParser();
        EXPECT_FALSE(Parse(parser, args)) << (args.empty() ? L"" : args[0]).c_str();
    }
}

TEST(CommandLine, ValueIsTakenVerbatimEvenWhenItLooksLikeAnOption) {
    auto parser = cw::MakeCellwiseParser();
    ASSERT_TRUE(Parse(parser, {L"-log", L"-silent"}));
    EXPECT_EQ(parser.Value(cw::option::kLog), L"-silent");
    EXPECT_FALSE(parser.Present(cw::option::kSilent));

    auto empty = cw::MakeCellwiseParser();
    ASSERT_TRUE(Parse(empty, {L"-langid", L""}));
    EXPECT_TRUE(empty.Present(cw::option::kLangId));
    EXPECT_EQ(empty.Value(cw::option::kLangId), L"");
}

TEST(CommandLine, PrefixSetIsHonoured) {
    cw::CommandLineParser slashOnly(cw::CommandLineParser::Slash, {{cw::OptionKind::Switch, L"s", L"", false}});
    EXPECT_FALSE(slashOnly.Parse({L"p", L"-s"}));
    cw::CommandLineParser again(cw::CommandLineParser::Slash, {{cw::OptionKind::Switch, L"s", L"", false}});
    EXPECT_TRUE(again.Parse({L"p", L"/s"}));
}
