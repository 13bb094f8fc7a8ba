// The NVRAM service's payloads: the name list and credential of a request, the
// set payload and how many entries one request carries, and the get reply with
// its header and items. Pure byte work over checked spans: no Windows headers.
//
// Input block:  u16 length, u16 version, u32 handle, u64 payload length, payload from 16.
// Output block: u16 length, u16 1, u32 handle, u64 value, payload from 16.
// Wire item:    GUID[16], u32 attributes, u64 data size, u64 name size, name, data.
#pragma once
#include <cstddef>
#include <cstdint>

#include "hwlink/frame/bytes.h"
#include "hwlink/hwlink.h"

namespace hwlink::nvram {

inline constexpr std::size_t kLengthAt = 8;  // u64: input payload length, output value
inline constexpr std::size_t kPayloadAt = 16;
inline constexpr std::size_t kGuidSize = 16;
inline constexpr std::size_t kWireItemHeader = 36;
inline constexpr std::size_t kEndMarker = 16;  // a zero GUID ends the items
inline constexpr std::size_t kMaxBlock = 0xFFFF;

// Caller's names: count UTF-16 names with one GUID each.
struct Names {
    const std::uint16_t* const* names = nullptr;
    const std::uint8_t* guids = nullptr;
    std::uint32_t count = 0;
};

// Bytes of a UTF-16 name with its zero; 0 when it has no zero within a block's reach.
std::size_t NameBytes(const std::uint16_t* name);

// The names as they travel: each name with its zero and its GUID. False when a
// name is unterminated. The size does not count the list's framing words.
bool NamesSize(const Names& names, std::uint64_t& size);

// Get request payload: u16 first word, the names, u16 zero. Its length goes to
// input offset 8. False when it does not fit `input`.
bool WriteNameList(Bytes input, std::uint16_t firstWord, const Names& names);

// Whether a credential of `length` bytes fits an input block of `inputSize`
// bytes behind the payload length and its own kind and length words. Compared
// without adding to `length`, which comes from the caller whole.
bool CredentialFits(std::size_t inputSize, std::uint32_t length);

// Enter payload: u16 kind, u16 length n, n bytes; payload length n + 4. False,
// writing nothing, when it does not fit `input`.
bool WriteCredential(Bytes input, std::uint16_t kind, const std::uint8_t* bytes, std::uint32_t length);

// A set request: the header record's layout (version 1: type 1, 32 bytes;
// version 2: type 2, 44 + 4k) and the entries.
struct SetHeader {
    std::uint16_t version = 1;
    Bytes record;               // the caller's record, as long as its layout
    std::uint32_t extraCount = 0;
};

// The byte estimate of a request before its entries: 38 (type 1) or 46 + 4k
// (type 2), 18 + the name's bytes per name, 2.
std::uint64_t SetBaseSize(const SetHeader& header, const Names& names);
// 36 + name size + data size, or more than a block when a size is.
std::uint64_t WireItemSize(const NvramEntry& entry);
// How many of `entries` (from the first) go into one request: as many as keep
// the request's input block (base + items + end marker, + 16) within 0xFFFF.
// `payloadSize` gets base + their items + the end marker.
std::uint32_t EntriesPerRequest(std::uint64_t base, const NvramEntry* entries, std::uint32_t count,
                                std::uint64_t& payloadSize);

// Set payload at input offset 16: u16 first word, u16 second word, u16 header
// size, u16 header type (from the record), the fixed fields and, for type 2, the
// extra words; at 4 + size the name list (u16 length, names, u16 zero); the items;
// 16 zero bytes. False when it does not fit `payload`.
bool WriteSetPayload(Bytes payload, std::uint16_t firstWord, std::uint16_t secondWord, const SetHeader& header,
                     const Names& names, const NvramEntry* entries, std::uint32_t count);

// A get reply: the header word, the header record (type 1 or 2), and the items
// from payload offset s + 2 while below the value at 8 minus 16 and not ended by a
// zero GUID.
struct GetReply {
    std::uint16_t headerWord = 0;
    std::uint16_t type = 0;
    Bytes header;               // from the size word: 32 bytes, or 40 + 4k
    std::uint32_t extraCount = 0;
    Bytes items;                // the walked items, back to back
    std::uint32_t count = 0;
    std::size_t dataBytes = 0;  // names and data of all items
};

enum class ReplyCheck { kOk, kOverrun, kUnknownType };
ReplyCheck ReadGetReply(Bytes output, GetReply& reply);

// Lays the reply's entries out in `block`: count NvramEntry records, then each
// item's name and data, which the records point to. `block` holds exactly
// count * sizeof(NvramEntry) + dataBytes.
void FillEntries(const GetReply& reply, Bytes block);

// The caller's header record of GetNvramData_V2: the header, k at 40, the extra
// words from 44; `record` holds 48 + 4k bytes.
void FillHeaderRecord(const GetReply& reply, Bytes record);

}  // namespace hwlink::nvram
