// SAPI: the firmware setup (GABI class 2): setup items, boot order, the
// default-values property, the password property and the setup passwords. Every
// export enters with the caller's credential; credentials and passwords go into
// the input block and nowhere else.
#include "hwlink/frame/gabi_layout.h"
#include "hwlink/frame/service_call.h"
#include "hwlink/hwlink.h"

namespace hwlink {

namespace {

// Functions and item categories (control block offset 12).
constexpr std::uint16_t kGet = 3;
constexpr std::uint16_t kSet = 4;
constexpr std::uint16_t kCategorySession = 1;  // enter and exit
constexpr std::uint16_t kCategorySetupItem = 1;
constexpr std::uint16_t kCategoryBootOrder = 2;
constexpr std::uint16_t kCategoryPassword = 3;
constexpr std::uint16_t kCategoryDefaults = 5;

// Status word 2 values the firmware asks with.
constexpr std::uint16_t kWantsOtherVersion = 0x101;
constexpr std::uint16_t kWantsEmptyCredential = 0x109;
constexpr std::uint16_t kPasswordStateWord2 = 0x105;
constexpr std::uint16_t kPasswordStateWord4 = 2;

constexpr std::uint8_t kMode1 = 1;
constexpr std::uint8_t kMode2 = 2;
constexpr std::uint16_t kVersion3 = 3;

// Password kind 5 travels in a version 2 property request as kind 4, qualifier 2.
constexpr std::uint16_t kSplitKind = 5;
constexpr std::uint16_t kSplitKindSentAs = 4;

// What fits the 512-byte input block.
constexpr std::size_t kMaxCredential = 499;
constexpr std::size_t kMaxPasswords = 493;  // both strings together
constexpr std::size_t kMaxSetupItem = 496;
constexpr std::size_t kMaxBootOrder = 500;

constexpr std::size_t kArgs = gabi::kInputArguments;

// Caller bytes with a 16-bit length; null only when empty.
struct Text {
    const std::uint8_t* bytes = nullptr;
    std::uint16_t length = 0;

    Text() = default;
    Text(const void* data, std::uint32_t size)
        : bytes(static_cast<const std::uint8_t*>(data)), length(static_cast<std::uint16_t>(size)) {}
    bool Valid() const { return bytes || length == 0; }
    bool Empty() const { return length == 0 || bytes[0] == 0; }
};

struct Credential {
    std::uint16_t kind = 0;
    std::uint8_t mode = kMode1;
    Text text;
};

Credential MakeCredential(std::uint32_t kind, std::uint32_t mode, const void* bytes, std::uint32_t length) {
    Credential c;
    c.kind = static_cast<std::uint16_t>(kind);
    c.mode = static_cast<std::uint8_t>(mode);
    c.text = Text(bytes, length);
    return c;
}

// Every setup request: the credential enter and four status words.
class SetupRequest : public ServiceRequest {
public:
    SetupRequest(std::uint16_t fn, std::uint16_t itemCategory, const Credential& credential)
        : credential_(credential) {
        serviceClass = gabi::kClassSetup;
        function = fn;
        category = itemCategory;
        sessionCategory = kCategorySession;
    }

    Status CheckBlocks(std::size_t) const override {
        return credential_.text.length <= kMaxCredential && DataFits() ? status::kOk : status::kRequestTooLarge;
    }
    std::uint16_t EnterVersion() const override { return enterVersion_; }
    bool WriteEnterArguments(Bytes input) const override {
        if (enterVersion_ == gabi::kVersion1)
            return input.Put16(kArgs, credential_.kind) && input.Put16(kArgs + 2, enterLength_) &&
                   input.Write(kArgs + 4, credential_.text.bytes, enterLength_);
        return input.Put16(kArgs, credential_.kind) && input.Put8(kArgs + 2, enterMode_) &&
               input.Put16(kArgs + 3, enterLength_) && input.Write(kArgs + 5, credential_.text.bytes, enterLength_);
    }

