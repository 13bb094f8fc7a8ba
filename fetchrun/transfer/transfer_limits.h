// The time and size limits of one download, judged on a clock the caller passes in
// (milliseconds), so the arithmetic is tested on numbers, never by waiting. Pure:
// no Windows headers.
#pragma once
#include <cstdint>

namespace fetchrun {

struct TransferLimits {
    std::uint64_t maxBytes;        // the body may not be larger, announced or received
    std::uint32_t totalMs;         // from the request to the body's end; 0: no limit
    std::uint32_t responseMs;      // from the request to the response's headers
    std::uint32_t stallMs;         // the longest time without a byte of the body
    std::uint32_t windowMs;        // the body must bring windowMinBytes in every window this long
    std::uint64_t windowMinBytes;  // (about 2 KiB/s: slower than a 16 kbit/s line)
};

// The settings are small and needed at once: at most 1 MiB, all of it within two
// minutes. The program may take as long as it keeps the minimum rate; 256 MiB is
// several times any update program.
inline constexpr TransferLimits kSettingsLimits = {1ull << 20, 120000, 60000, 60000, 120000, 256ull << 10};
inline constexpr TransferLimits kProgramLimits = {256ull << 20, 0, 60000, 60000, 120000, 256ull << 10};

enum class TransferLimit : std::uint8_t {
    None,
    TooLarge,    // more than maxBytes announced or received
    Deadline,    // totalMs passed before the body's end
    NoResponse,  // no response within responseMs
    Stalled,     // no byte of the body for stallMs
    TooSlow,     // a window of windowMs brought less than windowMinBytes
};

// Follows one transfer: the request's start, the response, every arrival. The
// windows of the minimum rate start at the response, each one where the last
// ended, and each is judged once it is windowMs old.
class TransferWatch {
public:
    TransferWatch(const TransferLimits& limits, std::uint64_t startMs);

    // The response's headers came; `announced` tells whether they gave a length.
    void Responded(std::uint64_t nowMs, bool announced, std::uint64_t length);
    void Arrived(std::uint64_t nowMs, std::uint64_t bytes);
    // The first limit broken at nowMs, in the order of the enumeration; None while
    // the transfer keeps within them all.
    TransferLimit Check(std::uint64_t nowMs);

    const TransferLimits& Limits() const { return limits_; }
    std::uint64_t Received() const { return received_; }
    // After TooSlow: what the window that was too slow brought.
    std::uint64_t WindowBytes() const { return windowBytes_; }

private:
    TransferLimits limits_;
    std::uint64_t start_;
    bool responded_ = false;
    bool announcedTooLarge_ = false;
    std::uint64_t received_ = 0;
    std::uint64_t lastArrival_ = 0;
    std::uint64_t windowStart_ = 0;
    std::uint64_t windowStartBytes_ = 0;
    std::uint64_t windowBytes_ = 0;
};

}  // namespace fetchrun
