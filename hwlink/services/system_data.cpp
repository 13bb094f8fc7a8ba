// SDA and SDA2: the firmware's system data items (GABI class 0x8000; the _SCC0005
// forms address the same functions through class 5 after a directory query for
// 0x8000). Reads and writes carry the data as the fourth part of an extended frame.
#include "hwlink/frame/gabi_layout.h"
#include "hwlink/frame/service_call.h"
#include "hwlink/hwlink.h"

namespace hwlink {

namespace {

// Functions.
constexpr std::uint16_t kInformation = 3;
constexpr std::uint16_t kRead = 4;
constexpr std::uint16_t kWrite = 5;
constexpr std::uint16_t kEnumerate = 6;

// Input block: two u32 selectors (or the index) from offset 8, a write's length at 16.
constexpr std::size_t kSelector1At = gabi::kInputArguments;
constexpr std::size_t kSelector2At = kSelector1At + 4;
constexpr std::size_t kWriteLengthAt = kSelector2At + 4;
// Output block: the information words, the enumeration data.
constexpr std::size_t kResultsAt = gabi::kOutputResults;
constexpr std::size_t kInformationWords = 4;

// How a family reports.
enum class Reporting {
    kSteps,      // SDA2 read and enumeration: 0x2D000, 0x2E000, 0x2F000
    kOwnStatus,  // SDA2 information and write: the failing call's own status; exit 0x2F000
    kWordTwo,    // SDA: success is status word 2 alone, a failure 0x20000 + word 2 or the call's status
};

class SystemDataRequest : public ServiceRequest {
public:
    SystemDataRequest(std::uint16_t cls, std::uint16_t fn, Reporting reporting) : reporting_(reporting) {
        serviceClass = cls;
        directoryClass = gabi::kClassSystemData;
        function = fn;
        // The older form sets its blocks up afresh for every call, as _CallEnter does.
        freshInput = reporting == Reporting::kWordTwo;
    }

