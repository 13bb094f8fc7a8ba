// The options of Cellwise.exe and their parser. The parser works on the split
// argument vector, so it is tested without a process command line.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace cw {

enum class OptionKind : std::int32_t { Switch = 0, Value = 1 };

struct OptionSpec {
    OptionKind kind;
    std::wstring name;
    std::wstring value;
    bool present = false;
};

class CommandLineParser {
public:
    enum PrefixBits : std::uint32_t { Hyphen = 1u << 0, Slash = 1u << 1 };

    CommandLineParser(std::uint32_t prefixes, std::vector<OptionSpec> options);

    // Walks argv[1..]; false when any element is rejected (the options seen
    // before the rejection stay marked, but the caller must not use them).
    bool Parse(const std::vector<std::wstring>& args);

    const OptionSpec* Find(const std::wstring& name) const;
    bool Present(const std::wstring& name) const;
    const std::wstring& Value(const std::wstring& name) const;
    const std::wstring& ProgramPath() const { return programPath_; }

private:
    bool IsPrefix(wchar_t c) const;
    OptionSpec* Lookup(const std::wstring& name);

    std::uint32_t prefixes_;
    std::vector<OptionSpec> options_;
    std::wstring programPath_;
};

// Cellwise.exe's option names, in table order.
namespace option {
inline constexpr wchar_t kSilent[] = L"silent";
inline constexpr wchar_t kNoVerifySignature[] = L"noverifysignature";
inline constexpr wchar_t kLog[] = L"log";
inline constexpr wchar_t kLogCsv[] = L"logcsv";
inline constexpr wchar_t kViewTarget[] = L"ViewTarget";
inline constexpr wchar_t kLangId[] = L"langid";
inline constexpr wchar_t kFetchrunDebug[] = L"fetchrundebugmode";
}  // namespace option

// A parser holding Cellwise.exe's seven options; both prefixes accepted.
CommandLineParser MakeCellwiseParser();

}  // namespace cw
