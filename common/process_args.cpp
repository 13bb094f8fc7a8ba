#include "common/process_args.h"

#include <windows.h>

#include "common/argv_split.h"
#include "common/companion.h"

namespace cw {

bool SplitProcessCommandLine(std::vector<std::wstring>& args) {
    const wchar_t* line = GetCommandLineW();
    if (!line) return false;
    if (*line == L'\0') {
        // As CommandLineToArgvW: an empty command line names the program itself.
        const std::wstring own = OwnPath();
        if (own.empty()) return false;
        args.assign(1, own);
        return true;
    }
    args = SplitCommandLine(line);
    return true;
}

}  // namespace cw
