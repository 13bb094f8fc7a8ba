// Holds a downloaded program open from its last check until its start, so that
// what starts is what the check passed.
#pragma once
#include <windows.h>

#include <string>

#include "common/unique_handle.h"

namespace fetchrun {

// The held file is open for reading and shared for reading only: while it is held
// no other handle may write, truncate, replace, rename or delete it, and Hold
// fails while any other handle could. Others may still open it to read or run it
// (the shell, the loader and the signature check do).
class VerifiedFileLock {
public:
    VerifiedFileLock() = default;
    VerifiedFileLock(const VerifiedFileLock&) = delete;
    VerifiedFileLock& operator=(const VerifiedFileLock&) = delete;
    ~VerifiedFileLock() = default;

    // Opens `path` and keeps it open; false (with the last error) when the file is
    // missing or another handle has write or delete access to it.
    bool Hold(const wchar_t* path);
    bool IsHeld() const { return static_cast<bool>(file_); }

    // The download's checks on the held bytes: SHA-256 equal to `expectedHash`
    // (any letter case; empty: no hash check), then a trusted Authenticode
    // signature. Empty when both pass, else the download's result text for the
    // failed check.
    std::wstring Verify(const std::wstring& expectedHash) const;

    void Release() { file_.reset(); }

private:
    std::wstring path_;
    cw::unique_file file_;
};

}  // namespace fetchrun
