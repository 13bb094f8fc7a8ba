#include "fetchrun/transfer/transfer_limits.h"

namespace fetchrun {
namespace {

// A clock read on another thread may lag the one the start was taken from.
std::uint64_t Since(std::uint64_t nowMs, std::uint64_t thenMs) { return nowMs > thenMs ? nowMs - thenMs : 0; }

}  // namespace

TransferWatch::TransferWatch(const TransferLimits& limits, std::uint64_t startMs) : limits_(limits), start_(startMs) {}

void TransferWatch::Responded(std::uint64_t nowMs, bool announced, std::uint64_t length) {
    responded_ = true;
    announcedTooLarge_ = announced && length > limits_.maxBytes;
    lastArrival_ = nowMs;
    windowStart_ = nowMs;
    windowStartBytes_ = received_;
}

void TransferWatch::Arrived(std::uint64_t nowMs, std::uint64_t bytes) {
    received_ += bytes;
    if (bytes != 0) lastArrival_ = nowMs;
}

TransferLimit TransferWatch::Check(std::uint64_t nowMs) {
    if (announcedTooLarge_ || received_ > limits_.maxBytes) return TransferLimit::TooLarge;
    if (limits_.totalMs != 0 && Since(nowMs, start_) >= limits_.totalMs) return TransferLimit::Deadline;
    if (!responded_) return Since(nowMs, start_) >= limits_.responseMs ? TransferLimit::NoResponse : TransferLimit::None;
    if (Since(nowMs, lastArrival_) >= limits_.stallMs) return TransferLimit::Stalled;
    if (Since(nowMs, windowStart_) >= limits_.windowMs) {
        windowBytes_ = received_ - windowStartBytes_;
        if (windowBytes_ < limits_.windowMinBytes) return TransferLimit::TooSlow;
        windowStart_ = nowMs;
        windowStartBytes_ = received_;
    }
    return TransferLimit::None;
}

}  // namespace fetchrun
