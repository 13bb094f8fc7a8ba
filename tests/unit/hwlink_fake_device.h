// A KHWPORT stand-in for the unit tests of hwlink's frame and services, put under
// the library through its device-call seam: a firmware model with configurable
// answers, tables, ports and memory, plus what a real driver cannot do on demand
// (a failing open, request or close, a short reply). Records every request.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "hwlink/frame/device_channel.h"
#include "hwlink/hwlink.h"
#include "tests/unit/hwlink_blocks.h"

namespace hwtest {

// One GABI call as the firmware saw it.
struct SentCall {
    std::uint32_t code = 0;
    std::uint16_t serviceClass = 0, function = 0, version = 0, category = 0;
    std::uint32_t handle = 0;
    Block control, input, output, extra;  // extra: the extended frame's fourth part
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
        Block extra;                 // written into an extended frame's fourth part
        bool fails = false;          // the request fails
        bool shortReply = false;     // one byte short
    };

    // Scenario.
    bool openFails = false;
    bool closeFails = false;
    std::set<std::uint32_t> failingCodes;  // requests with these codes fail
    std::uint32_t presence = 1;
    bool presenceFails = false;
    std::uint32_t presenceReplySize = 4;
    std::uint8_t entry[256] = {};
    std::map<std::uint16_t, std::uint16_t> directorySize;  // class -> output size
    std::map<std::tuple<std::uint16_t, std::uint16_t, std::uint16_t>, Answer> answers;
    std::map<std::tuple<std::uint16_t, std::uint16_t, std::uint16_t>, std::deque<Answer>> nextAnswers;
    Block smbiosEntry = Block(31, 0);      // the table length at 0x16 is set from smbiosTable
    Block smbiosTable;
    std::uint32_t entryReplySize = 31;
    std::uint32_t nbeReplySize = 32;
    std::uint32_t portValue = 0x12345678;  // what a port read returns
    std::uint32_t portReplySize = 12;
    std::uint32_t memoryShortBy = 0;       // a memory read returns this many bytes fewer

