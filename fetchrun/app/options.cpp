#include "fetchrun/app/options.h"

#include "common/ascii_case.h"

namespace fetchrun {
namespace {

// Length of `form` when `arg` starts with it (ASCII case ignored), else 0.
std::size_t MatchPrefix(const std::wstring& arg, const wchar_t* form) {
    std::size_t i = 0;
    for (; form[i]; ++i) {
        if (i >= arg.size() || cw::FoldAscii(arg[i]) != cw::FoldAscii(form[i])) return 0;
    }
    return i;
}

bool MatchForm(const std::wstring& arg, const OptionForm& form, std::wstring* value) {
    for (const wchar_t* text : {form.slashForm, form.hyphenForm}) {
        const std::size_t n = MatchPrefix(arg, text);
        if (n == 0) continue;
        if (form.wholeArgument) {
            if (n != arg.size()) continue;
            value->clear();
        } else {
            value->assign(arg, n, std::wstring::npos);
        }
        return true;
    }
    return false;
}

std::wstring CutPath(const std::wstring& text) {
    return text.size() < kPathChars ? text : text.substr(0, kPathChars - 1);
}

}  // namespace

FetchrunOptions ParseFetchrunOptions(const std::vector<std::wstring>& args) {
    FetchrunOptions options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::wstring value;
        for (const OptionForm& form : kOptionTable) {
            if (!MatchForm(args[i], form, &value)) continue;
            switch (form.id) {
                case OptionId::Silent: options.silent = true; break;
                case OptionId::Url: options.settingUrl = value; break;
                case OptionId::Target: options.target = value; break;
                case OptionId::Hash:
                    options.hashMode = true;
                    options.hashFile = CutPath(value);
                    break;
                case OptionId::Out: options.outIni = CutPath(value); break;
                case OptionId::Log: options.logPaths.push_back(value); break;
            }
            break;
        }
    }
    return options;
}

}  // namespace fetchrun
