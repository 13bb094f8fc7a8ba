#include "cellwise/check/command_line.h"

#include <utility>

namespace cw {

CommandLineParser::CommandLineParser(std::uint32_t prefixes, std::vector<OptionSpec> options)
    : prefixes_(prefixes), options_(std::move(options)) {}

bool CommandLineParser::IsPrefix(wchar_t c) const {
    return (c == L'-' && (prefixes_ & Hyphen)) || (c == L'/' && (prefixes_ & Slash));
}

OptionSpec* CommandLineParser::Lookup(const std::wstring& name) {
    for (OptionSpec& entry : options_) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

bool CommandLineParser::Parse(const std::vector<std::wstring>& args) {
    if (args.empty()) return true;
    programPath_ = args[0];
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::wstring& element = args[i];
        if (element.empty() || !IsPrefix(element[0])) return false;  // bare argument
        OptionSpec* entry = Lookup(element.substr(1));
        if (!entry || entry->present) return false;  // unknown, mistyped or repeated
        if (entry->kind == OptionKind::Value) {
            if (i + 1 >= args.size()) return false;  // value missing
            entry->value = args[++i];  // taken verbatim, even when it looks like an option
        }
        entry->present = true;
    }
    return true;
}

const OptionSpec* CommandLineParser::Find(const std::wstring& name) const {
    for (const OptionSpec& entry : options_) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

bool CommandLineParser::Present(const std::wstring& name) const {
    const OptionSpec* entry = Find(name);
    return entry && entry->present;
}

const std::wstring& CommandLineParser::Value(const std::wstring& name) const {
    static const std::wstring empty;
    const OptionSpec* entry = Find(name);
    return entry ? entry->value : empty;
}

CommandLineParser MakeCellwiseParser() {
    return CommandLineParser(
        CommandLineParser::Hyphen | CommandLineParser::Slash,
        {
            {OptionKind::Switch, option::kSilent, L"", false},
            {OptionKind::Switch, option::kNoVerifySignature, L"", false},
            {OptionKind::Value, option::kLog, L"", false},
            {OptionKind::Value, option::kLogCsv, L"", false},
            {OptionKind::Switch, option::kViewTarget, L"", false},
            {OptionKind::Value, option::kLangId, L"", false},
            {OptionKind::Switch, option::kFetchrunDebug, L"", false},
        });
}

}  // namespace cw
