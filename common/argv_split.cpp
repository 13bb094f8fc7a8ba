#include "common/argv_split.h"

namespace cw {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The program path, with `at` left on the first character after it.
std::wstring ProgramPath(const std::wstring& line, std::size_t& at) {
    std::wstring path;
    if (!line.empty() && line[0] == L'"') {
        // Up to the next quote, whatever comes between.
        at = 1;
        while (at < line.size() && line[at] != L'"') path += line[at++];
        if (at < line.size()) ++at;
        return path;
    }
    at = 0;
    while (at < line.size() && !IsBlank(line[at])) path += line[at++];
    if (at < line.size()) ++at;
    return path;
}

}  // namespace

std::vector<std::wstring> SplitCommandLine(const std::wstring& line) {
    std::size_t at = 0;
    std::vector<std::wstring> args{ProgramPath(line, at)};
    while (at < line.size() && IsBlank(line[at])) ++at;
    if (at >= line.size()) return args;

    std::wstring arg;
    // Quotes seen in a row, modulo 3: 1 is inside quotes; a third quote in a row is
    // a literal one and ends the run.
    int quotes = 0;
    std::size_t backslashes = 0;
    while (at < line.size()) {
        const wchar_t c = line[at];
        if (IsBlank(c) && quotes == 0) {
            args.push_back(arg);
            arg.clear();
            backslashes = 0;
            while (at < line.size() && IsBlank(line[at])) ++at;
            if (at >= line.size()) return args;
        } else if (c == L'\\') {
            arg += c;
            ++backslashes;
            ++at;
        } else if (c == L'"') {
            if (backslashes % 2 == 0) {
                // Half the backslashes stay; the quote opens or closes quoting.
                arg.erase(arg.size() - backslashes / 2);
                ++quotes;
            } else {
                // Half the backslashes stay, the last one becomes a literal quote.
                arg.erase(arg.size() - backslashes / 2 - 1);
                arg += L'"';
            }
            ++at;
            backslashes = 0;
            for (; at < line.size() && line[at] == L'"'; ++at) {
                if (++quotes == 3) {
                    arg += L'"';
                    quotes = 0;
                }
            }
            if (quotes == 2) quotes = 0;
        } else {
            arg += c;
            backslashes = 0;
            ++at;
        }
    }
    args.push_back(arg);
    return args;
}

}  // namespace cw