    // What happened.
    int opens = 0, closes = 0;
    std::vector<std::uint32_t> codes;     // every request, in order
    std::vector<Block> inputs;            // the input bytes of every request, in order
    std::vector<SentCall> calls;          // every GABI call, as sent
    std::vector<Block> frames;            // every frame or raw buffer, as sent

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
    // A one-time answer, used before On's; several queue up in order.
    Answer& Then(std::uint16_t cls, std::uint16_t function, std::uint16_t version = 0) {
        auto& queue = nextAnswers[{cls, function, version}];
        queue.emplace_back();
        return queue.back();
    }
    // The functions of the GABI calls sent, in order (directory queries as 0).
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
        d.codes.push_back(code);
        const auto* input = static_cast<const std::uint8_t*>(in);
        d.inputs.emplace_back(input, input + (input ? inSize : 0));
        *returned = 0;
        if (d.failingCodes.count(code)) return FALSE;
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
        case hwlink::ioctl::kReadSmbiosEntry: {
            Block entryPoint = d.smbiosEntry;
            entryPoint.resize(31);
            if (Get16(entryPoint, 0x16) == 0) Put16(entryPoint, 0x16, static_cast<std::uint16_t>(d.smbiosTable.size()));
            std::memcpy(bytes, entryPoint.data(), outSize < 31 ? outSize : 31);
            *returned = d.entryReplySize;
            return TRUE;
        }
        case hwlink::ioctl::kReadSmbiosTable: {
            const std::size_t n = outSize < d.smbiosTable.size() ? outSize : d.smbiosTable.size();
            if (n) std::memcpy(bytes, d.smbiosTable.data(), n);
            *returned = static_cast<DWORD>(n);
            return TRUE;
        }
        case hwlink::ioctl::kReadNbe:
            for (DWORD i = 0; i < outSize && i < 32; ++i) bytes[i] = static_cast<std::uint8_t>(0xB0 + i);
            *returned = d.nbeReplySize;
            return TRUE;
        case hwlink::ioctl::kReadPort:
        case hwlink::ioctl::kWritePort:
            EXPECT_EQ(in, out);  // the request comes back in the same 12 bytes
            if (code == hwlink::ioctl::kReadPort && outSize >= 8) std::memcpy(bytes + 4, &d.portValue, 4);
            *returned = d.portReplySize;
            return TRUE;
        case hwlink::ioctl::kReadMemory:
            for (DWORD i = 0; i < outSize; ++i) bytes[i] = static_cast<std::uint8_t>(0x40 + i);
            *returned = outSize - d.memoryShortBy;
            return TRUE;
        case hwlink::ioctl::kGabiCall:
        case hwlink::ioctl::kNvramCall:
            EXPECT_EQ(in, nullptr);
            return d.Frame(code, bytes, outSize, false, returned);
        case hwlink::ioctl::kSystemDataRead:
        case hwlink::ioctl::kSystemDataWrite:
            if (IsExtendedFrame(bytes, outSize)) return d.Frame(code, bytes, outSize, true, returned);
            [[fallthrough]];
        default:
            // Anything else is recorded and answered by marking its last byte: the
            // generic exports pass any code.
            d.frames.emplace_back(bytes, bytes + outSize);
            if (outSize) bytes[outSize - 1] = kMark;
            *returned = outSize;
            return TRUE;
        }
    }

    // A buffer whose header adds up to a GabiExtendedFrame with a control block.
    static bool IsExtendedFrame(const std::uint8_t* bytes, DWORD size) {
        const Block head(bytes, bytes + (size < 10 ? size : 10));
        return size >= 10 && Get16(head, 0) >= 16 &&
               10u + Get16(head, 0) + Get16(head, 2) + Get16(head, 4) + std::uint64_t{Get32(head, 6)} == size;
    }

    // A GabiFrame or a GabiExtendedFrame, answered by the firmware model.
    BOOL Frame(std::uint32_t code, std::uint8_t* bytes, DWORD size, bool extended, DWORD* returned) {
        Block frame(bytes, bytes + size);
        const std::size_t header = extended ? 10 : 6;
        const std::size_t lc = Get16(frame, 0), li = Get16(frame, 2), lo = Get16(frame, 4);
        const std::size_t le = extended ? Get32(frame, 6) : 0;
        frames.push_back(frame);
        EXPECT_EQ(header + lc + li + lo + le, size) << "frame size and header disagree";
        if (header + lc + li + lo + le != size) return FALSE;
        SentCall call;
        call.code = code;
        const std::size_t atInput = header + lc, atOutput = atInput + li, atExtra = atOutput + lo;
        call.control.assign(bytes + header, bytes + atInput);
        call.input.assign(bytes + atInput, bytes + atOutput);
        call.output.assign(bytes + atOutput, bytes + atExtra);
        call.extra.assign(bytes + atExtra, bytes + size);
        call.serviceClass = Get16(call.control, 2);
        call.function = Get16(call.control, 4);
        call.category = Get16(call.control, 12);
        call.version = Get16(call.input, 2);
        call.handle = Get32(call.input, 4);
        calls.push_back(call);

        const Answer answer = Find(call.serviceClass, call.function, call.version);
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
        std::memcpy(bytes + header, control.data(), lc);
        std::memcpy(bytes + atOutput, output.data(), lo);
        for (std::size_t i = 0; i < answer.extra.size() && i < le; ++i) bytes[atExtra + i] = answer.extra[i];
        *returned = answer.shortReply ? size - 1 : size;
        return TRUE;
    }

    Answer Find(std::uint16_t cls, std::uint16_t function, std::uint16_t version) {
        for (std::uint16_t v : {version, std::uint16_t{0}}) {
            auto queued = nextAnswers.find({cls, function, v});
            if (queued != nextAnswers.end() && !queued->second.empty()) {
                Answer a = queued->second.front();
                queued->second.pop_front();
                return a;
            }
            auto found = answers.find({cls, function, v});
            if (found != answers.end()) return found->second;
        }
        return Answer();
    }

    static inline FakeDevice* current_ = nullptr;
    static constexpr hwlink::DeviceCalls kCalls = {Open, Control, Close};
    const hwlink::DeviceCalls* previous_ = nullptr;
};

}  // namespace hwtest
