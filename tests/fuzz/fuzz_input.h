// Turning a fuzzer's bytes into the inputs the parsers take, and failing loudly
// when a parser breaks a rule of its own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

// Stops the run with a finding.
inline void Check(bool ok, const char* rule) {
    if (!ok) {
        std::fprintf(stderr, "rule broken: %s\n", rule);
        std::abort();
    }
}

// The bytes as UTF-16LE code units (an odd last byte dropped), the way the
// programs hold text on Windows whatever the host's wchar_t.
inline std::wstring Utf16Units(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    return text;
}

// The text cut at every NUL unit: an argument vector.
inline std::vector<std::wstring> Arguments(const std::wstring& text) {
    std::vector<std::wstring> args(1);
    for (wchar_t c : text) {
        if (c == L'\0') {
            args.emplace_back();
        } else {
            args.back() += c;
        }
    }
    return args;
}

// Reads from the front of the input: small numbers first, the rest as payload.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }
    std::uint32_t Dword() { return static_cast<std::uint32_t>(Word()) | static_cast<std::uint32_t>(Word()) << 16; }
    // Up to `count` bytes, fewer where the input ends.
    std::vector<std::uint8_t> Bytes(std::size_t count) {
        if (count > size_ - at_) count = size_ - at_;
        std::vector<std::uint8_t> out(data_ + at_, data_ + at_ + count);
        at_ += count;
        return out;
    }
    std::vector<std::uint8_t> Rest() { return Bytes(size_ - at_); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace fuzz
