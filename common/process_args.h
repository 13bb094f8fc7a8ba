#pragma once
#include <string>
#include <vector>

namespace cw {

// The process command line split as the shell splits it; false when it cannot be.
bool SplitProcessCommandLine(std::vector<std::wstring>& args);

}  // namespace cw
