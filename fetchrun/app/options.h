// The command line of Fetchrun.exe. Pure: works on the split argument vector, so
// it is tested without a process command line.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace fetchrun {

// Characters of the fixed path buffers of hash mode, terminator included.
inline constexpr std::size_t kPathChars = 260;

struct FetchrunOptions {
    bool silent = false;
    std::wstring settingUrl;            // "/Url:"
    std::wstring target;                // "/Target:"
    bool hashMode = false;              // "/Hash:" seen, whatever its value
    std::wstring hashFile;              // cut to kPathChars - 1
    std::wstring outIni;                // "/Out:", cut to kPathChars - 1
    std::vector<std::wstring> logPaths; // every "/LOG:" value, in order
};

// One row of the option table. Forms are tried in table order; the first match
// wins. A prefix form takes the rest of the argument as its value.
enum class OptionId { Silent, Url, Target, Hash, Out, Log };
struct OptionForm {
    OptionId id;
    const wchar_t* slashForm;
    const wchar_t* hyphenForm;
    bool wholeArgument;  // else a prefix
};
inline constexpr OptionForm kOptionTable[] = {
    {OptionId::Silent, L"/s", L"-s", true},
    {OptionId::Url, L"/Url:", L"-Url:", false},
    {OptionId::Target, L"/Target:", L"-Target:", false},
    {OptionId::Hash, L"/Hash:", L"-Hash:", false},
    {OptionId::Out, L"/Out:", L"-Out:", false},
    {OptionId::Log, L"/LOG:", L"-LOG:", false},
};

// Examines args[1..] (args[0] is the program). Matching ignores ASCII letter case;
// an argument that matches no form is ignored; a repeated option overwrites the
// earlier value (every "/LOG:" is kept: each one writes a banner).
FetchrunOptions ParseFetchrunOptions(const std::vector<std::wstring>& args);

}  // namespace fetchrun
