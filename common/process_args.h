#pragma once
#include <string>
#include <vector>

namespace cw {

// The process command line split as the shell splits it (CommandLineToArgvW's
// rules, common/argv_split.h); false when it cannot be.
bool SplitProcessCommandLine(std::vector<std::wstring>& args);

}  // namespace cw
