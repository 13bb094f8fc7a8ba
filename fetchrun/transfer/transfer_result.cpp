#include "fetchrun/transfer/transfer_result.h"

#include "common/wide_format.h"

namespace fetchrun {
namespace {

struct FailureText {
    TransferFailure failure;
    const wchar_t* format;  // takes the code where it has a conversion
};
constexpr FailureText kTexts[] = {
    {TransferFailure::UrlOrPath, L"CThreadDL - error: URL or Path invalid"},
    {TransferFailure::Interrupted, L"CThreadDL - thread interruped."},
    {TransferFailure::CreateTarget, L"CThreadDL - error: CreateFile (0x%08X)"},
    {TransferFailure::OpenSession, L"CThreadDL - error: InternetOpen (0x%08X)"},
    {TransferFailure::OpenUrl, L"CThreadDL - error: InternetOpenUrl (0x%08X)"},
    {TransferFailure::ReadBody, L"CThreadDL - error: InternetReadFile (0x%08X)"},
    {TransferFailure::WriteTarget, L"CThreadDL - error: WriteFile (0x%08X)"},
    {TransferFailure::Hash, L"CThreadDL - error: Hash invalid"},
    {TransferFailure::Rename, L"rename failed."},
    {TransferFailure::Trust, L"CThreadDL - error: WinVerifyTrust return 0x%08X."},
    {TransferFailure::NoResponse, L"CThreadDL - error: no response within %u s"},
};
constexpr wchar_t kIncomplete[] = L"CThreadDL - error: body incomplete (%I64u of %I64u bytes)";
constexpr wchar_t kStalled[] = L"CThreadDL - error: no data for %u s (%I64u bytes received)";
constexpr wchar_t kDeadline[] = L"CThreadDL - error: not complete within %u s (%I64u bytes received)";
constexpr wchar_t kTooSlow[] = L"CThreadDL - error: too slow (%I64u bytes in %u s)";
constexpr wchar_t kTooLarge[] = L"CThreadDL - error: larger than %I64u bytes";
// Appended to a WinINet failure when the server's last response text is known.
constexpr wchar_t kResponseSuffix[] = L" err=%d,%s";

unsigned long long Wide(std::uint64_t value) { return static_cast<unsigned long long>(value); }

}  // namespace

std::wstring FormatTransferResult(const TransferResult& result) {
    const unsigned code = static_cast<unsigned>(result.code);
    switch (result.failure) {
        case TransferFailure::Incomplete: return cw::FormatText(kIncomplete, Wide(result.received), Wide(result.announced));
        case TransferFailure::Stalled: return cw::FormatText(kStalled, code, Wide(result.received));
        case TransferFailure::Deadline: return cw::FormatText(kDeadline, code, Wide(result.received));
        case TransferFailure::TooSlow: return cw::FormatText(kTooSlow, Wide(result.received), code);
        case TransferFailure::TooLarge: return cw::FormatText(kTooLarge, Wide(result.limit));
        default: break;
    }
    std::wstring line;
    for (const FailureText& text : kTexts) {
        if (text.failure == result.failure) line = cw::FormatText(text.format, code);
    }
    if (!result.responseText.empty()) {
        line += cw::FormatText(kResponseSuffix, static_cast<int>(result.responseError), result.responseText.c_str());
    }
    return line;
}

}  // namespace fetchrun
