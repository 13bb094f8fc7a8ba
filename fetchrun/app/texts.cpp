#include "fetchrun/app/texts.h"

namespace fetchrun {

std::wstring ExpandLineBreaks(const std::wstring& text) {
    static const std::wstring kEscaped = L"\\r\\n";
    std::wstring out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (text.compare(i, kEscaped.size(), kEscaped) == 0) {
            out += L'\n';
            i += kEscaped.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::wstring FormatOneString(const std::wstring& format, const std::wstring& value) {
    std::wstring out;
    out.reserve(format.size() + value.size());
    bool inserted = false;
    std::size_t i = 0;
    while (i < format.size()) {
        if (format[i] == L'%' && i + 1 < format.size()) {
            if (format[i + 1] == L'%') {
                out += L'%';
                i += 2;
                continue;
            }
            if (format[i + 1] == L's' && !inserted) {
                out += value;
                inserted = true;
                i += 2;
                continue;
            }
        }
        out += format[i++];
    }
    return out;
}

std::wstring ComposeErrorMessage(const std::wstring& message, const std::wstring& detailFormat,
                                 const std::wstring& detail) {
    if (detail.empty()) return message;
    return message + FormatOneString(detailFormat, detail);
}

std::wstring ProgramUrl(const std::wstring& fileName) {
    return std::wstring(L"http://") + kDownloadHost + kProgramUrlPath + fileName;
}

std::wstring FileNameOfPath(const std::wstring& path) {
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace fetchrun
