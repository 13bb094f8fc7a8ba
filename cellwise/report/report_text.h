// The text of the event log's records and of the CSV report's line. Pure text: no
// Windows headers and no printf, so it is tested natively as well.
#pragma once
#include <string>

#include "cellwise/identify/battery_record.h"
#include "cellwise/report/product_identity.h"
#include "common/time_stamp.h"

namespace cw {

// The word a kind is written as; empty for values outside the table.
const wchar_t* EventKindWord(int kind);

// One whole record, time stamp first, ready to be written as UTF-16LE:
// "---\r\n<date time>, <kind word>, id=<id>\r\n<text>\r\n".
std::wstring FormatEventRecord(const TimeStamp& time, int kind, int id, const std::wstring& text);

// The whole CSV line, CR LF included: time, result, product name and identifying
// number, then name and serial of every valid battery; joined by ", ", nothing quoted.
std::wstring FormatCsvLine(const TimeStamp& time, int result, const ProductIdentity& product,
                           const BatteryList& batteries);

}  // namespace cw
