// TXT lists from the language library, and the verdict that reads them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cellwise/verdict/verdict.h"
#include "common/text_list.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Exactly sized, so a read past the end is a heap overflow.
    const std::vector<std::uint8_t> bytes(data, data + size);
    const cw::LineList lines = cw::ParseLineList(bytes.data(), bytes.size());
    const cw::PairList pairs = cw::ParsePairList(bytes.data(), bytes.size());

    std::size_t withTab = 0;
    for (const std::wstring& line : lines) {
        fuzz::Check(!line.empty(), "no empty entry");
        fuzz::Check(line.find_first_of(L"\r\n") == std::wstring::npos, "no line end inside an entry");
        if (line.find(L'\t') == std::wstring::npos) continue;
        fuzz::Check(withTab < pairs.size(), "every line with a TAB is a pair");
        const cw::Pair& pair = pairs[withTab++];
        fuzz::Check(pair.key.find(L'\t') == std::wstring::npos, "split at the first TAB");
        fuzz::Check(pair.key + L'\t' + pair.value == line, "a pair is its line");
    }
    fuzz::Check(withTab == pairs.size(), "no pair without its line");

    // The same bytes as every list the verdict reads, for a pack named by the first entry.
    cw::BatteryRecord pack{true, L"Norvane", lines.empty() ? L"" : lines[0], lines.size() > 1 ? lines[1] : L""};
    cw::SerialSequence(pack.serial);
    cw::SerialInRange(lines, pack.serial);
    cw::DecideOutcome(lines, lines, pairs, cw::BatteryList{pack, pack});
    return 0;
}
