// The service call sequence every firmware service export runs: directory query,
// enter, function, exit. Service families differ in class, function, arguments,
// block sizes, how a call travels and how a failure is reported; a ServiceRequest
// describes that with a few fields and hooks, and RunServiceCall is the one
// control flow.
//
// The input block is allocated zero-filled once per run, and each call writes only
// its own fields (length, version, handle, its arguments): what a call does not
// write keeps what an earlier call put there. The control block is set up afresh
// for every call, the output block too unless a hook asks to keep it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "hwlink/frame/bytes.h"
#include "hwlink/frame/device_channel.h"
#include "hwlink/frame/gabi_call.h"
#include "hwlink/frame/gabi_layout.h"
#include "hwlink/frame/global_block.h"
#include "hwlink/frame/status.h"

namespace hwlink {

// The caller's 16-bit status outputs; any may be null, exports with fewer outputs
// leave the last ones null.
class StatusOutputs {
public:
    StatusOutputs(std::uint16_t* word1 = nullptr, std::uint16_t* word2 = nullptr, std::uint16_t* word3 = nullptr,
                  std::uint16_t* word4 = nullptr)
        : word1_(word1), word2_(word2), word3_(word3), word4_(word4) {}

    void Zero() const { Store(gabi::StatusWords{}); }
    void Store(const gabi::StatusWords& words) const {
        if (word1_) *word1_ = words.word1;
        if (word2_) *word2_ = words.word2;
        if (word3_) *word3_ = words.word3;
        if (word4_) *word4_ = words.word4;
    }

private:
    std::uint16_t* word1_;
    std::uint16_t* word2_;
    std::uint16_t* word3_;
    std::uint16_t* word4_;
};

enum class Step { kEnter, kFunction, kExit };

// What one firmware call came back with: the request's own status (kOk when it
// travelled) and the control block's status words after it.
struct CallOutcome {
    Status status = status::kOk;
    gabi::StatusWords words;

    bool Travelled() const { return status == status::kOk; }
    // The sequence's rule: travelled, and status words 1 and 2 both 1.
    bool Succeeded() const { return Travelled() && words.Succeeded(); }
    // The call was not sent: its arguments do not fit its block (no device request
    // reports this status).
    bool Unsent() const { return status == status::kRequestTooLarge; }
    // A failure as a status of its own: the request's, or kFirmwareBase when only
    // the status words refused.
    Status OwnStatus() const { return Travelled() ? status::kFirmwareBase : status; }
};

class ServiceCall;

// One service export's request. Fields have the common values; a family sets what
// differs and overrides the hooks it needs.
class ServiceRequest {
public:
    std::uint16_t serviceClass = 0;           // enter, function and exit
    std::uint16_t directoryClass = 0;         // the directory query; 0: serviceClass
    std::uint16_t function = 0;
    std::uint16_t version = gabi::kVersion1;  // parameter version of the function call
    std::uint16_t category = 0;               // control block offset 12 of the function call
    std::uint16_t sessionCategory = 0;        // the same for enter and exit
    std::uint16_t outputWord = 0;             // output block offset 2, every call
    std::uint32_t code = ioctl::kGabiCall;    // the request that carries enter, function, exit
    std::size_t inputSize = gabi::kInputBlockSize;  // one input block for all three calls
    // The smallest output block the function's results fit in. A smaller one is
    // refused with kInvalidArgument before any call, as a directory size of 0 is.
    std::size_t minimumOutput = gabi::kOutputHeaderSize;
    bool freshInput = false;          // zero the input block before every call
    bool exitWordsOnSuccess = false;  // a good run hands over the exit's words, not the function's

    // Output block size of a call; the directory's size unless the family fixes it.
    virtual std::size_t OutputSize(Step /*step*/, std::size_t directorySize) const { return directorySize; }
    // After the directory query and the block allocation, before the enter: a
    // family's own refusal (kRequestTooLarge for data that cannot fit, say).
    virtual Status CheckBlocks(std::size_t /*outputSize*/) const { return status::kOk; }
    // Parameter version of the enter call.
    virtual std::uint16_t EnterVersion() const { return gabi::kVersion1; }
    // Arguments from input offset 8 of the enter call (a credential, say). False
    // when they do not fit the input block: that enter is not sent, and the run
    // ends with kRequestTooLarge.
    virtual bool WriteEnterArguments(Bytes /*input*/) const { return true; }
    // Arguments from input offset 8 of the function call.
    virtual void WriteArguments(Bytes /*input*/) const {}
    // Fields from input offset 8 that the exit writes itself.
    virtual void WriteExitArguments(Bytes /*input*/) const {}
    // Output block fields beyond its length word and word 2, set before each call.
    virtual void SetUpOutput(Step /*step*/, Bytes /*output*/, std::uint32_t /*handle*/) const {}
    // A call that travels as a GabiExtendedFrame: fills `code` and `extra`.
    virtual bool Extended(Step /*step*/, std::uint32_t& /*code*/, ExtraPart& /*extra*/) const { return false; }
    // Whether a call's outcome counts as success.
    virtual bool Accepts(Step /*step*/, const CallOutcome& outcome) const { return outcome.Succeeded(); }
    // The enter: one call, or a family's strategy of several (ServiceCall::Send);
    // returns the outcome that decides.
    virtual CallOutcome Enter(ServiceCall& call);
    // A failed function call may be sent again: change the request and return
    // true. Sees whether the call travelled as well as its words.
    virtual bool Retry(const CallOutcome& /*failed*/) { return false; }
    // Results of a successful function call, taken before the exit is sent. A
    // failure (a reply that overruns its block) ends the run after an exit.
    virtual Status TakeResults(Bytes /*output*/) { return status::kOk; }
    // The export's status when a step fails: kEnterFailed, kFunctionFailed or
    // kExitFailed unless the family reports otherwise.
    virtual Status Failure(Step step, const CallOutcome& outcome) const;

protected:
    ~ServiceRequest() = default;
};

// The blocks of one run and the primitive that sends one call over them.
class ServiceCall {
public:
    explicit ServiceCall(ServiceRequest& request) : request_(request) {}
    ServiceCall(const ServiceCall&) = delete;
    ServiceCall& operator=(const ServiceCall&) = delete;

    // Sends one call of `step`. `freshOutput` false keeps the output block's
    // content and rewrites only its length word.
    CallOutcome Send(Step step, bool freshOutput = true);
    // The service handle an enter left at output offset 4.
    std::uint32_t ReturnedHandle() const;

private:
    friend Status RunServiceCall(ServiceRequest& request, const StatusOutputs& outputs);
    Bytes Output(Step step) const;

    ServiceRequest& request_;
    GlobalBlock control_;
    GlobalBlock input_;
    GlobalBlock output_;
    std::size_t directorySize_ = 0;
    std::uint32_t handle_ = 0;
};

// Runs the sequence. Returns 0, a failure of the directory query or of the block
// allocation as it is, or the family's status for a failing step, with that call's
// status words stored into `outputs` (after a successful function call its words
// are stored; a failing exit replaces them). The caller zeroes the outputs on entry
// where its family does.
Status RunServiceCall(ServiceRequest& request, const StatusOutputs& outputs);

}  // namespace hwlink
