#include "hwlink/frame/service_call.h"

#include "hwlink/frame/gabi_call.h"
#include "hwlink/frame/global_block.h"

namespace hwlink {

namespace {

struct Blocks {
    GlobalBlock control;
    GlobalBlock input;
    GlobalBlock output;
};

enum class Step { kEnter, kFunction, kExit };

// One firmware call of the sequence over freshly set-up blocks. Success needs the
// call to travel and status words 1 and 2 both to be 1; a call that travelled with
// other words is kFirmwareBase. `words` are the control block's after the call.
Status Send(const ServiceRequest& request, Step step, std::uint32_t handle, Blocks& blocks,
            gabi::StatusWords& words) {
    const Bytes control = blocks.control.bytes(), input = blocks.input.bytes(), output = blocks.output.bytes();
    const std::uint16_t function = step == Step::kEnter   ? gabi::kFunctionEnter
                                   : step == Step::kExit ? gabi::kFunctionExit
                                                          : request.function;
    const std::uint16_t version = step == Step::kFunction ? request.version : gabi::kVersion1;
    gabi::InitControlBlock(control, request.serviceClass, function, request.category);
    gabi::InitInputBlock(input, version, step == Step::kEnter ? 0 : handle);
    if (step == Step::kEnter) request.WriteEnterArguments(input);
    if (step == Step::kFunction) request.WriteArguments(input);
    gabi::InitOutputBlock(output, request.outputWord);
    const Status s = CallGabi(control, input, output);
    words = gabi::ReadStatusWords(control);
    if (s != status::kOk) return s;
    return words.Succeeded() ? status::kOk : status::kFirmwareBase;
}

}  // namespace

Status RunServiceCall(ServiceRequest& request, const StatusOutputs& outputs) {
    if (request.inputSize < gabi::kInputArguments || request.inputSize > 0xFFFF) return status::kInvalidArgument;
    Blocks blocks;
    Status s = blocks.control.Allocate(gabi::kControlBlockSize);
    if (s != status::kOk) return s;

    std::uint8_t reply[gabi::kDirectoryReplySize] = {};
    const Bytes directory(reply, sizeof reply);
    const std::uint16_t directoryClass = request.directoryClass ? request.directoryClass : request.serviceClass;
    s = QueryServiceDirectory(directoryClass, directory, blocks.control.bytes());
    if (s != status::kOk) return s;
    std::uint16_t outputSize = 0;
    directory.Get16(gabi::kDirectoryOutputSize, outputSize);
    if (outputSize == 0 || outputSize < request.minimumOutput) return status::kInvalidArgument;

    if ((s = blocks.input.Allocate(request.inputSize)) != status::kOk) return s;
    if ((s = blocks.output.Allocate(outputSize)) != status::kOk) return s;

    gabi::StatusWords words;
    if (Send(request, Step::kEnter, 0, blocks, words) != status::kOk) {
        outputs.Store(words);
        return status::kEnterFailed;
    }
    std::uint32_t handle = 0;
    blocks.output.bytes().Get32(gabi::kOutputHandle, handle);

    while (Send(request, Step::kFunction, handle, blocks, words) != status::kOk) {
        if (request.Retry(words)) continue;
        outputs.Store(words);
        gabi::StatusWords ignored;
        Send(request, Step::kExit, handle, blocks, ignored);
        return status::kFunctionFailed;
    }
    request.TakeResults(blocks.output.bytes());
    outputs.Store(words);

    if (Send(request, Step::kExit, handle, blocks, words) != status::kOk) {
        outputs.Store(words);
        return status::kExitFailed;
    }
    return status::kOk;
}

}  // namespace hwlink
