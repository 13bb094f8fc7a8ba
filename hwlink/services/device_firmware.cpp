// DevFwUpdate: the platform's device firmware list (GABI class 0x8002), stored or
// at run time. Fixed block sizes instead of the directory's; the list is handed
// to the caller in one block from the caller heap.
#include <cstddef>

#include "hwlink/frame/caller_memory.h"
#include "hwlink/frame/gabi_layout.h"
#include "hwlink/frame/service_call.h"
#include "hwlink/services/device_firmware_reply.h"

namespace hwlink {

namespace {

static_assert(sizeof(DeviceFirmwareRecord) == 40 && offsetof(DeviceFirmwareRecord, word) == 16 &&
              offsetof(DeviceFirmwareRecord, value64) == 24 && offsetof(DeviceFirmwareRecord, value32) == 32);

constexpr std::uint16_t kStoredInformation = 4;
constexpr std::uint16_t kRuntimeInformation = 5;
constexpr std::size_t kBlockSize = 0x400;        // input blocks, and the information output
constexpr std::size_t kSessionOutputSize = 8;    // enter and exit output
constexpr std::uint16_t kInformationWord = 1;    // output word 2 of the information call

class DeviceFirmwareRequest final : public ServiceRequest {
public:
    explicit DeviceFirmwareRequest(std::uint16_t fn) {
        serviceClass = gabi::kClassDeviceFirmware;
        function = fn;
        inputSize = kBlockSize;
        exitWordsOnSuccess = true;
    }
    std::size_t OutputSize(Step step, std::size_t) const override {
        return step == Step::kFunction ? kBlockSize : kSessionOutputSize;
    }
    void SetUpOutput(Step step, Bytes output, std::uint32_t) const override {
        if (step == Step::kFunction) output.Put16(gabi::kOutputWord, kInformationWord);
    }
    // A count above what the block holds cannot be read.
    Status TakeResults(Bytes output) override {
        return devfw::ReadDeviceFirmwareList(output, list) ? status::kOk : status::kRequestTooLarge;
    }

    devfw::DeviceFirmwareList list;
};

// The status outputs are not zeroed on entry: a failing directory query leaves
// every output as it was. Value, count and records are stored only after a good exit.
Status GetDeviceFirmware(std::uint16_t fn, std::uint32_t* value, std::uint16_t* count,
                         DeviceFirmwareRecord** records, const StatusOutputs& outputs) {
    if (!value || !count || !records) return status::kInvalidArgument;
    DeviceFirmwareRequest request(fn);
    const Status s = RunServiceCall(request, outputs);
    if (s != status::kOk) return s;
    *value = request.list.value;
    *count = request.list.count;
    if (request.list.count == 0) return status::kOk;
    const std::size_t size = request.list.count * sizeof(DeviceFirmwareRecord);
    void* block = AllocateForCaller(size);
    if (!block) return status::kResultAllocFailed;
    CopyMemory(block, request.list.records, size);
    *records = static_cast<DeviceFirmwareRecord*>(block);
    return status::kOk;
}

}  // namespace

}  // namespace hwlink

using namespace hwlink;

extern "C" {

std::uint32_t HWLINK_STDCALL GABI_DevFwUpdate_GetDeviceFirmwareInfo(std::uint32_t* value, std::uint16_t* count,
                                                                    DeviceFirmwareRecord** records,
                                                                    std::uint16_t* status1, std::uint16_t* status2,
                                                                    std::uint16_t* status3) {
    return GetDeviceFirmware(kStoredInformation, value, count, records, StatusOutputs(status1, status2, status3));
}

std::uint32_t HWLINK_STDCALL GABI_DevFwUpdate_GetDeviceFirmwareRuntimeInfo(std::uint32_t* value,
                                                                           std::uint16_t* count,
                                                                           DeviceFirmwareRecord** records,
                                                                           std::uint16_t* status1,
                                                                           std::uint16_t* status2,
                                                                           std::uint16_t* status3) {
    return GetDeviceFirmware(kRuntimeInformation, value, count, records, StatusOutputs(status1, status2, status3));
}

}  // extern "C"