    bool Accepts(Step /*step*/, const CallOutcome& outcome) const override {
        if (reporting_ != Reporting::kWordTwo) return outcome.Succeeded();
        // Word 2 judges every call, the read and write too: a refused write was not
        // written, and a refused read brought no data.
        return outcome.Travelled() && outcome.words.word2 == gabi::kWordOk;
    }
    Status Failure(Step step, const CallOutcome& outcome) const override {
        switch (reporting_) {
        case Reporting::kSteps:
            return ServiceRequest::Failure(step, outcome);
        case Reporting::kOwnStatus:
            return step == Step::kExit ? status::kExitFailed : outcome.OwnStatus();
        default:
            return outcome.Travelled() ? status::FirmwareWord(outcome.words.word2) : outcome.status;
        }
    }

private:
    Reporting reporting_;
};

// Information (function 3): four 32-bit words at output 8, 12, 16, 20.
class InformationRequest final : public SystemDataRequest {
public:
    InformationRequest(std::uint16_t cls, Reporting reporting, std::uint32_t selector1, std::uint32_t selector2,
                       std::uint32_t* const (&words)[kInformationWords])
        : SystemDataRequest(cls, kInformation, reporting), selector1_(selector1), selector2_(selector2), words_(words) {
        minimumOutput = kResultsAt + 4 * kInformationWords;
    }
    void WriteArguments(Bytes input) const override {
        input.Put32(kSelector1At, selector1_);
        input.Put32(kSelector2At, selector2_);
    }
    Status TakeResults(Bytes output) override {
        for (std::size_t i = 0; i < kInformationWords; ++i)
            if (words_[i]) output.Get32(kResultsAt + 4 * i, *words_[i]);
        return status::kOk;
    }

private:
    std::uint32_t selector1_, selector2_;
    std::uint32_t* const (&words_)[kInformationWords];
};

// Read (function 4) and write (function 5): the data travels as the extra part.
class TransferRequest final : public SystemDataRequest {
public:
    TransferRequest(std::uint16_t cls, Reporting reporting, std::uint16_t fn, std::uint32_t selector1,
                    std::uint32_t selector2, const ExtraPart& data)
        : SystemDataRequest(cls, fn, reporting), selector1_(selector1), selector2_(selector2), data_(data) {}
    Status CheckBlocks(std::size_t outputSize) const override {
        // The frame's size must fit the request's 32-bit length.
        return gabi::ExtendedFrameSize(gabi::kControlBlockSize, inputSize, outputSize, data_.length)
                   ? status::kOk
                   : status::kRequestTooLarge;
    }
    void WriteArguments(Bytes input) const override {
        input.Put32(kSelector1At, selector1_);
        input.Put32(kSelector2At, selector2_);
        if (function == kWrite) input.Put32(kWriteLengthAt, data_.length);
    }
    bool Extended(Step step, std::uint32_t& code, ExtraPart& extra) const override {
        if (step != Step::kFunction) return false;
        code = function == kWrite ? ioctl::kSystemDataWrite : ioctl::kSystemDataRead;
        extra = data_;
        return true;
    }

private:
    std::uint32_t selector1_, selector2_;
    ExtraPart data_;
};

// Enumeration (function 6): as much of the output from offset 8 as the buffer takes.
class EnumerationRequest final : public SystemDataRequest {
public:
    EnumerationRequest(std::uint16_t cls, std::uint32_t index, std::uint8_t* buffer, std::uint16_t length)
        : SystemDataRequest(cls, kEnumerate, Reporting::kSteps), index_(index), buffer_(buffer), length_(length) {}
    void WriteArguments(Bytes input) const override { input.Put32(kSelector1At, index_); }
    Status TakeResults(Bytes output) override {
        const std::size_t available = output.size() - kResultsAt;
        output.Read(kResultsAt, buffer_, length_ < available ? length_ : available);
        return status::kOk;
    }

private:
    std::uint32_t index_;
    std::uint8_t* buffer_;
    std::uint16_t length_;
};

Status Information(std::uint16_t cls, Reporting reporting, std::uint32_t selector1, std::uint32_t selector2,
                   std::uint32_t* info1, std::uint32_t* info2, std::uint32_t* info3, std::uint32_t* info4,
                   const StatusOutputs& outputs) {
    if (!info1 && !info2 && !info3 && !info4) return status::kInvalidArgument;
    outputs.Zero();
    std::uint32_t* const words[kInformationWords] = {info1, info2, info3, info4};
    InformationRequest request(cls, reporting, selector1, selector2, words);
    return RunServiceCall(request, outputs);
}

// SDA2 reads and writes take any data and length: null data sends zeros and
// receives nothing. A write never copies the reply into the caller's data.
Status Transfer(std::uint16_t cls, Reporting reporting, std::uint16_t fn, std::uint32_t selector1,
                std::uint32_t selector2, const void* source, void* destination, std::uint32_t length,
                const StatusOutputs& outputs) {
    outputs.Zero();
    ExtraPart data;
    data.source = static_cast<const std::uint8_t*>(source);
    data.destination = static_cast<std::uint8_t*>(destination);
    data.length = length;
    TransferRequest request(cls, reporting, fn, selector1, selector2, data);
    return RunServiceCall(request, outputs);
}

Status Enumerate(std::uint16_t cls, std::uint32_t index, void* buffer, std::uint32_t length,
                 const StatusOutputs& outputs) {
    const auto counted = static_cast<std::uint16_t>(length);  // the low 16 bits count
    if (!buffer || counted == 0) return status::kInvalidArgument;
    outputs.Zero();
    EnumerationRequest request(cls, index, static_cast<std::uint8_t*>(buffer), counted);
    return RunServiceCall(request, outputs);
}

constexpr std::uint16_t kSda = gabi::kClassSystemData;
constexpr std::uint16_t kAlias = gabi::kClassSystemDataAlias;

}  // namespace

}  // namespace hwlink

using namespace hwlink;

