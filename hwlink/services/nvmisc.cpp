// NVMISC: the firmware's miscellaneous platform services (GABI class 0x8001). Each
// export is one run of the service call sequence with one function number.
#include <cstddef>

#include "hwlink/frame/gabi_layout.h"
#include "hwlink/frame/service_call.h"
#include "hwlink/hwlink.h"

namespace hwlink {

namespace {

#if defined(__i386__)
static_assert(sizeof(NvmiscSystemInfo) == 10 && offsetof(NvmiscSystemInfo, second) == 4 &&
              offsetof(NvmiscSystemInfo, third) == 6);
static_assert(sizeof(NvmiscWakeupRecord) == 10 && offsetof(NvmiscWakeupRecord, word) == 8);
static_assert(sizeof(NvmiscWakeupSetting) == 8 && offsetof(NvmiscWakeupSetting, word1) == 2 &&
              offsetof(NvmiscWakeupSetting, byte0) == 4 && offsetof(NvmiscWakeupSetting, byte3) == 7);
#endif

// Function numbers of class 0x8001.
constexpr std::uint16_t kGetSystemInfo = 3;
constexpr std::uint16_t kSetMessageIndicator = 4;
constexpr std::uint16_t kGetWakeupOnRtc = 5;
constexpr std::uint16_t kSetWakeupOnRtc = 6;
constexpr std::uint16_t kGetBspfInfo = 7;
constexpr std::uint16_t kSetBspfCommand = 8;

// Word 2 of a version 1 BSPF information call that asks for version 2.
constexpr std::uint16_t kBspfWantsVersion2 = 0x101;

// BSPF command input block: u32 length at 8, the data from 12; one byte of slack.
constexpr std::size_t kBspfLengthAt = gabi::kInputArguments;
constexpr std::size_t kBspfDataAt = kBspfLengthAt + 4;
constexpr std::size_t kBspfBlockExtra = kBspfDataAt + 1;
constexpr std::uint32_t kBspfMaxCommand = 0xFFFF - kBspfBlockExtra;

constexpr std::size_t kResults = gabi::kOutputResults;

class NvmiscRequest : public ServiceRequest {
public:
    explicit NvmiscRequest(std::uint16_t fn, std::size_t resultBytes = 0) {
        serviceClass = gabi::kClassNvmisc;
        function = fn;
        minimumOutput = kResults + resultBytes;
    }
};

class GetSystemInfoRequest final : public NvmiscRequest {
public:
    explicit GetSystemInfoRequest(NvmiscSystemInfo& info) : NvmiscRequest(kGetSystemInfo, 10), info_(info) {}
    Status TakeResults(Bytes output) override {
        // The record is packed: read into aligned locals, then store.
        std::uint32_t systemId = 0;
        std::uint16_t second = 0;
        std::uint32_t third = 0;
        output.Get32(kResults, systemId);
        output.Get16(kResults + 4, second);
        output.Get32(kResults + 6, third);
        info_.systemId = systemId;
        info_.second = second;
        info_.third = third;
        return status::kOk;
    }

private:
    NvmiscSystemInfo& info_;
};

class SetMessageIndicatorRequest final : public NvmiscRequest {
public:
    explicit SetMessageIndicatorRequest(std::uint16_t value) : NvmiscRequest(kSetMessageIndicator), value_(value) {}
    void WriteArguments(Bytes input) const override { input.Put16(gabi::kInputArguments, value_); }

private:
    std::uint16_t value_;
};

class GetWakeupRequest final : public NvmiscRequest {
public:
    explicit GetWakeupRequest(NvmiscWakeupRecord& record) : NvmiscRequest(kGetWakeupOnRtc, 10), record_(record) {}
    Status TakeResults(Bytes output) override {
        output.Read(kResults, record_.bytes, sizeof record_.bytes);
        std::uint16_t word = 0;
        output.Get16(kResults + sizeof record_.bytes, word);
        record_.word = word;
        return status::kOk;
    }

private:
    NvmiscWakeupRecord& record_;
};

class SetWakeupRequest final : public NvmiscRequest {
public:
    explicit SetWakeupRequest(const NvmiscWakeupSetting& setting)
        : NvmiscRequest(kSetWakeupOnRtc), setting_(setting) {}
    void WriteArguments(Bytes input) const override {
        constexpr std::size_t at = gabi::kInputArguments;
        input.Put16(at, setting_.word0);
        input.Put16(at + 2, setting_.word1);
        input.Put8(at + 4, setting_.byte0);
        input.Put8(at + 5, setting_.byte1);
        input.Put8(at + 6, setting_.byte2);
        input.Put8(at + 7, setting_.byte3);
    }

private:
    const NvmiscWakeupSetting& setting_;
};

// Version 1 first, falling back once to version 2 when the firmware asks for it;
// or version 2 only.
class GetBspfInfoRequest final : public NvmiscRequest {
public:
    GetBspfInfoRequest(std::uint8_t* info, std::size_t size, bool fallback, std::uint16_t firstVersion)
        : NvmiscRequest(kGetBspfInfo, size), info_(info), size_(size), fallback_(fallback) {
        version = firstVersion;
    }
    Status TakeResults(Bytes output) override {
        output.Read(kResults, info_, size_);
        return status::kOk;
    }
    bool Retry(const CallOutcome& failed) override {
        if (!fallback_ || failed.words.word2 != kBspfWantsVersion2) return false;
        fallback_ = false;
        version = gabi::kVersion2;
        return true;
    }

private:
    std::uint8_t* info_;
    std::size_t size_;
    bool fallback_;
};

class SetBspfCommandRequest final : public NvmiscRequest {
public:
    SetBspfCommandRequest(const void* data, std::uint32_t length)
        : NvmiscRequest(kSetBspfCommand), data_(data), length_(length) {
        const std::size_t needed = length + kBspfBlockExtra;
        inputSize = needed > gabi::kInputBlockSize ? needed : gabi::kInputBlockSize;
    }
    void WriteArguments(Bytes input) const override {
        input.Put32(kBspfLengthAt, length_);
        input.Write(kBspfDataAt, data_, length_);
    }

private:
    const void* data_;
    std::uint32_t length_;
};

Status Run(ServiceRequest& request, const StatusOutputs& outputs) {
    outputs.Zero();
    return RunServiceCall(request, outputs);
}

}  // namespace

}  // namespace hwlink

