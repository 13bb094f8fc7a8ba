// A movable, zero-initialised global memory block, locked while this object lives:
// the request blocks and frames of one export call.
#pragma once
#include <windows.h>

#include <cstddef>

#include "hwlink/frame/bytes.h"
#include "hwlink/frame/status.h"
#include "common/unique_handle.h"

namespace hwlink {

class GlobalBlock {
public:
    GlobalBlock() = default;
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    ~GlobalBlock() { Unlock(); }

    // kAllocFailed, or kLockFailed (the block is freed again).
    Status Allocate(std::size_t size) {
        Unlock();
        block_.reset(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
        if (!block_) return status::kAllocFailed;
        data_ = static_cast<std::uint8_t*>(GlobalLock(block_.get()));
        if (!data_) {
            block_.reset();
            return status::kLockFailed;
        }
        size_ = size;
        return status::kOk;
    }

    Bytes bytes() const { return Bytes(data_, size_); }

private:
    void Unlock() {
        if (data_) {
            const DWORD saved = GetLastError();  // GlobalUnlock resets it
            GlobalUnlock(block_.get());
            SetLastError(saved);
        }
        data_ = nullptr;
        size_ = 0;
    }

    cw::unique_global block_;
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace hwlink
