#include "event_log.h"

#include <cstdio>
#include <cwchar>

namespace cw {
namespace {

constexpr wchar_t kRecordFormat[] = L"---\r\n%04u/%02u/%02u %02u:%02u:%02u.%03u, %s, id=%d\r\n%s\r\n";
constexpr wchar_t kByteOrderMark = 0xFEFF;

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

std::wstring FormatEventRecord(const SYSTEMTIME& time, int kind, int id, const std::wstring& text) {
    return FormatText(kRecordFormat, time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
                      time.wSecond, time.wMilliseconds, EventKindWord(kind), id, text.c_str());
}

EventLog& EventLog::Instance() {
    static EventLog log;
    return log;
}

bool EventLog::Open(const wchar_t* path) {
    file_.reset();  // the file is held without write sharing: let go before reopening
    unique_file file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    // Every open puts the byte order mark at offset 0, also over an older file's
    // first two bytes; the records then go after whatever the file holds.
    if (SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !WriteFile(file.get(), &kByteOrderMark, sizeof(kByteOrderMark), &written, nullptr) ||
        written != sizeof(kByteOrderMark)) {
        return false;
    }
    LARGE_INTEGER zero = {};
    if (!SetFilePointerEx(file.get(), zero, nullptr, FILE_END)) return false;
    file_ = std::move(file);
    return true;
}

void EventLog::Write(EventKind kind, int id, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const std::wstring text = FormatTextV(format, args);
    va_end(args);
    if (!file_) return;

    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::wstring record = FormatEventRecord(now, static_cast<int>(kind), id, text);
    DWORD written = 0;
    // A lost record is not reported: logging never changes how a run ends.
    WriteFile(file_.get(), record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)), &written, nullptr);
}

}  // namespace cw
