#include "hwlink/services/nvram_layout.h"

namespace hwlink::nvram {

namespace {

constexpr std::size_t kMaxNameUnits = kMaxBlock / 2;

// Wire item fields.
constexpr std::size_t kAttributesAt = 16;
constexpr std::size_t kDataSizeAt = 20;
constexpr std::size_t kNameSizeAt = 28;

// Header record and its place in the payloads.
constexpr std::size_t kType1Size = 32;     // the header size word of type 1
constexpr std::size_t kType2Fixed = 40;    // type 2 size before its extra words
constexpr std::size_t kFieldsAt = 4;       // in the record
constexpr std::size_t kType1Fields = 28;
constexpr std::size_t kType2Fields = 36;
constexpr std::size_t kExtraCountAt = 40;  // in the caller's type 2 record
constexpr std::size_t kExtraAt = 44;
constexpr std::uint16_t kType1 = 1;
constexpr std::uint16_t kType2 = 2;

// Estimate of a request: header words and name list framing, per name.
constexpr std::uint64_t kType1Base = 38;
constexpr std::uint64_t kType2Base = 46;
constexpr std::uint64_t kPerName = 18;
constexpr std::uint64_t kListEnd = 2;

bool Put64(Bytes b, std::size_t at, std::uint64_t v) {
    return b.Put32(at, static_cast<std::uint32_t>(v)) && b.Put32(at + 4, static_cast<std::uint32_t>(v >> 32));
}
bool Get64(Bytes b, std::size_t at, std::uint64_t& v) {
    std::uint32_t low = 0, high = 0;
    if (!b.Get32(at, low) || !b.Get32(at + 4, high)) return false;
    v = static_cast<std::uint64_t>(high) << 32 | low;
    return true;
}

bool ZeroGuid(Bytes item) {
    for (std::size_t i = 0; i < kGuidSize; ++i) {
        std::uint8_t b = 0;
        item.Get8(i, b);
        if (b) return false;
    }
    return true;
}

// The names with their GUIDs from `at`; returns the offset after them, 0 on failure.
std::size_t WriteNames(Bytes out, std::size_t at, const Names& names) {
    for (std::uint32_t i = 0; i < names.count; ++i) {
        const std::size_t bytes = NameBytes(names.names[i]);
        if (!bytes || !out.Write(at, names.names[i], bytes) ||
            !out.Write(at + bytes, names.guids + i * kGuidSize, kGuidSize))
            return 0;
        at += bytes + kGuidSize;
    }
    return at;
}

std::size_t HeaderSize(const SetHeader& header) {
    return header.version == kType1 ? kType1Size : kType2Fixed + 4 * std::size_t{header.extraCount};
}

}  // namespace

std::size_t NameBytes(const std::uint16_t* name) {
    if (!name) return 0;
    for (std::size_t n = 0; n < kMaxNameUnits; ++n)
        if (name[n] == 0) return (n + 1) * 2;
    return 0;
}

bool NamesSize(const Names& names, std::uint64_t& size) {
    size = 0;
    for (std::uint32_t i = 0; i < names.count; ++i) {
        const std::size_t bytes = NameBytes(names.names[i]);
        if (!bytes) return false;
        size += bytes + kGuidSize;
    }
    return true;
}

bool WriteNameList(Bytes input, std::uint16_t firstWord, const Names& names) {
    std::uint64_t size = 0;
    if (!NamesSize(names, size)) return false;
    const std::uint64_t length = 2 + size + 2;
    if (length > input.size() || !input.Fits(kPayloadAt, static_cast<std::size_t>(length))) return false;
    const Bytes payload = input.Sub(kPayloadAt, static_cast<std::size_t>(length));
    const std::size_t end = WriteNames(payload, 2, names);
    return end && Put64(input, kLengthAt, length) && payload.Put16(0, firstWord) && payload.Put16(end, 0);
}

bool CredentialFits(std::size_t inputSize, std::uint32_t length) {
    constexpr std::size_t kCredentialAt = kPayloadAt + 4;
    return inputSize >= kCredentialAt && length <= inputSize - kCredentialAt;
}

bool WriteCredential(Bytes input, std::uint16_t kind, const std::uint8_t* bytes, std::uint32_t length) {
    // A block is at most 0xFFFF bytes, so a length that fits one fits its 16-bit field.
    if (input.size() > kMaxBlock || !CredentialFits(input.size(), length)) return false;
    return Put64(input, kLengthAt, 4u + length) && input.Put16(kPayloadAt, kind) &&
           input.Put16(kPayloadAt + 2, static_cast<std::uint16_t>(length)) &&
           input.Write(kPayloadAt + 4, bytes, length);
}

std::uint64_t SetBaseSize(const SetHeader& header, const Names& names) {
    std::uint64_t size = header.version == kType1 ? kType1Base : kType2Base + 4 * std::uint64_t{header.extraCount};
    for (std::uint32_t i = 0; i < names.count; ++i) {
        const std::size_t bytes = NameBytes(names.names[i]);
        size += bytes ? kPerName + bytes : kMaxBlock + 1;
    }
    return size + kListEnd;
}

std::uint64_t WireItemSize(const NvramEntry& entry) {
    if (entry.nameSize > kMaxBlock || entry.dataSize > kMaxBlock) return kMaxBlock + 1;
    return kWireItemHeader + entry.nameSize + entry.dataSize;
}

std::uint32_t EntriesPerRequest(std::uint64_t base, const NvramEntry* entries, std::uint32_t count,
                                std::uint64_t& payloadSize) {
    std::uint64_t running = base;
    std::uint32_t n = 0;
    for (; n < count; ++n) {
        const std::uint64_t next = running + WireItemSize(entries[n]);
        if (next + kEndMarker + kPayloadAt > kMaxBlock) break;
        running = next;
    }
    payloadSize = running + kEndMarker;
    return n;
}

bool WriteSetPayload(Bytes payload, std::uint16_t firstWord, std::uint16_t secondWord, const SetHeader& header,
                     const Names& names, const NvramEntry* entries, std::uint32_t count) {
    const std::size_t size = HeaderSize(header);
    const std::size_t fields = header.version == kType1 ? kType1Fields : kType2Fields;
    std::uint16_t type = 0;
    if (size > kMaxBlock || !header.record.Get16(2, type) || !header.record.Fits(kFieldsAt, fields)) return false;
    bool ok = payload.Put16(0, firstWord) && payload.Put16(2, secondWord) &&
              payload.Put16(4, static_cast<std::uint16_t>(size)) && payload.Put16(6, type) &&
              payload.Write(8, header.record.data() + kFieldsAt, fields);
    if (header.version != kType1) {
        const std::size_t extra = 4 * std::size_t{header.extraCount};
        ok = ok && header.record.Fits(kExtraAt, extra) &&
             payload.Write(8 + fields, header.record.data() + kExtraAt, extra);
    }
    std::uint64_t namesSize = 0;
    if (!ok || !NamesSize(names, namesSize) || namesSize + 2 > kMaxBlock) return false;
    std::size_t at = 4 + size;
    if (!payload.Put16(at, static_cast<std::uint16_t>(namesSize + 2))) return false;
    at = WriteNames(payload, at + 2, names);
    if (!at || !payload.Put16(at, 0)) return false;
    at += 2;
    for (std::uint32_t i = 0; i < count; ++i) {
        const NvramEntry& e = entries[i];
        const auto nameBytes = static_cast<std::uint32_t>(e.nameSize);  // the low words count
        const auto dataBytes = static_cast<std::uint32_t>(e.dataSize);
        if (!payload.Write(at, e.guid, kGuidSize) || !payload.Put32(at + kAttributesAt, e.attributes) ||
            !Put64(payload, at + kDataSizeAt, e.dataSize) || !Put64(payload, at + kNameSizeAt, e.nameSize) ||
            !payload.Write(at + kWireItemHeader, e.name, nameBytes) ||
            !payload.Write(at + kWireItemHeader + nameBytes, e.data, dataBytes))
            return false;
        at += kWireItemHeader + nameBytes + dataBytes;
    }
    const Bytes end = payload.Sub(at, kEndMarker);
    if (!end.data()) return false;
    end.Zero();
    return true;
}

ReplyCheck ReadGetReply(Bytes output, GetReply& reply) {
    const Bytes payload = output.Sub(kPayloadAt, output.size() - kPayloadAt);
    std::uint64_t value = 0;
    std::uint16_t size = 0;
    if (!Get64(output, kLengthAt, value) || !payload.Get16(0, reply.headerWord) || !payload.Get16(2, size) ||
        !payload.Get16(4, reply.type))
        return ReplyCheck::kOverrun;
    if (reply.type == kType1) {
        reply.header = payload.Sub(2, kType1Size);
    } else if (reply.type == kType2) {
        if (size < kType2Fixed) return ReplyCheck::kOverrun;
        reply.extraCount = static_cast<std::uint32_t>((size - kType2Fixed) / 4);
        reply.header = payload.Sub(2, kType2Fixed + 4 * std::size_t{reply.extraCount});
    } else {
        return ReplyCheck::kUnknownType;
    }
    if (!reply.header.data()) return ReplyCheck::kOverrun;

    // Items from payload offset s + 2, while below value - 16 (none when the value
    // is at most 15) and not ended by a zero GUID; each must lie in the block.
    const std::size_t first = std::size_t{size} + 2;
    const std::uint64_t limit = value > 15 ? value - kEndMarker : 0;
    std::size_t at = first;
    while (at < limit) {
        const Bytes item = payload.Sub(at, kWireItemHeader);
        if (!item.data()) return ReplyCheck::kOverrun;
        if (ZeroGuid(item)) break;
        std::uint64_t dataSize = 0, nameSize = 0;
        Get64(item, kDataSizeAt, dataSize);
        Get64(item, kNameSizeAt, nameSize);
        if (dataSize > payload.size() || nameSize > payload.size() ||
            !payload.Fits(at + kWireItemHeader, static_cast<std::size_t>(nameSize + dataSize)))
            return ReplyCheck::kOverrun;
        ++reply.count;
        reply.dataBytes += static_cast<std::size_t>(nameSize + dataSize);
        at += kWireItemHeader + static_cast<std::size_t>(nameSize + dataSize);
    }
    reply.items = at > first ? payload.Sub(first, at - first) : Bytes();
    return ReplyCheck::kOk;
}

void FillEntries(const GetReply& reply, Bytes block) {
    auto* entries = reinterpret_cast<NvramEntry*>(block.data());
    std::size_t data = reply.count * sizeof(NvramEntry);
    std::size_t at = 0;
    for (std::uint32_t i = 0; i < reply.count; ++i) {
        const Bytes item = reply.items.Sub(at, reply.items.size() - at);
        NvramEntry& e = entries[i];
        item.Read(0, e.guid, kGuidSize);
        item.Get32(kAttributesAt, e.attributes);
        Get64(item, kDataSizeAt, e.dataSize);
        Get64(item, kNameSizeAt, e.nameSize);
        const auto nameBytes = static_cast<std::size_t>(e.nameSize);
        const auto dataBytes = static_cast<std::size_t>(e.dataSize);
        e.name = reinterpret_cast<std::uint16_t*>(block.data() + data);
        block.Write(data, item.data() + kWireItemHeader, nameBytes);
        e.data = block.data() + data + nameBytes;
        block.Write(data + nameBytes, item.data() + kWireItemHeader + nameBytes, dataBytes);
        e.unused = 0;
        data += nameBytes + dataBytes;
        at += kWireItemHeader + nameBytes + dataBytes;
    }
}

void FillHeaderRecord(const GetReply& reply, Bytes record) {
    const std::size_t fixed = reply.type == kType1 ? kType1Size : kType2Fixed;
    record.Write(0, reply.header.data(), fixed);
    record.Put32(kExtraCountAt, reply.extraCount);
    if (reply.extraCount) record.Write(kExtraAt, reply.header.data() + kType2Fixed, 4 * std::size_t{reply.extraCount});
}

}  // namespace hwlink::nvram
