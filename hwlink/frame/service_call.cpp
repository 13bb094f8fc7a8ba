#include "hwlink/frame/service_call.h"

namespace hwlink {

namespace {

constexpr std::size_t kMaxInputBlock = 0xFFFF;  // its length word is 16 bits

std::size_t Larger(std::size_t a, std::size_t b) { return a > b ? a : b; }

}  // namespace

CallOutcome ServiceRequest::Enter(ServiceCall& call) { return call.Send(Step::kEnter); }

Status ServiceRequest::Failure(Step step, const CallOutcome& /*outcome*/) const {
    switch (step) {
    case Step::kEnter:
        return status::kEnterFailed;
    case Step::kFunction:
        return status::kFunctionFailed;
    default:
        return status::kExitFailed;
    }
}

Bytes ServiceCall::Output(Step step) const {
    return output_.bytes().Sub(0, request_.OutputSize(step, directorySize_));
}

std::uint32_t ServiceCall::ReturnedHandle() const {
    std::uint32_t handle = 0;
    Output(Step::kEnter).Get32(gabi::kOutputHandle, handle);
    return handle;
}

CallOutcome ServiceCall::Send(Step step, bool freshOutput) {
    const ServiceRequest& r = request_;
    const bool function = step == Step::kFunction;
    const Bytes control = control_.bytes(), input = input_.bytes(), output = Output(step);

    gabi::InitControlBlock(control, r.serviceClass,
                           function ? r.function : step == Step::kEnter ? gabi::kFunctionEnter : gabi::kFunctionExit,
                           function ? r.category : r.sessionCategory);
    if (r.freshInput) input.Zero();
    const std::uint16_t version = function ? r.version : step == Step::kEnter ? r.EnterVersion() : gabi::kVersion1;
    const std::uint32_t handle = step == Step::kEnter ? 0 : handle_;
    gabi::WriteInputHeader(input, version, handle);
    CallOutcome outcome;
    if (step == Step::kEnter && !r.WriteEnterArguments(input)) {
        outcome.status = status::kRequestTooLarge;
        return outcome;
    }
    if (function) r.WriteArguments(input);
    if (step == Step::kExit) r.WriteExitArguments(input);
    if (freshOutput)
        gabi::InitOutputBlock(output, r.outputWord);
    else
        output.Put16(gabi::kOutputLength, static_cast<std::uint16_t>(output.size()));
    r.SetUpOutput(step, output, handle);

    std::uint32_t code = r.code;
    ExtraPart extra;
    outcome.status = r.Extended(step, code, extra) ? CallFirmware(code, control, input, output, &extra)
                                                   : CallFirmware(code, control, input, output);
    outcome.words = gabi::ReadStatusWords(control);
    return outcome;
}

Status RunServiceCall(ServiceRequest& request, const StatusOutputs& outputs) {
    if (request.inputSize < gabi::kInputArguments) return status::kInvalidArgument;
    ServiceCall call(request);
    Status s = call.control_.Allocate(gabi::kControlBlockSize);
    if (s != status::kOk) return s;

    std::uint8_t reply[gabi::kDirectoryReplySize] = {};
    const Bytes directory(reply, sizeof reply);
    const std::uint16_t directoryClass = request.directoryClass ? request.directoryClass : request.serviceClass;
    s = QueryServiceDirectory(directoryClass, directory, call.control_.bytes());
    if (s != status::kOk) return s;
    std::uint16_t directorySize = 0;
    directory.Get16(gabi::kDirectoryOutputSize, directorySize);
    call.directorySize_ = directorySize;

    const std::size_t enterSize = request.OutputSize(Step::kEnter, directorySize);
    const std::size_t functionSize = request.OutputSize(Step::kFunction, directorySize);
    const std::size_t exitSize = request.OutputSize(Step::kExit, directorySize);
    if (enterSize < gabi::kOutputHeaderSize || exitSize < gabi::kOutputHeaderSize ||
        functionSize < Larger(request.minimumOutput, gabi::kOutputHeaderSize))
        return status::kInvalidArgument;
    if (request.inputSize > kMaxInputBlock) {
        SetLastError(ERROR_OUTOFMEMORY);
        return status::kRequestTooLarge;
    }
    if ((s = call.input_.Allocate(request.inputSize)) != status::kOk) return s;
    if ((s = call.output_.Allocate(Larger(Larger(enterSize, functionSize), exitSize))) != status::kOk) return s;
    if ((s = request.CheckBlocks(functionSize)) != status::kOk) return s;

    CallOutcome outcome = request.Enter(call);
    if (outcome.Unsent()) return outcome.status;  // nothing reached the firmware, so no exit either
    if (!request.Accepts(Step::kEnter, outcome)) {
        outputs.Store(outcome.words);
        return request.Failure(Step::kEnter, outcome);
    }
    call.handle_ = call.ReturnedHandle();

    while (!request.Accepts(Step::kFunction, outcome = call.Send(Step::kFunction))) {
        if (request.Retry(outcome)) continue;
        outputs.Store(outcome.words);
        call.Send(Step::kExit);  // its outcome does not change the failure
        return request.Failure(Step::kFunction, outcome);
    }
    outputs.Store(outcome.words);
    s = request.TakeResults(call.Output(Step::kFunction));
    if (s != status::kOk) {
        call.Send(Step::kExit);
        return s;
    }

    outcome = call.Send(Step::kExit);
    if (!request.Accepts(Step::kExit, outcome)) {
        outputs.Store(outcome.words);
        return request.Failure(Step::kExit, outcome);
    }
    if (request.exitWordsOnSuccess) outputs.Store(outcome.words);
    return status::kOk;
}

}  // namespace hwlink