    // Version 1 first in mode 1, then version 2; a version 2 enter that succeeds
    // without a handle counts as asking for the other version. The firmware may
    // then ask for an empty credential (mode 2) or for version 1 once more.
    CallOutcome Enter(ServiceCall& call) override {
        const bool mode1 = credential_.mode == kMode1;
        CallOutcome outcome;
        if (mode1) {
            UseEnter(gabi::kVersion1, kMode1, credential_.text.length);
            outcome = call.Send(Step::kEnter);
            if (outcome.Travelled() && outcome.words.word2 != kWantsOtherVersion) return outcome;
        }
        UseEnter(gabi::kVersion2, credential_.mode, credential_.text.length);
        outcome = call.Send(Step::kEnter, false);  // the same output block, its length rewritten
        if (!outcome.Travelled()) return outcome;
        if (outcome.Succeeded() && call.ReturnedHandle() == 0) outcome.words.word2 = kWantsOtherVersion;
        if (outcome.words.word2 == kWantsEmptyCredential && mode1 && credential_.text.Empty()) {
            UseEnter(gabi::kVersion2, kMode2, 0);
            outcome = call.Send(Step::kEnter);
        } else if (outcome.words.word2 == kWantsOtherVersion && mode1) {
            UseEnter(gabi::kVersion1, kMode1, credential_.text.length);
            outcome = call.Send(Step::kEnter);
        }
        return outcome;
    }

protected:
    virtual bool DataFits() const { return true; }

private:
    void UseEnter(std::uint16_t version, std::uint8_t mode, std::uint16_t length) {
        enterVersion_ = version;
        enterMode_ = mode;
        enterLength_ = length;
    }

