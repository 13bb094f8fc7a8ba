#include "common/busy_retry.h"

namespace cw {
namespace {

constexpr DWORD kShortestPauseMs = 10;
constexpr DWORD kPauseSpreadMs = 91;

}  // namespace

bool IsBusyFileError(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

BusyRetry::BusyRetry(DWORD budgetMs)
    : deadline_(GetTickCount64() + budgetMs),
      // Runs started in the same tick still draw different pauses.
      state_((GetCurrentProcessId() * 2654435761u) ^ GetTickCount() ^ GetCurrentThreadId()) {
    if (state_ == 0) state_ = 1;
}

bool BusyRetry::PauseAfter(DWORD error) {
    if (!IsBusyFileError(error)) return false;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline_) return false;
    state_ ^= state_ << 13;  // xorshift32
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    DWORD pause = kShortestPauseMs + state_ % kPauseSpreadMs;
    if (pause > deadline_ - now) pause = static_cast<DWORD>(deadline_ - now);
    Sleep(pause);
    return true;
}

}  // namespace cw
