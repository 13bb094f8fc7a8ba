#include "common/text_list.h"

#include <cstdint>

#include "common/byte_reader.h"

namespace cw {
namespace {

// Calls take(line) for every non-empty, terminated line of the resource.
template <typename Take>
void ForEachLine(const void* data, std::size_t size, Take take) {
    const ByteReader bytes(static_cast<const std::uint8_t*>(data), size);
    std::uint16_t unit = 0;
    std::size_t at = 0;
    if (bytes.Get16(0, unit) && unit == 0xFEFF) at = 2;
    std::wstring line;
    for (; bytes.Get16(at, unit); at += 2) {  // an odd last byte is ignored
        const wchar_t c = static_cast<wchar_t>(unit);
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
