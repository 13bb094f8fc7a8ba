// The option parsers of both programs over any argument vector (the input's UTF-16
// units, cut into arguments at NUL), and the same units split as a command line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cellwise/check/command_line.h"
#include "common/argv_split.h"
#include "fetchrun/app/options.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring units = fuzz::Utf16Units(data, size);
    const std::vector<std::wstring> args = fuzz::Arguments(units);

    const std::vector<std::wstring> split = cw::SplitCommandLine(units);
    fuzz::Check(!split.empty(), "a split line has a program path");
    std::size_t kept = 0;
    for (const std::wstring& arg : split) kept += arg.size();
    fuzz::Check(kept <= units.size(), "a split adds no characters");
    cw::MakeCellwiseParser().Parse(split);

    cw::CommandLineParser cellwise = cw::MakeCellwiseParser();
    if (cellwise.Parse(args)) {
        // Accepted: every element after the program is an option or a value it took.
        std::size_t taken = 1;
        for (const wchar_t* name : {cw::option::kSilent, cw::option::kNoVerifySignature, cw::option::kLog,
                                    cw::option::kLogCsv, cw::option::kViewTarget, cw::option::kLangId,
                                    cw::option::kFetchrunDebug}) {
            const cw::OptionSpec* entry = cellwise.Find(name);
            fuzz::Check(entry != nullptr, "every option is known");
            if (entry->present) taken += entry->kind == cw::OptionKind::Value ? 2 : 1;
        }
        fuzz::Check(taken == args.size(), "nothing left over, nothing counted twice");
    }

    const fetchrun::FetchrunOptions options = fetchrun::ParseFetchrunOptions(args);
    fuzz::Check(options.hashFile.size() < fetchrun::kPathChars, "hash path fits its buffer");
    fuzz::Check(options.outIni.size() < fetchrun::kPathChars, "output path fits its buffer");
    fuzz::Check(options.logPaths.size() < args.size(), "one log per argument at most");
    return 0;
}
