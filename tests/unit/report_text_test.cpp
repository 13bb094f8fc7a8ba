// The text of the event log's records and of the CSV report's line.
#include <gtest/gtest.h>

#include "cellwise/report/report_text.h"

namespace {

cw::TimeStamp Noon() { return cw::TimeStamp{2024, 5, 1, 12, 0, 9, 7}; }

}  // namespace

TEST(EventRecord, HasTheExactLayout) {
    const cw::TimeStamp t{2024, 5, 1, 9, 3, 7, 42};
    EXPECT_EQ(cw::FormatEventRecord(t, 3, 1, L"result=0"),
              L"---\r\n2024/05/01 09:03:07.042, INFORMATION, id=1\r\nresult=0\r\n");
    EXPECT_EQ(cw::FormatEventRecord(t, 1, -10, L"a\r\n"), L"---\r\n2024/05/01 09:03:07.042, ERROR, id=-10\r\na\r\n\r\n");
    EXPECT_EQ(cw::FormatEventRecord(t, 7, 2, L""), L"---\r\n2024/05/01 09:03:07.042, , id=2\r\n\r\n");
    EXPECT_EQ(cw::FormatEventRecord(t, 2, -2147483647 - 1, L"50%s"),
              L"---\r\n2024/05/01 09:03:07.042, WARNING, id=-2147483648\r\n50%s\r\n");
}

TEST(EventRecord, KindWords) {
    EXPECT_STREQ(cw::EventKindWord(0), L"SUCCESS");
    EXPECT_STREQ(cw::EventKindWord(1), L"ERROR");
    EXPECT_STREQ(cw::EventKindWord(2), L"WARNING");
    EXPECT_STREQ(cw::EventKindWord(3), L"INFORMATION");
    EXPECT_STREQ(cw::EventKindWord(4), L"");
    EXPECT_STREQ(cw::EventKindWord(-1), L"");
}

TEST(CsvLine, TimeResultProductThenEveryValidBatteryInOrder) {
    const cw::BatteryList batteries{
        {true, L"Norvane", L"NRV-BP41A", L"2307Z104512Z"},
        {false, L"Norvane", L"broken", L"x"},
        {true, L"Acme", L"A, B", L"S1"},  // a comma in a value is written as it is
    };
    EXPECT_EQ(cw::FormatCsvLine(Noon(), 1, {L"X", L"Y"}, batteries),
              L"2024/05/01 12:00:09.007, 1, X, Y, NRV-BP41A, 2307Z104512Z, A, B, S1\r\n");
}

TEST(CsvLine, NoBatteryAndNoProductStillGiveFourFields) {
    EXPECT_EQ(cw::FormatCsvLine(Noon(), 3, {}, {}), L"2024/05/01 12:00:09.007, 3, , \r\n");
}
