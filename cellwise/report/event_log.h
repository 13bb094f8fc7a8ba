// The diagnostic event log of one run: UTF-16LE records appended to the file named
// by the `log` option. Logging never fails a run; events written while the log is
// closed are dropped.
#pragma once
#include <windows.h>

#include <string>

#include "cellwise/events.h"
#include "cellwise/report/report_text.h"
#include "common/unique_handle.h"

namespace cw {

// The process-wide log; Write (from EventSink) formats and appends one record.
class EventLog final : public EventSink {
public:
    static EventLog& Instance();

    // Opens or creates the file for appending, held against other writers until
    // the process ends. A log that another run holds is waited for (up to
    // kBusyFileWaitMs); false when it cannot be had, and the run goes on without.
    bool Open(const wchar_t* path);

private:
    EventLog() = default;
    void Record(EventKind kind, int id, const std::wstring& text) override;
    unique_file file_;
};

}  // namespace cw
