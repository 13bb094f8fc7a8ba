// Fetchrun's optional diagnostic log: UTF-16LE with a byte order mark, one banner
// per "/LOG:" option and one time-stamped line per event. Every line is written
// under a cross-process lock named after the executable. While no log is open
// every call returns at once. Only the main thread writes.
#pragma once
#include <windows.h>

#include "common/unique_handle.h"

namespace fetchrun {

// One held log lock: a named semaphore of count 1. The handle is kept only while
// the semaphore is held, so the destructor releases what it holds.
class CLogOutCollision {
public:
    CLogOutCollision() = default;
    CLogOutCollision(const CLogOutCollision&) = delete;
    CLogOutCollision& operator=(const CLogOutCollision&) = delete;
    virtual ~CLogOutCollision();

    // Takes the lock of this executable (LogLockName of the own path).
    bool Lock();
    // Takes the semaphore `name`: up to 250 creations (500 ms apart while access
    // is denied), then up to 500 waits of 300 ms. False when it was not obtained;
    // the caller writes anyway.
    bool Lock(const wchar_t* name);
    // Releases and closes a held semaphore; nothing when none is held.
    void Unlock();
    bool IsHeld() const { return static_cast<bool>(semaphore_); }

private:
    cw::unique_kernel semaphore_;
};

// Opens (or creates) the log at `path` and appends to it; a new or empty file
// first gets the byte order mark. Does nothing when `path` is empty or a log is
// already open. Failures leave the log closed, silently. True when a log is open
// afterwards. The banner is not written here: the caller writes it with LogHeader
// once per "/LOG:" option, whether this call opened the file or not.
bool OpenLog(const wchar_t* path);
bool IsLogOpen();
void CloseLog();

// "********** Fetchrun - YYYY/MM/DD - hh:mm:ss **********" and CR LF.
void LogHeader();
// "YYYY/MM/DD hh:mm:ss - " + text + CR LF.
void LogLine(const wchar_t* text);
// printf-style (wide %s, narrow %S) into 2000 characters, longer output cut to
// 1999, then LogLine.
void LogFormat(const wchar_t* format, ...);

}  // namespace fetchrun
