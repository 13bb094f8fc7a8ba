#include <gtest/gtest.h>

#include "cellwise/check/lang_guard.h"

TEST(LanguageGuard, ValueIsReadLikeWcstoulBaseZeroAndCutTo16Bits) {
    EXPECT_EQ(cw::RequestedLanguage(L"1041"), 0x0411);
    EXPECT_EQ(cw::RequestedLanguage(L"0x0411"), 0x0411);
    EXPECT_EQ(cw::RequestedLanguage(L"0X411"), 0x0411);
    EXPECT_EQ(cw::RequestedLanguage(L"02021"), 02021);  // octal
    EXPECT_EQ(cw::RequestedLanguage(L"0x10411"), 0x0411);
    EXPECT_EQ(cw::RequestedLanguage(L"  1033xyz"), 1033);
    EXPECT_EQ(cw::RequestedLanguage(L"abc"), 0);
    EXPECT_EQ(cw::RequestedLanguage(L""), 0);
}
