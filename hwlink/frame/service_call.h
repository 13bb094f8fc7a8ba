// The service call sequence every firmware service export runs: directory query,
// enter, function, exit. Service families differ in class, function, arguments
// and results, which a ServiceRequest describes; the control flow is RunServiceCall's.
#pragma once
#include <cstddef>
#include <cstdint>

#include "hwlink/frame/bytes.h"
#include "hwlink/frame/gabi_layout.h"
#include "hwlink/frame/status.h"

namespace hwlink {

// The caller's 16-bit status outputs; any may be null, exports with fewer outputs
// leave the last ones null.
class StatusOutputs {
public:
    StatusOutputs(std::uint16_t* word1, std::uint16_t* word2, std::uint16_t* word3 = nullptr,
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

// One service export's request. Fields have the common values; a family sets what
// differs and overrides the hooks it needs.
class ServiceRequest {
public:
    std::uint16_t serviceClass = 0;       // enter, function and exit
    std::uint16_t directoryClass = 0;     // the directory query; 0: serviceClass
    std::uint16_t function = 0;
    std::uint16_t version = gabi::kVersion1;  // parameter version of the function call
    std::uint16_t category = 0;           // control block offset 12, every call
    std::uint16_t outputWord = 0;         // output block offset 2, every call
    std::size_t inputSize = gabi::kInputBlockSize;  // one input block for all three calls
    // The smallest output block the results fit in. A directory size below it is
    // refused with kInvalidArgument before any call, as a size of 0 is.
    std::size_t minimumOutput = gabi::kOutputHeaderSize;

    // Arguments from input offset 8 of the enter call (a credential, say).
    virtual void WriteEnterArguments(Bytes /*input*/) const {}
    // Arguments from input offset 8 of the function call.
    virtual void WriteArguments(Bytes /*input*/) const {}
    // Results of a successful function call; taken before the exit is sent.
    virtual void TakeResults(Bytes /*output*/) {}
    // A failed function call may be sent once more: change the request and return
    // true. Words are those of the failed call.
    virtual bool Retry(const gabi::StatusWords& /*failed*/) { return false; }

protected:
    ~ServiceRequest() = default;
};

// Runs the sequence. Returns 0, a failure of the directory query or of the block
// allocation as it is, or kEnterFailed / kFunctionFailed / kExitFailed with the
// failing call's status words stored into `outputs` (after a successful function
// call its words are stored; a failing exit replaces them). The caller zeroes the
// outputs on entry where its family does.
Status RunServiceCall(ServiceRequest& request, const StatusOutputs& outputs);

}  // namespace hwlink
