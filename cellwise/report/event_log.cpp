#include "cellwise/report/event_log.h"

#include "common/utf16_file.h"

namespace cw {
namespace {

// The first %s is the time stamp, "YYYY/MM/DD hh:mm:ss.mmm".
constexpr wchar_t kRecordFormat[] = L"---\r\n%s, %s, id=%d\r\n%s\r\n";

}  // namespace

const wchar_t* EventKindWord(int kind) {
    switch (kind) {
        case static_cast<int>(EventKind::Success): return L"SUCCESS";
        case static_cast<int>(EventKind::Error): return L"ERROR";
        case static_cast<int>(EventKind::Warning): return L"WARNING";
        case static_cast<int>(EventKind::Information): return L"INFORMATION";
        default: return L"";
    }
}

std::wstring FormatEventRecord(const TimeStamp& time, int kind, int id, const std::wstring& text) {
    return FormatText(kRecordFormat, FormatDateTimeMs(time).c_str(), EventKindWord(kind), id, text.c_str());
}

EventLog& EventLog::Instance() {
    static EventLog log;
    return log;
}

bool EventLog::Open(const wchar_t* path) {
    file_.reset();  // the file is held without write sharing: let go before reopening
    // Others may read or delete the log while it is open, never write to it.
    file_ = OpenUtf16ForAppend(path, FILE_SHARE_READ | FILE_SHARE_DELETE, Utf16Mark::Rewrite);
    return static_cast<bool>(file_);
}

void EventLog::Record(EventKind kind, int id, const std::wstring& text) {
    if (!file_) return;

    // A lost record is not reported: logging never changes how a run ends.
    WriteUtf16(file_.get(), FormatEventRecord(LocalTimeStamp(), static_cast<int>(kind), id, text));
}

}  // namespace cw
