// Which value line templates the result dialogs hand to FormatMessage with their
// two values; the others show the two values joined by a blank.
#include <gtest/gtest.h>

#include <string>

#include "cellwise/ui/value_template.h"

namespace {

TEST(ValueTemplate, OnlyTemplatesThatTakeTheTwoValuesAsStrings) {
    const struct {
        const wchar_t* pattern;
        bool used;
    } rows[] = {
        {L"%1 (serial number %2)", true},
        {L"%2 / %1", true},
        {L"%1", true},
        {L"no inserts", true},
        {L"", true},
        {L"%1!s! %2!-20s!", true},
        {L"%1!ls! %2!ws!", true},
        {L"%1!-08.999s!", true},
        {L"100%% %1%n%r%t%b%.%!%0", true},
        {L"%%1!*s!", true},  // an escaped percent sign: text
        {L"trailing %", true},
        // More than the two values.
        {L"%3", false},
        {L"%1 %2 %99", false},
        {L"%10", false},
        {L"%100", false},
        {L"%1%0%3", false},  // also after the end mark
        // A '*' takes its width or precision from a further argument.
        {L"%1!*s!", false},
        {L"%99!*s!", false},
        {L"%1!*.*s!", false},
        {L"%2!.*s!", false},
        {L"%1!-*s!", false},
        {L"%2!10.*s!", false},
        // Conversions that read a value as something else, or write through it.
        {L"%1!d!", false},
        {L"%1!x!", false},
        {L"%1!p!", false},
        {L"%1!n!", false},
        {L"%1!S!", false},
        {L"%1!hs!", false},
        {L"%1!s s!", false},
        {L"%1!!", false},
        {L"%1!", false},
        {L"%1!s", false},
        // Fields of thousands of columns.
        {L"%1!1000s!", false},
        {L"%1!.1000s!", false},
    };
    int row = 0;
    for (const auto& r : rows) {
        EXPECT_EQ(r.used, cw::IsTwoValueTemplate(r.pattern)) << "row " << row;
        ++row;
    }
}

}  // namespace
