// The reply of an NVRAM get from an output block of any size and content: its
// header and items are taken only from inside the block, and the caller's blocks
// (the entry array with names and data, the _V2 header record) are filled exactly
// to their size, each entry pointing at copies of its own wire bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "hwlink/services/nvram_layout.h"
#include "tests/fuzz/fuzz_input.h"

namespace nvram = hwlink::nvram;
using Buffer = std::vector<std::uint8_t>;
using fuzz::Check;

namespace {

constexpr std::size_t kHeaderRecordV2 = 48;  // + 4k, as GetNvramData_V2 allocates it

bool Inside(const hwlink::Bytes& span, const Buffer& block) {
    return !span.data() || (span.data() >= block.data() && span.size() <= block.size() &&
                            static_cast<std::size_t>(span.data() - block.data()) <= block.size() - span.size());
}

std::uint64_t Le(const std::uint8_t* at, std::size_t bytes) {
    std::uint64_t v = 0;
    for (std::size_t i = bytes; i-- > 0;) v = v << 8 | at[i];
    return v;
}

// The entries against the items they came from, and inside `block`. Each item
// starts below the reply's value minus 16, counted from `payload`.
void CheckEntries(const nvram::GetReply& reply, const Buffer& block, const std::uint8_t* payload,
                  std::uint64_t value) {
    const auto* entries = reinterpret_cast<const NvramEntry*>(block.data());
    const std::uint8_t* data = block.data() + reply.count * sizeof(NvramEntry);
    const std::uint8_t* wire = reply.items.data();
    for (std::uint32_t i = 0; i < reply.count; ++i) {
        const NvramEntry& e = entries[i];
        Check(static_cast<std::uint64_t>(wire - payload) + nvram::kEndMarker < value, "an item starts below the value");
        Check(std::memcmp(e.guid, wire, nvram::kGuidSize) == 0, "the entry's GUID is its item's");
        Check(e.dataSize == Le(wire + 20, 8) && e.nameSize == Le(wire + 28, 8), "the entry's sizes are its item's");
        const auto name = static_cast<std::size_t>(e.nameSize), bytes = static_cast<std::size_t>(e.dataSize);
        Check(reinterpret_cast<const std::uint8_t*>(e.name) == data && e.data == data + name,
              "names and data follow the entries, item by item");
        Check(std::memcmp(data, wire + nvram::kWireItemHeader, name + bytes) == 0,
              "the entry's name and data are its item's");
        data += name + bytes;
        wire += nvram::kWireItemHeader + name + bytes;
    }
    Check(data == block.data() + block.size(), "the block holds exactly the entries, names and data");
    Check(wire == reply.items.data() + reply.items.size(), "the items span exactly the walked items");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Buffer output(data, data + size);  // exactly sized: a read past it is a heap overflow
    nvram::GetReply reply;
    if (nvram::ReadGetReply(hwlink::Bytes(output.data(), output.size()), reply) != nvram::ReplyCheck::kOk) return 0;

    Check(reply.type == 1 || reply.type == 2, "a header of a known type");
    Check(Inside(reply.header, output) && reply.header.size() == (reply.type == 1 ? 32 : 40 + 4u * reply.extraCount),
          "the header lies in the block");
    Check(Inside(reply.items, output), "the items lie in the block");
    Check(reply.count * nvram::kWireItemHeader + reply.dataBytes == reply.items.size(),
          "the items are their headers, names and data");

    Buffer entries(reply.count * sizeof(NvramEntry) + reply.dataBytes);
    nvram::FillEntries(reply, hwlink::Bytes(entries.data(), entries.size()));
    CheckEntries(reply, entries, output.data() + nvram::kPayloadAt, Le(output.data() + nvram::kLengthAt, 8));

    Buffer record(kHeaderRecordV2 + 4 * std::size_t{reply.extraCount});
    nvram::FillHeaderRecord(reply, hwlink::Bytes(record.data(), record.size()));
    const std::size_t fixed = reply.type == 1 ? 32 : 40;
    Check(std::memcmp(record.data(), reply.header.data(), fixed) == 0, "the record starts with the header");
    Check(Le(record.data() + 40, 4) == reply.extraCount, "k at 40");
    Check(std::memcmp(record.data() + 44, reply.header.data() + fixed, 4 * std::size_t{reply.extraCount}) == 0,
          "the extra words from 44");
    return 0;
}
