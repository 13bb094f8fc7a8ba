#include "fetchrun/transfer/fetchrun_log.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>

#include "common/companion.h"
#include "common/utf16_file.h"
#include "fetchrun/transfer/log_format.h"

namespace fetchrun {
namespace {

constexpr wchar_t kLineEnd[] = L"\r\n";
constexpr int kCreateAttempts = 250;
constexpr DWORD kAccessDeniedPauseMs = 500;
constexpr int kWaitAttempts = 500;
constexpr DWORD kWaitMs = 300;
constexpr std::size_t kFormatBufferChars = kLogTextMax + 1;

cw::unique_file& LogFile() {
    static cw::unique_file file;
    return file;
}

const std::wstring& OwnLockName() {
    static const std::wstring name = [] {
        const std::wstring own = cw::OwnPath();
        return own.empty() ? std::wstring() : LogLockName(own);
    }();
    return name;
}

// Write failures are ignored: logging never changes how a run ends.
void WriteText(const wchar_t* text, std::size_t length) { cw::WriteUtf16(LogFile().get(), text, length); }

void WriteText(const std::wstring& text) { WriteText(text.data(), text.size()); }

}  // namespace

CLogOutCollision::~CLogOutCollision() { Unlock(); }

bool CLogOutCollision::Lock() {
    const std::wstring& name = OwnLockName();
    return !name.empty() && Lock(name.c_str());
}

bool CLogOutCollision::Lock(const wchar_t* name) {
    Unlock();
    if (!name || !*name) return false;

    // A null DACL: processes of other users running the same executable share it.
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) {
        return false;
    }
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = &descriptor;
    attributes.bInheritHandle = FALSE;

    cw::unique_kernel semaphore;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        semaphore.reset(CreateSemaphoreW(&attributes, 1, 1, name));
        if (semaphore || GetLastError() != ERROR_ACCESS_DENIED) break;
        Sleep(kAccessDeniedPauseMs);
    }
    if (!semaphore) return false;

    for (int attempt = 0; attempt < kWaitAttempts; ++attempt) {
        const DWORD wait = WaitForSingleObject(semaphore.get(), kWaitMs);
        if (wait == WAIT_OBJECT_0) {
            semaphore_ = std::move(semaphore);
            return true;
        }
        if (wait != WAIT_TIMEOUT) break;
        Sleep(1);
    }
    return false;
}

void CLogOutCollision::Unlock() {
    if (semaphore_) {
        ReleaseSemaphore(semaphore_.get(), 1, nullptr);
        semaphore_.reset();
    }
}

bool OpenLog(const wchar_t* path) {
    cw::unique_file& log = LogFile();
    if (log || !path || !*path) return static_cast<bool>(log);
    // Unshared: the lines of other runs wait for the lock, not for the file.
    log = cw::OpenUtf16ForAppend(path, 0, cw::Utf16Mark::IfEmpty);
    return static_cast<bool>(log);
}

bool IsLogOpen() { return static_cast<bool>(LogFile()); }

void CloseLog() { LogFile().reset(); }

void LogHeader() {
    if (!IsLogOpen()) return;
    CLogOutCollision lock;
    lock.Lock();
    WriteText(FormatLogBanner(kLogProgramName, cw::LocalTimeStamp()) + kLineEnd);
}

void LogLine(const wchar_t* text) {
    if (!IsLogOpen()) return;
    CLogOutCollision lock;
    lock.Lock();
    WriteText(FormatLogPrefix(cw::LocalTimeStamp()));
    if (text) WriteText(text, wcslen(text));
    WriteText(kLineEnd, 2);
}

void LogFormat(const wchar_t* format, ...) {
    if (!IsLogOpen() || !format) return;
    wchar_t buffer[kFormatBufferChars] = {};
    va_list args;
    va_start(args, format);
    _vsnwprintf(buffer, kFormatBufferChars, format, args);
    va_end(args);
    buffer[kFormatBufferChars - 1] = L'\0';  // a cut result carries no terminator
    LogLine(buffer);
}

}  // namespace fetchrun
