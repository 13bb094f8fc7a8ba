// The "TXT" list resources of the language library: UTF-16LE text, optional byte
// order mark, entries ended by CR or LF, empty lines skipped. Pure byte parsing:
// no Windows headers, so it also builds and fuzzes on the host.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace cw {

using LineList = std::vector<std::wstring>;

struct Pair {
    std::wstring key;
    std::wstring value;
    bool operator==(const Pair& o) const { return key == o.key && value == o.value; }
};
using PairList = std::vector<Pair>;

// Every non-empty line, whole. Text after the last line end is not an entry.
LineList ParseLineList(const void* data, std::size_t size);

// Every non-empty line that holds a TAB, split at its first TAB.
PairList ParsePairList(const void* data, std::size_t size);

}  // namespace cw