    Credential credential_;
    std::uint16_t enterVersion_ = gabi::kVersion1;
    std::uint8_t enterMode_ = kMode1;
    std::uint16_t enterLength_ = 0;
};

// As much of the output from `offset` as the caller's buffer takes.
void CopyTail(Bytes output, std::size_t offset, void* buffer, std::uint16_t length) {
    const std::size_t available = output.size() - offset;  // the output holds at least `offset` bytes
    output.Read(offset, buffer, length < available ? length : available);
}

void StoreWord(Bytes output, std::size_t offset, std::uint16_t* word) {
    if (word) output.Get16(offset, *word);
}

// Get setup item (3, 1): item number in; words at 8 to 14, u32 at 16, data from 20.
class GetItemRequest final : public SetupRequest {
public:
    static constexpr std::size_t kDataAt = 20;
    GetItemRequest(std::uint16_t item, const Credential& credential, std::uint16_t* const (&words)[4],
                   std::uint32_t* word16, void* buffer, std::uint16_t length)
        : SetupRequest(kGet, kCategorySetupItem, credential), item_(item), words_(words), word16_(word16),
          buffer_(buffer), length_(length) {
        minimumOutput = kDataAt;
    }
    void WriteArguments(Bytes input) const override { input.Put16(kArgs, item_); }
    Status TakeResults(Bytes output) override {
        for (std::size_t i = 0; i < 4; ++i) StoreWord(output, kArgs + 2 * i, words_[i]);
        if (word16_) output.Get32(16, *word16_);
        CopyTail(output, kDataAt, buffer_, length_);
        return status::kOk;
    }

private:
    std::uint16_t item_;
    std::uint16_t* const (&words_)[4];
    std::uint32_t* word16_;
    void* buffer_;
    std::uint16_t length_;
};

// Set setup item (4, 1): item, second word, data length, data from 14.
// Set boot order (4, 2): selector, second word, data from 12 without a length.
class SetDataRequest final : public SetupRequest {
public:
    SetDataRequest(std::uint16_t itemCategory, std::uint16_t item, std::uint16_t second, const Text& data,
                   const Credential& credential)
        : SetupRequest(kSet, itemCategory, credential), item_(item), second_(second), data_(data) {}
    bool DataFits() const override {
        return data_.length <= (category == kCategorySetupItem ? kMaxSetupItem : kMaxBootOrder);
    }
    void WriteArguments(Bytes input) const override {
        input.Put16(kArgs, item_);
        input.Put16(kArgs + 2, second_);
        std::size_t at = kArgs + 4;
        if (category == kCategorySetupItem) {
            input.Put16(at, data_.length);
            at += 2;
        }
        input.Write(at, data_.bytes, data_.length);
    }

private:
    std::uint16_t item_, second_;
    Text data_;
};

// Get boot order (3, 2): selector in; words at 8 and 10, data from 12.
// Get default-values property (3, 5): nothing in; words at 8 and 10.
class GetWordsRequest final : public SetupRequest {
public:
    static constexpr std::size_t kDataAt = 12;
    GetWordsRequest(std::uint16_t itemCategory, std::uint16_t selector, const Credential& credential,
                    std::uint16_t* word8, std::uint16_t* word10, void* buffer, std::uint16_t length)
        : SetupRequest(kGet, itemCategory, credential), selector_(selector), word8_(word8), word10_(word10),
          buffer_(buffer), length_(length) {
        minimumOutput = kDataAt;
    }
    void WriteArguments(Bytes input) const override {
        if (category == kCategoryBootOrder) input.Put16(kArgs, selector_);
    }
    Status TakeResults(Bytes output) override {
        StoreWord(output, kArgs, word8_);
        StoreWord(output, kArgs + 2, word10_);
        if (buffer_) CopyTail(output, kDataAt, buffer_, length_);
        return status::kOk;
    }

private:
    std::uint16_t selector_;
    std::uint16_t* word8_;
    std::uint16_t* word10_;
    void* buffer_;
    std::uint16_t length_;
};

// Set default-values property (4, 5): one word.
class SetDefaultsRequest final : public SetupRequest {
public:
    SetDefaultsRequest(std::uint16_t value, const Credential& credential)
        : SetupRequest(kSet, kCategoryDefaults, credential), value_(value) {}
    void WriteArguments(Bytes input) const override { input.Put16(kArgs, value_); }

private:
    std::uint16_t value_;
};

// Password property (3, 3): version 1 first in mode 1, then version 3 (kind and
// selector); version 1 again when the firmware asks (0x101, or 0x105 with word 4
// = 2), and version 2 when it asks once more. Data from output 8.
class PasswordPropertyRequest final : public SetupRequest {
public:
    static constexpr std::size_t kDataAt = 8;
    PasswordPropertyRequest(std::uint16_t kind, std::uint16_t selector, const Credential& credential, void* buffer,
                            std::uint16_t length)
        : SetupRequest(kGet, kCategoryPassword, credential), kind_(kind), selector_(selector),
          mode1_(credential.mode == kMode1), buffer_(buffer), length_(length) {
        version = mode1_ ? gabi::kVersion1 : kVersion3;
        minimumOutput = kDataAt;
    }
    void WriteArguments(Bytes input) const override {
        if (version == gabi::kVersion2) {
            const bool split = kind_ == kSplitKind;
            input.Put16(kArgs, split ? kSplitKindSentAs : kind_);
            input.Put16(kArgs + 4, split ? 2 : 1);
            return;
        }
        input.Put16(kArgs, kind_);
        if (version == kVersion3) input.Put16(kArgs + 2, selector_);
    }
    bool Retry(const CallOutcome& failed) override {
        const std::uint16_t word2 = failed.words.word2;
        switch (attempt_++) {
        case 0:
            if (mode1_) {  // version 1 answered
                if (failed.Travelled() && word2 != kWantsOtherVersion) return false;
                version = kVersion3;
                return true;
            }
            [[fallthrough]];
        case 1:  // version 3 answered
            if (!failed.Travelled()) return false;
            if (word2 == kWantsOtherVersion || (word2 == kPasswordStateWord2 && failed.words.word4 == kPasswordStateWord4)) {
                version = gabi::kVersion1;
                attempt_ = 2;
                return true;
            }
            return false;
        case 2:  // version 1 answered again
            if (!failed.Travelled() || word2 != kWantsOtherVersion) return false;
            version = gabi::kVersion2;
            return true;
        default:
            return false;
        }
    }
    Status TakeResults(Bytes output) override {
        CopyTail(output, kDataAt, buffer_, length_);
        return status::kOk;
    }

private:
    std::uint16_t kind_, selector_;
    bool mode1_;
    int attempt_ = 0;
    void* buffer_;
    std::uint16_t length_;
};

// Set password (4, 3): version 3, then on the firmware's request version 3 with
// mode 2 and no strings (both given empty) or the version 1 layout.
struct PasswordChange {
    std::uint16_t kind = 0, second = 0, third = 0;
    std::uint8_t mode = kMode1;
    Text first, next;
};

class SetPasswordRequest final : public SetupRequest {
public:
    SetPasswordRequest(const PasswordChange& change, const Credential& credential)
        : SetupRequest(kSet, kCategoryPassword, credential), change_(change) {
        version = kVersion3;
    }
    bool DataFits() const override {
        return std::size_t{change_.first.length} + change_.next.length <= kMaxPasswords;
    }
    void WriteArguments(Bytes input) const override {
        input.Put16(kArgs, change_.kind);
        input.Put16(kArgs + 2, change_.second);
        std::size_t at = kArgs + 4;
        if (version == kVersion3) {
            input.Put16(at, change_.third);
            input.Put8(at + 2, change_.mode);
            at += 3;
        }
        at = PutText(input, at, change_.first);
        PutText(input, at, change_.next);
    }
    bool Retry(const CallOutcome& failed) override {
        if (retried_ || !failed.Travelled() || change_.mode != kMode1) return false;
        retried_ = true;
        if (failed.words.word2 == kWantsEmptyCredential && change_.first.Empty() && change_.next.Empty()) {
            change_.mode = kMode2;
            change_.first = change_.next = Text();
            return true;
        }
        if (failed.words.word2 != kWantsOtherVersion) return false;
        version = gabi::kVersion1;
        return true;
    }

private:
    static std::size_t PutText(Bytes input, std::size_t at, const Text& text) {
        input.Put16(at, text.length);
        input.Write(at + 2, text.bytes, text.length);
        return at + 2 + text.length;
    }

