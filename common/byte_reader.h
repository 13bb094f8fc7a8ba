// Checked reads of untrusted bytes (driver replies, firmware tables, resources,
// downloaded values): every access states its offset and length and fails,
// reading nothing, when the field does not lie wholly inside the span. Multi-byte
// fields are little-endian whatever the host. No Windows headers: parsers built on
// it also compile with the host's compiler for fuzzing.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace cw {

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(data ? size : 0) {}

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

    // Written so that offset + length cannot overflow.
    bool Fits(std::size_t offset, std::size_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    // The span [offset, offset + length); empty when it does not fit.
    ByteReader Sub(std::size_t offset, std::size_t length) const {
        return Fits(offset, length) ? ByteReader(data_ + offset, length) : ByteReader();
    }

    bool Get8(std::size_t offset, std::uint8_t& v) const {
        if (!Fits(offset, 1)) return false;
        v = data_[offset];
        return true;
    }
    bool Get16(std::size_t offset, std::uint16_t& v) const {
        if (!Fits(offset, 2)) return false;
        v = static_cast<std::uint16_t>(data_[offset] | (data_[offset + 1] << 8));
        return true;
    }
    bool Get32(std::size_t offset, std::uint32_t& v) const {
        if (!Fits(offset, 4)) return false;
        v = static_cast<std::uint32_t>(data_[offset]) | static_cast<std::uint32_t>(data_[offset + 1]) << 8 |
            static_cast<std::uint32_t>(data_[offset + 2]) << 16 | static_cast<std::uint32_t>(data_[offset + 3]) << 24;
        return true;
    }
    // Copies `length` bytes at `offset` out of the span.
    bool Read(std::size_t offset, void* out, std::size_t length) const {
        if (!Fits(offset, length)) return false;
        if (length) std::memcpy(out, data_ + offset, length);
        return true;
    }

    // The first NUL byte at or after `offset`.
    bool FindNul(std::size_t offset, std::size_t& at) const {
        for (std::size_t i = offset; i < size_; ++i) {
            if (data_[i] == 0) {
                at = i;
                return true;
            }
        }
        return false;
    }
    // The first pair of consecutive NUL bytes at or after `offset` (position of the first).
    bool FindDoubleNul(std::size_t offset, std::size_t& at) const {
        if (!Fits(offset, 2)) return false;
        for (std::size_t i = offset; i + 1 < size_; ++i) {
            if (data_[i] == 0 && data_[i + 1] == 0) {
                at = i;
                return true;
            }
        }
        return false;
    }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace cw
