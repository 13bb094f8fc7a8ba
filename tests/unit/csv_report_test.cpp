#include <gtest/gtest.h>
#include <windows.h>

#include "cellwise/report/csv_report.h"

namespace {

cw::TimeStamp Noon() { return cw::TimeStamp{2024, 5, 1, 12, 0, 9, 7}; }

}  // namespace

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
