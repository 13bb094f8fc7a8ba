#include "common/process_args.h"

#include <windows.h>
#include <shellapi.h>

#include "common/unique_handle.h"

namespace cw {

bool SplitProcessCommandLine(std::vector<std::wstring>& args) {
    int count = 0;
    unique_local argv(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!argv) return false;
    auto** items = static_cast<wchar_t**>(argv.get());
    args.assign(items, items + count);
    return true;
}

}  // namespace cw
