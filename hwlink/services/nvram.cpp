// NVRAMAPI: named firmware data items and the store's header record (GABI class
// 7), through the NVRAM service request. The service is entered with a
// credential. Items a get returns live in one block from the caller heap, which
// the caller releases with GABI_NVRAMAPI_FreeMemory; large sets are split into as
// many requests as they need.
#include <cstddef>

#include "hwlink/frame/caller_memory.h"
#include "hwlink/frame/gabi_layout.h"
#include "hwlink/frame/service_call.h"
#include "hwlink/services/nvram_layout.h"

namespace hwlink {

namespace {

#if defined(__i386__)
static_assert(sizeof(NvramEntry) == 48 && offsetof(NvramEntry, attributes) == 16 &&
              offsetof(NvramEntry, name) == 20 && offsetof(NvramEntry, nameSize) == 24 &&
              offsetof(NvramEntry, data) == 32 && offsetof(NvramEntry, unused) == 36 &&
              offsetof(NvramEntry, dataSize) == 40);
#endif
static_assert(sizeof(NvramHeader) == 44 && offsetof(NvramHeader, fields) == 4 &&
              offsetof(NvramHeader, extraCount) == 40);

constexpr std::uint16_t kGet = 3;
constexpr std::uint16_t kSet = 4;
constexpr std::uint16_t kCategory = 1;        // every call
constexpr std::uint16_t kOutputWord = 1;      // output offset 2, every call
constexpr std::uint64_t kEnterValue = 2;      // output offset 8 of the enter
constexpr std::size_t kHeaderRecordV2 = 48;   // + 4k: the record a _V2 get returns
constexpr std::size_t kExtraCountAt = 40;     // in a type 2 record
constexpr std::size_t kExtraAt = 44;

struct Credential {
    std::uint16_t kind = 0;
    const std::uint8_t* bytes = nullptr;
    std::uint32_t length = 0;
};

class NvramRequest : public ServiceRequest {
public:
    NvramRequest(std::uint16_t fn, std::uint16_t parameterVersion, const Credential& credential)
        : credential_(credential) {
        serviceClass = gabi::kClassNvram;
        function = fn;
        version = parameterVersion;
        category = sessionCategory = kCategory;
        outputWord = kOutputWord;
        code = ioctl::kNvramCall;
        minimumOutput = nvram::kPayloadAt;
    }
    Status CheckBlocks(std::size_t) const override {
        return nvram::CredentialFits(inputSize, credential_.length) ? status::kOk : status::kRequestTooLarge;
    }
    bool WriteEnterArguments(Bytes input) const override {
        return nvram::WriteCredential(input, credential_.kind, credential_.bytes, credential_.length);
    }
    // The exit carries no payload.
    void WriteExitArguments(Bytes input) const override {
        input.Put32(nvram::kLengthAt, 0);
        input.Put32(nvram::kLengthAt + 4, 0);
    }
    void SetUpOutput(Step step, Bytes output, std::uint32_t handle) const override {
        output.Put32(gabi::kOutputHandle, handle);
        const std::uint64_t value =
            step == Step::kEnter ? kEnterValue : step == Step::kFunction ? FunctionValue(output) : 0;
        output.Put32(nvram::kLengthAt, static_cast<std::uint32_t>(value));
        output.Put32(nvram::kLengthAt + 4, static_cast<std::uint32_t>(value >> 32));
    }

protected:
    virtual std::uint64_t FunctionValue(Bytes /*output*/) const { return 0; }

private:
    Credential credential_;
};

// Get (function 3): the name list in, the header and the items back.
class GetRequest final : public NvramRequest {
public:
    GetRequest(bool v2, const Credential& credential, std::uint16_t firstWord, const nvram::Names& names)
        : NvramRequest(kGet, v2 ? gabi::kVersion2 : gabi::kVersion1, credential), v2_(v2), firstWord_(firstWord),
          names_(names) {}

    Status CheckBlocks(std::size_t outputSize) const override {
        std::uint64_t size = 0;
        if (!nvram::NamesSize(names_, size) || nvram::kPayloadAt + 4 + size > inputSize)
            return status::kRequestTooLarge;
        return NvramRequest::CheckBlocks(outputSize);
    }
    void WriteArguments(Bytes input) const override { nvram::WriteNameList(input, firstWord_, names_); }
    std::uint64_t FunctionValue(Bytes output) const override { return output.size() - nvram::kPayloadAt; }

