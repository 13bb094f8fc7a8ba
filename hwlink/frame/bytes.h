// Little-endian fields over a span of writable bytes, every access bounds-checked:
// a field that does not lie wholly inside the span is neither read nor written.
// Firmware blocks and frames are built and read only through these; reads go
// through the common checked reader. No Windows headers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/byte_reader.h"

namespace hwlink {

class Bytes {
public:
    Bytes() = default;
    Bytes(std::uint8_t* data, std::size_t size) : data_(data), size_(data ? size : 0) {}

    std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    cw::ByteReader Reader() const { return cw::ByteReader(data_, size_); }

    bool Fits(std::size_t offset, std::size_t length) const { return Reader().Fits(offset, length); }
    // The span [offset, offset + length); empty when it does not fit.
    Bytes Sub(std::size_t offset, std::size_t length) const {
        return Fits(offset, length) ? Bytes(data_ + offset, length) : Bytes();
    }

    bool Get8(std::size_t offset, std::uint8_t& v) const { return Reader().Get8(offset, v); }
    bool Get16(std::size_t offset, std::uint16_t& v) const { return Reader().Get16(offset, v); }
    bool Get32(std::size_t offset, std::uint32_t& v) const { return Reader().Get32(offset, v); }
    bool Put8(std::size_t offset, std::uint8_t v) const {
        if (!Fits(offset, 1)) return false;
        data_[offset] = v;
        return true;
    }
    bool Put16(std::size_t offset, std::uint16_t v) const {
        if (!Fits(offset, 2)) return false;
        data_[offset] = static_cast<std::uint8_t>(v);
        data_[offset + 1] = static_cast<std::uint8_t>(v >> 8);
        return true;
    }
    bool Put32(std::size_t offset, std::uint32_t v) const {
        if (!Fits(offset, 4)) return false;
        for (int i = 0; i < 4; ++i) data_[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
        return true;
    }
    // Copies `length` bytes out of / into the span at `offset`.
    bool Read(std::size_t offset, void* out, std::size_t length) const { return Reader().Read(offset, out, length); }
    bool Write(std::size_t offset, const void* in, std::size_t length) const {
        if (!Fits(offset, length)) return false;
        if (length) std::memcpy(data_ + offset, in, length);
        return true;
    }
    void Zero() const {
        if (size_) std::memset(data_, 0, size_);
    }

private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace hwlink