    PasswordChange change_;
    bool retried_ = false;
};

Status Run(SetupRequest& request, const StatusOutputs& outputs) {
    outputs.Zero();
    return RunServiceCall(request, outputs);
}

// Argument checks of the Get and Set exports with data, before anything else.
bool BufferGiven(const void* buffer, std::uint32_t length) {
    return buffer && static_cast<std::uint16_t>(length) != 0;
}

Status GetSetupItem(std::uint32_t item, const Credential& credential, std::uint16_t* word8, std::uint16_t* word10,
                    std::uint16_t* word12, std::uint16_t* word14, std::uint32_t* word16, void* buffer,
                    std::uint32_t length, const StatusOutputs& outputs) {
    if (!BufferGiven(buffer, length) || !credential.text.Valid()) return status::kInvalidArgument;
    std::uint16_t* const words[4] = {word8, word10, word12, word14};
    GetItemRequest request(static_cast<std::uint16_t>(item), credential, words, word16, buffer,
                           static_cast<std::uint16_t>(length));
    return Run(request, outputs);
}

Status SetData(std::uint16_t itemCategory, std::uint32_t item, std::uint32_t second, const void* data,
               std::uint32_t length, const Credential& credential, const StatusOutputs& outputs) {
    if (!BufferGiven(data, length) || !credential.text.Valid()) return status::kInvalidArgument;
    SetDataRequest request(itemCategory, static_cast<std::uint16_t>(item), static_cast<std::uint16_t>(second),
                           Text(data, length), credential);
    return Run(request, outputs);
}

Status GetBootOrder(std::uint32_t selector, const Credential& credential, void* buffer, std::uint32_t length,
                    std::uint16_t* word8, std::uint16_t* word10, const StatusOutputs& outputs) {
    if (!BufferGiven(buffer, length) || !credential.text.Valid()) return status::kInvalidArgument;
    GetWordsRequest request(kCategoryBootOrder, static_cast<std::uint16_t>(selector), credential, word8, word10,
                            buffer, static_cast<std::uint16_t>(length));
    return Run(request, outputs);
}

Status GetDefaults(const Credential& credential, std::uint16_t* word8, std::uint16_t* word10,
                   const StatusOutputs& outputs) {
    if (!credential.text.Valid()) return status::kInvalidArgument;
    GetWordsRequest request(kCategoryDefaults, 0, credential, word8, word10, nullptr, 0);
    return Run(request, outputs);
}

Status SetDefaults(std::uint32_t value, const Credential& credential, const StatusOutputs& outputs) {
    if (!credential.text.Valid()) return status::kInvalidArgument;
    SetDefaultsRequest request(static_cast<std::uint16_t>(value), credential);
    return Run(request, outputs);
}

Status GetPasswordProperty(std::uint32_t kind, std::uint32_t selector, const Credential& credential, void* buffer,
                           std::uint32_t length, const StatusOutputs& outputs) {
    if (!BufferGiven(buffer, length) || !credential.text.Valid()) return status::kInvalidArgument;
    PasswordPropertyRequest request(static_cast<std::uint16_t>(kind), static_cast<std::uint16_t>(selector),
                                    credential, buffer, static_cast<std::uint16_t>(length));
    return Run(request, outputs);
}

Status SetPassword(const PasswordChange& change, const Credential& credential, const StatusOutputs& outputs) {
    if (!credential.text.Valid() || !change.first.Valid() || !change.next.Valid()) return status::kInvalidArgument;
    SetPasswordRequest request(change, credential);
    return Run(request, outputs);
}

PasswordChange MakeChange(std::uint32_t kind, std::uint32_t second, std::uint32_t third, std::uint32_t mode,
                          std::uint32_t firstLength, const void* first, std::uint32_t nextLength, const void* next) {
    PasswordChange c;
    c.kind = static_cast<std::uint16_t>(kind);
    c.second = static_cast<std::uint16_t>(second);
    c.third = static_cast<std::uint16_t>(third);
    c.mode = static_cast<std::uint8_t>(mode);
    c.first = Text(first, firstLength);
    c.next = Text(next, nextLength);
    return c;
}

}  // namespace

}  // namespace hwlink

