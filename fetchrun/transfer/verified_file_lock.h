// The hold on a downloaded program from before its signature check until its
// start, so that what starts is exactly what the checks passed.
#pragma once
#include <windows.h>

#include <string>

#include "common/unique_handle.h"

namespace fetchrun {

// The held file is open for reading and shared for reading only: while it is held
// no handle can be opened on it to write, truncate, replace, rename or delete it,
// and Hold fails while a handle with such access is open. Share modes govern open
// handles only: a writable view mapped before the hold, through a handle closed
// since, is not seen and still writes to the file. For the program nothing of the
// kind can exist: no process of the user could ever open it to write or map it
// writable (program_file.h). Others may still open it to read or run it (the shell
// and the loader do). Moves with its owner: the download worker takes it, the
// dialog keeps it until the shell has started the program.
class VerifiedFileLock {
public:
    VerifiedFileLock() = default;
    VerifiedFileLock(VerifiedFileLock&&) = default;
    VerifiedFileLock& operator=(VerifiedFileLock&&) = default;

    // Opens `path` and keeps it open; false (with the last error) when the file is
    // missing or another handle has write or delete access to it.
    bool Hold(const std::wstring& path);
    bool IsHeld() const { return static_cast<bool>(file_); }
    // The held file's path and handle; the handle reads the held bytes.
    const std::wstring& Path() const { return path_; }
    HANDLE Handle() const { return file_.get(); }

    void Release() { file_.reset(); }

private:
    std::wstring path_;
    cw::unique_file file_;
};

}  // namespace fetchrun
