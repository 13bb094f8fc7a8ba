// A KHWPORT stand-in for the unit tests of hwlink's frame and services, put under
// the library through its device-call seam: a firmware model with configurable
// answers, plus what a real driver cannot do on demand (a failing open, request
// or close, a short reply). Records every request.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

#include "hwlink/frame/device_channel.h"
#include "hwlink/hwlink.h"

namespace hwtest {

using Block = std::vector<std::uint8_t>;

inline std::uint16_t Get16(const Block& b, std::size_t at) {
    return at + 2 <= b.size() ? static_cast<std::uint16_t>(b[at] | b[at + 1] << 8) : 0xDEAD;
}
inline std::uint32_t Get32(const Block& b, std::size_t at) {
    return at + 4 <= b.size() ? static_cast<std::uint32_t>(Get16(b, at) | Get16(b, at + 2) << 16) : 0xDEADBEEF;
}
inline void Put16(Block& b, std::size_t at, std::uint16_t v) {
    b.at(at) = static_cast<std::uint8_t>(v);
    b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(Block& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, static_cast<std::uint16_t>(v));
    Put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

// One GABI call as the firmware saw it.
struct SentCall {
    std::uint16_t serviceClass = 0, function = 0, version = 0, category = 0;
    std::uint32_t handle = 0;
    Block control, input, output;
};

class FakeDevice {
public:
    static constexpr std::uint32_t kHandle = 0x5EC0ABCD;
    static constexpr std::uint16_t kDefaultOutputSize = 64;
    static constexpr std::uint8_t kMark = 0xA5;
    static inline const HANDLE kDevice = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x4242));

    // How the firmware answers one (class, function, version) call; version 0: any.
    struct Answer {
        Answer(std::uint16_t w1 = 1, std::uint16_t w2 = 1, std::uint16_t w3 = 0, std::uint16_t w4 = 0,
               Block data = {}, std::size_t offset = 8)
            : word1(w1), word2(w2), word3(w3), word4(w4), results(std::move(data)), at(offset) {}
        std::uint16_t word1, word2, word3, word4;
        Block results;               // written at output offset `at`
        std::size_t at;
        bool fails = false;          // the request fails
        bool shortReply = false;     // one byte short
    };

    // Scenario.
    bool openFails = false;
    bool closeFails = false;
    std::uint32_t presence = 1;
    bool presenceFails = false;
    std::uint32_t presenceReplySize = 4;
    std::uint8_t entry[256] = {};
    std::map<std::uint16_t, std::uint16_t> directorySize;  // class -> output size
    std::map<std::tuple<std::uint16_t, std::uint16_t, std::uint16_t>, Answer> answers;

    // What happened.
    int opens = 0, closes = 0;
    std::vector<std::uint32_t> codes;     // every request, in order
    std::vector<SentCall> calls;          // every GABI call, as sent
    std::vector<Block> frames;            // every frame, as sent

    FakeDevice() {
        current_ = this;
        previous_ = hwlink::UseDeviceCalls(&kCalls);
    }
    ~FakeDevice() {
        closeFails = false;
        hwlink::ReleaseChannel();
        hwlink::UseDeviceCalls(previous_);
        current_ = nullptr;
    }
    FakeDevice(const FakeDevice&) = delete;
    FakeDevice& operator=(const FakeDevice&) = delete;