using namespace hwlink;

#define SAPI_OUTPUTS StatusOutputs(status1, status2, status3, status4)

extern "C" {

std::uint32_t HWLINK_STDCALL GABI_SAPI_GetBIOSSetupItem_V2(
    std::uint32_t item, std::uint32_t credentialKind, std::uint32_t enterMode, const void* credential,
    std::uint32_t credentialLength, std::uint16_t* word8, std::uint16_t* word10, std::uint16_t* word12,
    std::uint16_t* word14, std::uint32_t* word16, void* buffer, std::uint32_t bufferLength, std::uint16_t* status1,
    std::uint16_t* status2, std::uint16_t* status3, std::uint16_t* status4) {
    return GetSetupItem(item, MakeCredential(credentialKind, enterMode, credential, credentialLength), word8,
                        word10, word12, word14, word16, buffer, bufferLength, SAPI_OUTPUTS);
}

std::uint32_t HWLINK_STDCALL GABI_SAPI_GetBIOSSetupItem(std::uint32_t item, std::uint32_t credentialKind,
                                                       const void* credential, std::uint32_t credentialLength,
                                                       std::uint16_t* word8, std::uint16_t* word10,
                                                       std::uint16_t* word12, std::uint16_t* word14,
                                                       std::uint32_t* word16, void* buffer,
                                                       std::uint32_t bufferLength, std::uint16_t* status1,
                                                       std::uint16_t* status2, std::uint16_t* status3,
                                                       std::uint16_t* status4) {
    return GetSetupItem(item, MakeCredential(credentialKind, kMode1, credential, credentialLength), word8, word10,
                        word12, word14, word16, buffer, bufferLength, SAPI_OUTPUTS);
}

std::uint32_t HWLINK_STDCALL GABI_SAPI_SetBIOSSetupItem_V2(std::uint32_t item, std::uint32_t secondWord,
                                                          const void* data, std::uint32_t dataLength,
                                                          std::uint32_t credentialKind, std::uint32_t enterMode,
                                                          const void* credential, std::uint32_t credentialLength,
                                                          std::uint16_t* status1, std::uint16_t* status2,
                                                          std::uint16_t* status3, std::uint16_t* status4) {
    return SetData(kCategorySetupItem, item, secondWord, data, dataLength,
                   MakeCredential(credentialKind, enterMode, credential, credentialLength), SAPI_OUTPUTS);
}

std::uint32_t HWLINK_STDCALL GABI_SAPI_SetBIOSSetupItem(std::uint32_t item, std::uint32_t secondWord,
                                                       const void* data, std::uint32_t dataLength,
                                                       std::uint32_t credentialKind, const void* credential,
                                                       std::uint32_t credentialLength, std::uint16_t* status1,
                                                       std::uint16_t* status2, std::uint16_t* status3,
                                                       std::uint16_t* status4) {
    return SetData(kCategorySetupItem, item, secondWord, data, dataLength,
                   MakeCredential(credentialKind, kMode1, credential, credentialLength), SAPI_OUTPUTS);
}

std::uint32_t HWLINK_STDCALL GABI_SAPI_GetBootOrder_V2(std::uint32_t selector, std::uint32_t credentialKind,
                                                      std::uint32_t enterMode, const void* credential,
                                                      std::uint32_t credentialLength, void* buffer,
                                                      std::uint32_t bufferLength, std::uint16_t* word8,
                                                      std::uint16_t* word10, std::uint16_t* status1,
                                                      std::uint16_t* status2, std::uint16_t* status3,
                                                      std::uint16_t* status4) {
    return GetBootOrder(selector, MakeCredential(credentialKind, enterMode, credential, credentialLength), buffer,
                        bufferLength, word8, word10, SAPI_OUTPUTS);
}

std::uint32_t HWLINK_STDCALL GABI_SAPI_GetBootOrder(std::uint32_t selector, std::uint32_t credentialKind,
                                                   const void* credential, std::uint32_t credentialLength,
                                                   void* buffer, std::uint32_t bufferLength, std::uint16_t* word8,
                                                   std::uint16_t* word10, std::uint16_t* status1,
                                                   std::uint16_t* status2, std::uint16_t* status3,
                                                   std::uint16_t* status4) {
    return GetBootOrder(selector, MakeCredential(credentialKind, kMode1, credential, credentialLength), buffer,
                        bufferLength, word8, word10, SAPI_OUTPUTS);
}

std::uint32_t HWLINK_STDCALL GABI_SAPI_SetBootOrder_V2(std::uint32_t selector, std::uint32_t secondWord,
                                                      const void* data, std::uint32_t dataLength,
                                                      std::uint32_t credentialKind, std::uint32_t enterMode,
                                                      const void* credential, std::uint32_t credentialLength,
                                                      std::uint16_t* status1, std::uint16_t* status2,
                                                      std::uint16_t* status3, std::uint16_t* status4) {
    return SetData(kCategoryBootOrder, selector, secondWord, data, dataLength,
                   MakeCredential(credentialKind, enterMode, credential, credentialLength), SAPI_OUTPUTS);
}

std::uint32_t HWLINK_STDCALL GABI_SAPI_SetBootOrder(std::uint32_t selector, std::uint32_t secondWord,
                                                   const void* data, std::uint32_t dataLength,
                                                   std::uint32_t credentialKind, const void* credential,
                                                   std::uint32_t credentialLength, std::uint16_t* status1,
                                                   std::uint16_t* status2, std::uint16_t* status3,
                                                   std::uint16_t* status4) {
    return SetData(kCategoryBootOrder, selector, secondWord, data, dataLength,
                   MakeCredential(credentialKind, kMode1, credential, credentialLength), SAPI_OUTPUTS);
}

std::uint32_t HWLINK_STDCALL GABI_SAPI_GetDefaultValuesProperty_V2(std::uint32_t credentialKind,
                                                                  std::uint32_t enterMode, const void* credential,
                                                                  std::uint32_t credentialLength,
                                                                  std::uint16_t* word8, std::uint16_t* word10,
                                                                  std::uint16_t* status1, std::uint16_t* status2,
                                                                  std::uint16_t* status3, std::uint16_t* status4) {
    return GetDefaults(MakeCredential(credentialKind, enterMode, credential, credentialLength), word8, word10,
                       SAPI_OUTPUTS);
}

std::uint32_t HWLINK_STDCALL GABI_SAPI_GetDefaultValuesProperty(std::uint32_t credentialKind,
                                                               const void* credential,
                                                               std::uint32_t credentialLength,
                                                               std::uint16_t* word8, std::uint16_t* word10,
                                                               std::uint16_t* status1, std::uint16_t* status2,
                                                               std::uint16_t* status3, std::uint16_t* status4) {
    return GetDefaults(MakeCredential(credentialKind, kMode1, credential, credentialLength), word8, word10,
                       SAPI_OUTPUTS);
}

std::uint32_t HWLINK_STDCALL GABI_SAPI_SetDefaultValuesProperty_V2(std::uint32_t value,
                                                                  std::uint32_t credentialKind,
                                                                  std::uint32_t enterMode, const void* credential,
                                                                  std::uint32_t credentialLength,
                                                                  std::uint16_t* status1, std::uint16_t* status2,
                                                                  std::uint16_t* status3, std::uint16_t* status4) {
    return SetDefaults(value, MakeCredential(credentialKind, enterMode, credential, credentialLength),
                       SAPI_OUTPUTS);
}

std::uint32_t HWLINK_STDCALL GABI_SAPI_SetDefaultValuesProperty(std::uint32_t value, std::uint32_t credentialKind,
                                                               const void* credential,
                                                               std::uint32_t credentialLength,
                                                               std::uint16_t* status1, std::uint16_t* status2,
                                                               std::uint16_t* status3, std::uint16_t* status4) {
    return SetDefaults(value, MakeCredential(credentialKind, kMode1, credential, credentialLength), SAPI_OUTPUTS);
}

std::uint32_t HWLINK_STDCALL GABI_SAPI_GetPasswordProperty_V3(std::uint32_t credentialKind,
                                                             std::uint32_t passwordKind, std::uint32_t selector,
                                                             std::uint32_t enterMode, const void* credential,
                                                             std::uint32_t credentialLength, void* buffer,
                                                             std::uint32_t bufferLength, std::uint16_t* status1,
                                                             std::uint16_t* status2, std::uint16_t* status3,
                                                             std::uint16_t* status4) {
    return GetPasswordProperty(passwordKind, selector,
                               MakeCredential(credentialKind, enterMode, credential, credentialLength), buffer,
                               bufferLength, SAPI_OUTPUTS);
}

std::uint32_t HWLINK_STDCALL GABI_SAPI_GetPasswordPropertyEx(std::uint32_t credentialKind,
                                                            std::uint32_t passwordKind, const void* credential,
                                                            std::uint32_t credentialLength, void* buffer,
                                                            std::uint32_t bufferLength, std::uint16_t* status1,
                                                            std::uint16_t* status2, std::uint16_t* status3,
                                                            std::uint16_t* status4) {
    return GetPasswordProperty(passwordKind, 0, MakeCredential(credentialKind, kMode1, credential, credentialLength),
                               buffer, bufferLength, SAPI_OUTPUTS);
}

std::uint32_t HWLINK_STDCALL GABI_SAPI_GetPasswordProperty(std::uint32_t credentialKind, const void* credential,
                                                          std::uint32_t credentialLength, void* buffer,
                                                          std::uint32_t bufferLength, std::uint16_t* status1,
                                                          std::uint16_t* status2, std::uint16_t* status3,
                                                          std::uint16_t* status4) {
    // The credential kind names the password kind too.
    return GetPasswordProperty(credentialKind, 0,
                               MakeCredential(credentialKind, kMode1, credential, credentialLength), buffer,
                               bufferLength, SAPI_OUTPUTS);
}

std::uint32_t HWLINK_STDCALL GABI_SAPI_SetPassword_V3(std::uint32_t credentialKind, std::uint32_t enterMode,
                                                     std::uint32_t credentialLength, const void* credential,
                                                     std::uint32_t passwordKind, std::uint32_t secondWord,
                                                     std::uint32_t thirdWord, std::uint32_t setMode,
                                                     std::uint32_t firstLength, const void* first,
                                                     std::uint32_t secondLength, const void* second,
                                                     std::uint16_t* status1, std::uint16_t* status2,
                                                     std::uint16_t* status3, std::uint16_t* status4) {
    return SetPassword(
        MakeChange(passwordKind, secondWord, thirdWord, setMode, firstLength, first, secondLength, second),
        MakeCredential(credentialKind, enterMode, credential, credentialLength), SAPI_OUTPUTS);
}

std::uint32_t HWLINK_STDCALL GABI_SAPI_SetPassword2(std::uint32_t credentialKind, std::uint32_t credentialLength,
                                                   const void* credential, std::uint32_t passwordKind,
                                                   std::uint32_t secondWord, std::uint32_t firstLength,
                                                   const void* first, std::uint32_t secondLength,
                                                   const void* second, std::uint16_t* status1,
                                                   std::uint16_t* status2, std::uint16_t* status3,
                                                   std::uint16_t* status4) {
    return SetPassword(MakeChange(passwordKind, secondWord, 0, kMode1, firstLength, first, secondLength, second),
                       MakeCredential(credentialKind, kMode1, credential, credentialLength), SAPI_OUTPUTS);
}

std::uint32_t HWLINK_STDCALL GABI_SAPI_SetPassword(std::uint32_t credentialKind, std::uint32_t passwordKind,
                                                  std::uint32_t secondWord, std::uint32_t currentLength,
                                                  const void* current, std::uint32_t newLength,
                                                  const void* newPassword, std::uint16_t* status1,
                                                  std::uint16_t* status2, std::uint16_t* status3,
                                                  std::uint16_t* status4) {
    // The current password is both the credential and the first string.
    return SetPassword(MakeChange(passwordKind, secondWord, 0, kMode1, currentLength, current, newLength,
                                  newPassword),
                       MakeCredential(credentialKind, kMode1, current, currentLength), SAPI_OUTPUTS);
}

}  // extern "C"

#undef SAPI_OUTPUTS
