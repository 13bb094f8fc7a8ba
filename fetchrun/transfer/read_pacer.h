// How the body reader asks WinINet for the next piece of a body. A blocking read
// returns only when its buffer is full or the body has ended, so a body that
// trickles would be seen only a full block at a time. While the body streams, a
// full block per read keeps the calls few; otherwise the reader first asks what has
// arrived and reads only that, so every arrival is seen when it comes. Pure: no
// Windows headers.
#pragma once
#include <cstdint>

namespace fetchrun {

class ReadPacer {
public:
    static constexpr std::uint32_t kBlock = 65535;  // the largest read
    static constexpr std::uint32_t kBurstMs = 1000;

    // Streaming: read a full block without asking first. A body starts slow.
    bool Streaming() const { return streaming_; }
    // The size of the next read when `available` bytes have arrived (0: none, or the
    // end; a full-block read then tells which).
    static std::uint32_t SizeFor(std::uint32_t available) {
        return available == 0 || available > kBlock ? kBlock : available;
    }
    // A read that began at startMs returned `bytes` at nowMs. A full block within
    // kBurstMs makes the body streaming; a read that took kBurstMs or longer makes
    // it slow again.
    void Read(std::uint64_t startMs, std::uint64_t nowMs, std::uint32_t bytes);

private:
    bool streaming_ = false;
    std::uint64_t burstStart_ = 0;
    std::uint64_t burstBytes_ = 0;
    bool bursting_ = false;
};

}  // namespace fetchrun