extern "C" {

std::uint32_t HWLINK_STDCALL GABI_SDA_GetSystemDataInfo(std::uint32_t selector1, std::uint32_t selector2,
                                                        std::uint32_t* info1, std::uint32_t* info2,
                                                        std::uint32_t* info3, std::uint32_t* info4) {
    return Information(kSda, Reporting::kWordTwo, selector1, selector2, info1, info2, info3, info4, {});
}

std::uint32_t HWLINK_STDCALL GABI_SDA_ReadSystemData(std::uint32_t selector1, std::uint32_t selector2, void* buffer,
                                                     std::uint32_t length) {
    if (!buffer || length == 0) return status::kInvalidArgument;
    // The read request goes out with zeros where the data comes back.
    return Transfer(kSda, Reporting::kWordTwo, kRead, selector1, selector2, nullptr, buffer, length, {});
}

std::uint32_t HWLINK_STDCALL GABI_SDA_WriteSystemData(std::uint32_t selector1, std::uint32_t selector2,
                                                      const void* data, std::uint32_t length) {
    if ((data != nullptr) != (length != 0)) return status::kInvalidArgument;
    return Transfer(kSda, Reporting::kWordTwo, kWrite, selector1, selector2, data, nullptr, length, {});
}

std::uint32_t HWLINK_STDCALL GABI_SDA2_GetSystemDataInfo(std::uint32_t selector1, std::uint32_t selector2,
                                                         std::uint32_t* info1, std::uint32_t* info2,
                                                         std::uint32_t* info3, std::uint32_t* info4,
                                                         std::uint16_t* status1, std::uint16_t* status2,
                                                         std::uint16_t* status3) {
    return Information(kSda, Reporting::kOwnStatus, selector1, selector2, info1, info2, info3, info4,
                       StatusOutputs(status1, status2, status3));
}

std::uint32_t HWLINK_STDCALL GABI_SDA2_ReadSystemData(std::uint32_t selector1, std::uint32_t selector2,
                                                      void* buffer, std::uint32_t length, std::uint16_t* status1,
                                                      std::uint16_t* status2, std::uint16_t* status3) {
    return Transfer(kSda, Reporting::kSteps, kRead, selector1, selector2, buffer, buffer, length,
                    StatusOutputs(status1, status2, status3));
}

std::uint32_t HWLINK_STDCALL GABI_SDA2_WriteSystemData(std::uint32_t selector1, std::uint32_t selector2,
                                                       const void* data, std::uint32_t length,
                                                       std::uint16_t* status1, std::uint16_t* status2,
                                                       std::uint16_t* status3) {
    return Transfer(kSda, Reporting::kOwnStatus, kWrite, selector1, selector2, data, nullptr, length,
                    StatusOutputs(status1, status2, status3));
}

std::uint32_t HWLINK_STDCALL GABI_SDA2_EnumSystemData(std::uint32_t index, void* buffer, std::uint32_t length,
                                                      std::uint16_t* status1, std::uint16_t* status2,
                                                      std::uint16_t* status3) {
    return Enumerate(kSda, index, buffer, length, StatusOutputs(status1, status2, status3));
}

std::uint32_t HWLINK_STDCALL GABI_SDA2_GetSystemDataInfo_SCC0005(std::uint32_t selector1, std::uint32_t selector2,
                                                                 std::uint32_t* info1, std::uint32_t* info2,
                                                                 std::uint32_t* info3, std::uint32_t* info4,
                                                                 std::uint16_t* status1, std::uint16_t* status2,
                                                                 std::uint16_t* status3) {
    return Information(kAlias, Reporting::kOwnStatus, selector1, selector2, info1, info2, info3, info4,
                       StatusOutputs(status1, status2, status3));
}

std::uint32_t HWLINK_STDCALL GABI_SDA2_ReadSystemData_SCC0005(std::uint32_t selector1, std::uint32_t selector2,
                                                              void* buffer, std::uint32_t length,
                                                              std::uint16_t* status1, std::uint16_t* status2,
                                                              std::uint16_t* status3) {
    return Transfer(kAlias, Reporting::kSteps, kRead, selector1, selector2, buffer, buffer, length,
                    StatusOutputs(status1, status2, status3));
}

std::uint32_t HWLINK_STDCALL GABI_SDA2_WriteSystemData_SCC0005(std::uint32_t selector1, std::uint32_t selector2,
                                                               const void* data, std::uint32_t length,
                                                               std::uint16_t* status1, std::uint16_t* status2,
                                                               std::uint16_t* status3) {
    return Transfer(kAlias, Reporting::kOwnStatus, kWrite, selector1, selector2, data, nullptr, length,
                    StatusOutputs(status1, status2, status3));
}

std::uint32_t HWLINK_STDCALL GABI_SDA2_EnumSystemData_SCC0005(std::uint32_t index, void* buffer,
                                                              std::uint32_t length, std::uint16_t* status1,
                                                              std::uint16_t* status2, std::uint16_t* status3) {
    return Enumerate(kAlias, index, buffer, length, StatusOutputs(status1, status2, status3));
}

}  // extern "C"