using namespace hwlink;

extern "C" {

std::uint32_t HWLINK_STDCALL GABI_NVMISC_GetSystemInfo(NvmiscSystemInfo* info, std::uint16_t* status1,
                                                       std::uint16_t* status2, std::uint16_t* status3) {
    if (!info) return status::kInvalidArgument;
    GetSystemInfoRequest request(*info);
    return Run(request, StatusOutputs(status1, status2, status3));
}

std::uint32_t HWLINK_STDCALL GABI_NVMISC_SetMessageIndicator(std::uint32_t indicator, std::uint16_t* status1,
                                                             std::uint16_t* status2, std::uint16_t* status3) {
    SetMessageIndicatorRequest request(static_cast<std::uint16_t>(indicator));
    return Run(request, StatusOutputs(status1, status2, status3));
}

std::uint32_t HWLINK_STDCALL GABI_NVMISC_GetWakeupOnRTC(NvmiscWakeupRecord* record, std::uint16_t* status1,
                                                        std::uint16_t* status2, std::uint16_t* status3) {
    if (!record) return status::kInvalidArgument;
    GetWakeupRequest request(*record);
    return Run(request, StatusOutputs(status1, status2, status3));
}

std::uint32_t HWLINK_STDCALL GABI_NVMISC_SetWakeupOnRTC(const NvmiscWakeupSetting* setting,
                                                        std::uint16_t* status1, std::uint16_t* status2,
                                                        std::uint16_t* status3) {
    if (!setting) return status::kInvalidArgument;
    SetWakeupRequest request(*setting);
    return Run(request, StatusOutputs(status1, status2, status3));
}

std::uint32_t HWLINK_STDCALL GABI_NVMISC_GetBspfInfo(std::uint8_t* info, std::uint16_t* status1,
                                                     std::uint16_t* status2) {
    if (!info) return status::kInvalidArgument;
    GetBspfInfoRequest request(info, HWLINK_BSPF_INFO_SIZE, true, gabi::kVersion1);
    return Run(request, StatusOutputs(status1, status2));
}

std::uint32_t HWLINK_STDCALL GABI_NVMISC_GetBspfInfo_V2(std::uint8_t* info, std::uint16_t* status1,
                                                        std::uint16_t* status2) {
    if (!info) return status::kInvalidArgument;
    GetBspfInfoRequest request(info, HWLINK_BSPF_INFO_V2_SIZE, false, gabi::kVersion2);
    return Run(request, StatusOutputs(status1, status2));
}

std::uint32_t HWLINK_STDCALL GABI_NVMISC_SetBspfCommand(const void* data, std::uint32_t length,
                                                        std::uint16_t* status1, std::uint16_t* status2) {
    if (!data || length == 0) return status::kInvalidArgument;
    if (length > kBspfMaxCommand) return status::kRequestTooLarge;
    SetBspfCommandRequest request(data, length);
    return Run(request, StatusOutputs(status1, status2));
}

}  // extern "C"