    // The reply goes to the caller only when all of it can: checked, then the
    // blocks allocated, then stored.
    Status TakeResults(Bytes output) override {
        nvram::GetReply reply;
        switch (nvram::ReadGetReply(output, reply)) {
        case nvram::ReplyCheck::kOk:
            break;
        default:
            return status::kRequestTooLarge;
        }
        if (!v2_ && reply.type != gabi::kVersion1) return status::kBufferTooSmall;  // the caller's record is type 1
        const std::size_t entriesSize = reply.count * sizeof(NvramEntry) + reply.dataBytes;
        void* entries = AllocateForCaller(entriesSize);
        if (!entries) return status::kAllocFailed;
        void* header = nullptr;
        const std::size_t headerSize = kHeaderRecordV2 + 4 * std::size_t{reply.extraCount};
        if (v2_ && !(header = AllocateForCaller(headerSize))) {
            FreeForCaller(entries);
            return status::kAllocFailed;
        }
        nvram::FillEntries(reply, Bytes(static_cast<std::uint8_t*>(entries), entriesSize));
        if (v2_)
            nvram::FillHeaderRecord(reply, Bytes(static_cast<std::uint8_t*>(header), headerSize));
        else
            reply.header.Read(0, callerHeader, HWLINK_NVRAM_HEADER1_SIZE);
        result.entries = static_cast<NvramEntry*>(entries);
        result.header = static_cast<NvramHeader*>(header);
        result.count = reply.count;
        result.headerWord = reply.headerWord;
        taken = true;
        return status::kOk;
    }

    NvramHeader* callerHeader = nullptr;  // the type 1 record of the first form
    struct {
        NvramEntry* entries = nullptr;
        NvramHeader* header = nullptr;
        std::uint32_t count = 0;
        std::uint16_t headerWord = 0;
    } result;
    bool taken = false;

private:
    bool v2_;
    std::uint16_t firstWord_;
    nvram::Names names_;
};

// Set (function 4): one request's share of the entries.
class SetRequest final : public NvramRequest {
public:
    SetRequest(const nvram::SetHeader& header, const Credential& credential, std::uint16_t firstWord,
               std::uint16_t secondWord, const nvram::Names& names, const NvramEntry* entries, std::uint32_t count,
               std::uint64_t payloadSize)
        : NvramRequest(kSet, header.version, credential), header_(header), firstWord_(firstWord),
          secondWord_(secondWord), names_(names), entries_(entries), count_(count), payloadSize_(payloadSize) {
        inputSize = static_cast<std::size_t>(payloadSize + nvram::kPayloadAt);
    }
    void WriteArguments(Bytes input) const override {
        input.Put32(nvram::kLengthAt, static_cast<std::uint32_t>(payloadSize_));
        input.Put32(nvram::kLengthAt + 4, 0);
        nvram::WriteSetPayload(input.Sub(nvram::kPayloadAt, input.size() - nvram::kPayloadAt), firstWord_,
                               secondWord_, header_, names_, entries_, count_);
    }

private:
    nvram::SetHeader header_;
    std::uint16_t firstWord_, secondWord_;
    nvram::Names names_;
    const NvramEntry* entries_;
    std::uint32_t count_;
    std::uint64_t payloadSize_;
};

bool ValidNames(const nvram::Names& names) {
    if (names.count == 0) return true;
    if (!names.names || !names.guids) return false;
    for (std::uint32_t i = 0; i < names.count; ++i)
        if (!names.names[i]) return false;
    return true;
}

bool ValidEntries(const NvramEntry* entries, std::uint32_t count) {
    if (!entries) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!entries[i].name && static_cast<std::uint32_t>(entries[i].nameSize)) return false;
        if (!entries[i].data && static_cast<std::uint32_t>(entries[i].dataSize)) return false;
    }
    return true;
}

Credential MakeCredential(std::uint32_t kind, const void* bytes, std::uint32_t length) {
    Credential c;
    c.kind = static_cast<std::uint16_t>(kind);
    c.bytes = static_cast<const std::uint8_t*>(bytes);
    c.length = length;
    return c;
}

nvram::Names MakeNames(const std::uint16_t* const* names, const std::uint8_t* guids, std::uint32_t count) {
    nvram::Names n;
    n.names = names;
    n.guids = guids;
    n.count = count;
    return n;
}

Status Get(bool v2, const Credential& credential, std::uint32_t firstWord, const nvram::Names& names,
           std::uint16_t* headerWord, NvramHeader* callerHeader, NvramHeader** headerOut, NvramEntry** entries,
           std::uint32_t* count, const StatusOutputs& outputs) {
    if ((credential.length && !credential.bytes) || !ValidNames(names) || !headerWord || !entries || !count ||
        (v2 ? !headerOut : !callerHeader))
        return status::kInvalidArgument;
    outputs.Zero();
    GetRequest request(v2, credential, static_cast<std::uint16_t>(firstWord), names);
    request.callerHeader = callerHeader;
    const Status s = RunServiceCall(request, outputs);
    // A failing exit leaves the results stored, as a good one does.
    if (request.taken) {
        *entries = request.result.entries;
        *count = request.result.count;
        *headerWord = request.result.headerWord;
        if (v2) *headerOut = request.result.header;
    }
    return s;
}

