// The user-visible texts of Fetchrun and the text it writes into a hash-mode INI.
// Pure: no Windows headers.
#pragma once
#include <string>

namespace fetchrun {

// String-table ids of the language library that Fetchrun reads.
enum TextId : unsigned {
    kTextTitle = 105,
    kTextDownloading = 114,
    kTextErrorMsg = 115,
    kTextErrorDetail = 116,  // a format with one %s: the target's TXT 112 value
    kTextCopyright = 117,
    kTextRetryBtn = 118,
    kTextAfterBtn = 119,
    kTextEndMsg = 120,
    kTextNotFoundMsg = 124,
};
// "TXT" resources: per target, the detail text for 116, and the settings URL.
inline constexpr unsigned kListErrorDetail = 112;
inline constexpr unsigned kListSettingUrl = 113;

struct TargetTexts {
    std::wstring title;
    std::wstring downloading;
    std::wstring errorMsg;
    std::wstring copyright;
    std::wstring retryBtn;
    std::wstring afterBtn;
    std::wstring endMsg;
    std::wstring notFoundMsg;
};

// Every four-character sequence backslash, r, backslash, n becomes one line feed.
std::wstring ExpandLineBreaks(const std::wstring& text);

// `format` with its first "%s" replaced by `value` and every "%%" by "%". Any other
// '%' stays as it is, so a library string can never make the formatter read
// arguments that are not there.
std::wstring FormatOneString(const std::wstring& format, const std::wstring& value);

// String 115, followed by string 116 formatted with the TXT 112 value when there
// is one.
std::wstring ComposeErrorMessage(const std::wstring& message, const std::wstring& detailFormat,
                                 const std::wstring& detail);

// Host of the maker's download server in the URLs that hash mode writes.
inline constexpr wchar_t kDownloadHost[] = L"dl.norvane.example";
inline constexpr wchar_t kProgramUrlPath[] = L"/download/battery_exchange/fwexe/";

// "http://<host>/download/battery_exchange/fwexe/<fileName>".
std::wstring ProgramUrl(const std::wstring& fileName);

// The text after the last backslash of `path` (all of it when there is none).
std::wstring FileNameOfPath(const std::wstring& path);

}  // namespace fetchrun
