// Texts from the language library: Fetchrun's escaped line breaks and one-%s
// message formats, which must never read an argument that is not there, and
// Cellwise's check of its value line templates.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cellwise/ui/value_template.h"
#include "fetchrun/app/texts.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t split = size ? data[0] : 0;
    const std::wstring all = fuzz::Utf16Units(data + (size ? 1 : 0), size ? size - 1 : 0);
    const std::wstring format = all.substr(0, split < all.size() ? split : all.size());
    const std::wstring value = all.substr(format.size());

    const std::wstring expanded = fetchrun::ExpandLineBreaks(all);
    fuzz::Check(expanded.size() <= all.size(), "expanding never lengthens");
    fuzz::Check(all.find(L"\\r\\n") != std::wstring::npos || expanded == all, "only escaped breaks change");

    const std::wstring message = fetchrun::FormatOneString(format, value);
    fuzz::Check(message.size() <= format.size() + value.size(), "at most one insertion");
    fetchrun::ComposeErrorMessage(value, format, value);
    fetchrun::FileNameOfPath(all);
    cw::IsTwoValueTemplate(all);
    return 0;
}