    Answer& On(std::uint16_t cls, std::uint16_t function, std::uint16_t version = 0) {
        return answers[{cls, function, version}];
    }
    // The functions of the GABI calls sent for `cls`, in order (directory queries as 0).
    std::vector<std::uint16_t> Functions() const {
        std::vector<std::uint16_t> out;
        for (const auto& c : calls) out.push_back(c.serviceClass == 1 ? 0 : c.function);
        return out;
    }

private:
    static HANDLE Open(const char* path) {
        FakeDevice& d = *current_;
        EXPECT_STREQ(path, "\\\\.\\KHWPORT");
        if (d.openFails) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        ++d.opens;
        return kDevice;
    }
    static BOOL Close(HANDLE device) {
        FakeDevice& d = *current_;
        EXPECT_EQ(device, kDevice);
        if (d.closeFails) return FALSE;
        ++d.closes;
        return TRUE;
    }
    static BOOL Control(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                        DWORD* returned) {
        FakeDevice& d = *current_;
        EXPECT_EQ(device, kDevice);
        EXPECT_EQ(in, nullptr);
        EXPECT_EQ(inSize, 0u);
        d.codes.push_back(code);
        *returned = 0;
        auto* bytes = static_cast<std::uint8_t*>(out);
        switch (code) {
        case hwlink::ioctl::kGabiPresent:
            if (d.presenceFails || outSize < 4) return FALSE;
            std::memcpy(bytes, &d.presence, 4);
            *returned = d.presenceReplySize;
            return TRUE;
        case hwlink::ioctl::kReadGabiEntry:
            std::memcpy(bytes, d.entry, outSize < 256 ? outSize : 256);
            *returned = 256;
            return TRUE;
        case hwlink::ioctl::kGabiCall:
            return d.Frame(bytes, outSize, returned);
        default:
            // Anything else is recorded and answered by marking its last byte: the
            // generic exports pass any code.
            d.frames.emplace_back(bytes, bytes + outSize);
            if (outSize) bytes[outSize - 1] = kMark;
            *returned = outSize;
            return TRUE;
        }
    }

    BOOL Frame(std::uint8_t* bytes, DWORD size, DWORD* returned) {
        Block frame(bytes, bytes + size);
        frames.push_back(frame);
        const std::size_t lc = Get16(frame, 0), li = Get16(frame, 2), lo = Get16(frame, 4);
        EXPECT_EQ(6 + lc + li + lo, size) << "frame size and header disagree";
        if (6 + lc + li + lo != size) return FALSE;
        SentCall call;
        call.control.assign(bytes + 6, bytes + 6 + lc);
        call.input.assign(bytes + 6 + lc, bytes + 6 + lc + li);
        call.output.assign(bytes + 6 + lc + li, bytes + size);
        call.serviceClass = Get16(call.control, 2);
        call.function = Get16(call.control, 4);
        call.category = Get16(call.control, 12);
        call.version = Get16(call.input, 2);
        call.handle = Get32(call.input, 4);
        calls.push_back(call);

        Answer answer;
        auto found = answers.find({call.serviceClass, call.function, call.version});
        if (found == answers.end()) found = answers.find({call.serviceClass, call.function, 0});
        if (found != answers.end()) answer = found->second;
        if (answer.fails) return FALSE;

        Block control = call.control, output = call.output;
        if (control.size() >= 16) {
            Put16(control, 6, answer.word1);
            Put16(control, 8, answer.word2);
            Put16(control, 10, answer.word3);
            Put16(control, 14, answer.word4);
        }
        if (call.serviceClass == 1 && output.size() >= 4) {
            auto size = directorySize.find(call.function);
            Put16(output, 2, size == directorySize.end() ? kDefaultOutputSize : size->second);
        } else if (call.function == 1 && output.size() >= 8) {
            Put32(output, 4, kHandle);
        }
        for (std::size_t i = 0; i < answer.results.size() && answer.at + i < output.size(); ++i)
            output[answer.at + i] = answer.results[i];
        std::memcpy(bytes + 6, control.data(), lc);
        std::memcpy(bytes + 6 + lc + li, output.data(), lo);
        *returned = answer.shortReply ? size - 1 : size;
        return TRUE;
    }

    static inline FakeDevice* current_ = nullptr;
    static constexpr hwlink::DeviceCalls kCalls = {Open, Control, Close};
    const hwlink::DeviceCalls* previous_ = nullptr;
};

}  // namespace hwtest
