// The diagnostic event log of one run: UTF-16LE records appended to the file named
// by the `log` option. Logging never fails a run; events written while the log is
// closed are dropped.
#pragma once
#include <windows.h>

#include <string>

#include "cellwise/events.h"
#include "common/time_stamp.h"
#include "common/unique_handle.h"

namespace cw {

// The word a kind is written as; empty for values outside the table.
const wchar_t* EventKindWord(int kind);

// One whole record, time stamp first, ready to be written as UTF-16LE.
std::wstring FormatEventRecord(const TimeStamp& time, int kind, int id, const std::wstring& text);

// The process-wide log; Write (from EventSink) formats and appends one record.
class EventLog final : public EventSink {
public:
    static EventLog& Instance();

    bool Open(const wchar_t* path);

private:
    EventLog() = default;
    void Record(EventKind kind, int id, const std::wstring& text) override;
    unique_file file_;
};

}  // namespace cw
