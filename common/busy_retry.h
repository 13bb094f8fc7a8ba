// Waiting for a file that another process holds. Many runs of a program that
// append to one shared file (a fleet's logon scripts writing one report) meet it
// held by each other; a short random pause and another try lets every run in turn,
// where giving up at once would lose the run's lines without trace.
#pragma once
#include <windows.h>

#include <cstdint>

namespace cw {

// The longest an open waits, in all, for a file held elsewhere.
inline constexpr DWORD kBusyFileWaitMs = 30000;

// True for the errors of an open that met the file held by another process.
bool IsBusyFileError(DWORD error);

// Paces the tries of one open: call PauseAfter with the error of each failed try.
class BusyRetry {
public:
    explicit BusyRetry(DWORD budgetMs);

    // True, after a random pause of 10 to 100 ms, when `error` says the file is
    // held elsewhere and the budget is not spent; false (at once) otherwise.
    bool PauseAfter(DWORD error);

private:
    ULONGLONG deadline_;
    std::uint32_t state_;
};

}  // namespace cw
