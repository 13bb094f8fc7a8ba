// The diagnostic event log of one run: UTF-16LE records appended to the file named
// by the `log` option. Logging never fails a run; events written while the log is
// closed are dropped.
#pragma once
#include <windows.h>

#include <cstdarg>
#include <string>

#include "common/time_stamp.h"
#include "common/unique_handle.h"
#include "common/wide_format.h"

namespace cw {

// SUCCESS, ERROR, WARNING, INFORMATION (the upper-case names are Windows macros).
enum class EventKind : int { Success = 0, Error = 1, Warning = 2, Information = 3 };

// The word a kind is written as; empty for values outside the table.
const wchar_t* EventKindWord(int kind);

// One whole record, time stamp first, ready to be written as UTF-16LE.
std::wstring FormatEventRecord(const TimeStamp& time, int kind, int id, const std::wstring& text);

class EventLog {
public:
    static EventLog& Instance();

    bool Open(const wchar_t* path);
    void Write(EventKind kind, int id, const wchar_t* format, ...);

private:
    EventLog() = default;
    unique_file file_;
};

}  // namespace cw
