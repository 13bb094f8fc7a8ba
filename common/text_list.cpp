#include "common/text_list.h"

#include <cstdint>

namespace cw {
namespace {

// Calls take(line) for every non-empty, terminated line of the resource.
template <typename Take>
void ForEachLine(const void* data, std::size_t size, Take take) {
    if (!data) return;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const std::size_t count = size / 2;  // an odd last byte is ignored
    std::size_t i = 0;
    auto unit = [bytes](std::size_t k) {
        return static_cast<wchar_t>(bytes[2 * k] | (bytes[2 * k + 1] << 8));
    };
    if (count > 0 && unit(0) == 0xFEFF) i = 1;
    std::wstring line;
    for (; i < count; ++i) {
        const wchar_t c = unit(i);
        if (c == L'\r' || c == L'\n') {
            if (!line.empty()) take(line);
            line.clear();
        } else {
            line.push_back(c);
        }
    }
}

}  // namespace

LineList ParseLineList(const void* data, std::size_t size) {
    LineList list;
    ForEachLine(data, size, [&](const std::wstring& line) { list.push_back(line); });
    return list;
}

PairList ParsePairList(const void* data, std::size_t size) {
    PairList list;
    ForEachLine(data, size, [&](const std::wstring& line) {
        const std::size_t tab = line.find(L'\t');
        if (tab == std::wstring::npos) return;
        list.push_back(Pair{line.substr(0, tab), line.substr(tab + 1)});
    });
    return list;
}

}  // namespace cw