Status Set(std::uint16_t version, const Credential& credential, std::uint32_t firstWord, std::uint32_t secondWord,
           const NvramHeader* record, const nvram::Names& names, const NvramEntry* entries, std::uint32_t count,
           const StatusOutputs& outputs) {
    if ((credential.length && !credential.bytes) || !ValidNames(names) || (count && !ValidEntries(entries, count)))
        return status::kInvalidArgument;
    outputs.Zero();
    if (count == 0) return status::kOk;
    if (!record) return status::kRequestTooLarge;

    nvram::SetHeader header;
    header.version = version;
    auto* bytes = reinterpret_cast<std::uint8_t*>(const_cast<NvramHeader*>(record));  // only read
    if (version == gabi::kVersion1) {
        header.record = Bytes(bytes, HWLINK_NVRAM_HEADER1_SIZE);
    } else {
        header.extraCount = record->extraCount;
        // k words must stay within a block before the record's length is believed.
        if (header.extraCount > nvram::kMaxBlock / 4) return status::kRequestTooLarge;
        header.record = Bytes(bytes, kExtraAt + 4 * std::size_t{header.extraCount});
    }
    const std::uint64_t base = nvram::SetBaseSize(header, names);
    for (std::uint32_t sent = 0; sent < count;) {
        std::uint64_t payloadSize = 0;
        const std::uint32_t n = nvram::EntriesPerRequest(base, entries + sent, count - sent, payloadSize);
        if (n == 0) return status::kRequestTooLarge;  // not even one entry fits a request
        SetRequest request(header, credential, static_cast<std::uint16_t>(firstWord),
                           static_cast<std::uint16_t>(secondWord), names, entries + sent, n, payloadSize);
        const Status s = RunServiceCall(request, outputs);
        if (s != status::kOk) return s;
        sent += n;
    }
    return status::kOk;
}

}  // namespace

}  // namespace hwlink

using namespace hwlink;

extern "C" {

std::uint32_t HWLINK_STDCALL GABI_NVRAMAPI_GetNvramData(
    std::uint32_t credentialKind, const void* credential, std::uint32_t credentialLength, std::uint32_t firstWord,
    const std::uint16_t* const* names, const std::uint8_t* guids, std::uint32_t nameCount, std::uint16_t* headerWord,
    NvramHeader* header, NvramEntry** entries, std::uint32_t* entryCount, std::uint16_t* status1,
    std::uint16_t* status2, std::uint16_t* status3) {
    return Get(false, MakeCredential(credentialKind, credential, credentialLength), firstWord,
               MakeNames(names, guids, nameCount), headerWord, header, nullptr, entries, entryCount,
               StatusOutputs(status1, status2, status3));
}

std::uint32_t HWLINK_STDCALL GABI_NVRAMAPI_GetNvramData_V2(
    std::uint32_t credentialKind, const void* credential, std::uint32_t credentialLength, std::uint32_t firstWord,
    const std::uint16_t* const* names, const std::uint8_t* guids, std::uint32_t nameCount, std::uint16_t* headerWord,
    NvramHeader** header, NvramEntry** entries, std::uint32_t* entryCount, std::uint16_t* status1,
    std::uint16_t* status2, std::uint16_t* status3) {
    return Get(true, MakeCredential(credentialKind, credential, credentialLength), firstWord,
               MakeNames(names, guids, nameCount), headerWord, nullptr, header, entries, entryCount,
               StatusOutputs(status1, status2, status3));
}

std::uint32_t HWLINK_STDCALL GABI_NVRAMAPI_SetNvramData(
    std::uint32_t credentialKind, const void* credential, std::uint32_t credentialLength, std::uint32_t firstWord,
    std::uint32_t secondWord, const NvramHeader* header, const std::uint16_t* const* names, const std::uint8_t* guids,
    std::uint32_t nameCount, const NvramEntry* entries, std::uint32_t entryCount, std::uint16_t* status1,
    std::uint16_t* status2, std::uint16_t* status3) {
    return Set(gabi::kVersion1, MakeCredential(credentialKind, credential, credentialLength), firstWord, secondWord,
               header, MakeNames(names, guids, nameCount), entries, entryCount,
               StatusOutputs(status1, status2, status3));
}

std::uint32_t HWLINK_STDCALL GABI_NVRAMAPI_SetNvramData_V2(
    std::uint32_t credentialKind, const void* credential, std::uint32_t credentialLength, std::uint32_t firstWord,
    std::uint32_t secondWord, const NvramHeader* header, const std::uint16_t* const* names, const std::uint8_t* guids,
    std::uint32_t nameCount, const NvramEntry* entries, std::uint32_t entryCount, std::uint16_t* status1,
    std::uint16_t* status2, std::uint16_t* status3) {
    return Set(gabi::kVersion2, MakeCredential(credentialKind, credential, credentialLength), firstWord, secondWord,
               header, MakeNames(names, guids, nameCount), entries, entryCount,
               StatusOutputs(status1, status2, status3));
}

}  // extern "C"
