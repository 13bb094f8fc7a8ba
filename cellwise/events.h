// The events of a Cellwise run: their kinds, their ids, and the sink the layers
// below the entry write them through. The event log (report/event_log.h) is the
// sink of a run; the identification code only ever sees this interface.
#pragma once
#include <cstdarg>
#include <string>

#include "common/wide_format.h"

namespace cw {

// SUCCESS, ERROR, WARNING, INFORMATION (the upper-case names are Windows macros).
enum class EventKind : int { Success = 0, Error = 1, Warning = 2, Information = 3 };

// Event ids. A message box's event takes the string id of its message instead.
inline constexpr int kResultEvent = 1;
inline constexpr int kBatteryQueryFailedEvent = 10;
inline constexpr int kBatteryIdentityEvent = 20;

class EventSink {
public:
    EventSink() = default;
    EventSink(const EventSink&) = delete;
    EventSink& operator=(const EventSink&) = delete;
    virtual ~EventSink() = default;

    // Formats the text (wide printf: %s wide, %S narrow) and records one event.
    void Write(EventKind kind, int id, const wchar_t* format, ...) {
        va_list args;
        va_start(args, format);
        const std::wstring text = FormatTextV(format, args);
        va_end(args);
        Record(kind, id, text);
    }

protected:
    virtual void Record(EventKind kind, int id, const std::wstring& text) = 0;
};

}  // namespace cw
