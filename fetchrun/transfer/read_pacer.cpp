#include "fetchrun/transfer/read_pacer.h"

namespace fetchrun {

void ReadPacer::Read(std::uint64_t startMs, std::uint64_t nowMs, std::uint32_t bytes) {
    const std::uint64_t took = nowMs > startMs ? nowMs - startMs : 0;
    if (streaming_) {
        if (took >= kBurstMs) {
            streaming_ = false;
            bursting_ = false;
        }
        return;
    }
    // Bytes counted since the burst began; a burst older than kBurstMs starts anew
    // with this read.
    if (!bursting_ || nowMs - burstStart_ > kBurstMs) {
        bursting_ = true;
        burstStart_ = startMs;
        burstBytes_ = 0;
    }
    burstBytes_ += bytes;
    if (burstBytes_ >= kBlock && nowMs - burstStart_ <= kBurstMs) streaming_ = true;
}

}  // namespace fetchrun
