#include "cellwise/report/event_log.h"

#include "common/busy_retry.h"
#include "common/utf16_file.h"

namespace cw {

EventLog& EventLog::Instance() {
    static EventLog log;
    return log;
}

bool EventLog::Open(const wchar_t* path) {
    file_.reset();  // the file is held without write sharing: let go before reopening
    // Others may read or delete the log while it is open, never write to it.
    file_ = OpenUtf16ForAppend(path, FILE_SHARE_READ | FILE_SHARE_DELETE, kBusyFileWaitMs);
    return static_cast<bool>(file_);
}

void EventLog::Record(EventKind kind, int id, const std::wstring& text) {
    if (!file_) return;

    // A lost record is not reported: logging never changes how a run ends.
    WriteUtf16(file_.get(), FormatEventRecord(LocalTimeStamp(), static_cast<int>(kind), id, text));
}

}  // namespace cw
