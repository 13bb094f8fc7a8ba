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
};
constexpr wchar_t kIncomplete[] = L"CThreadDL - error: body incomplete (%I64u of %I64u bytes)";
// Appended to a WinINet failure when the server's last response text is known.
constexpr wchar_t kResponseSuffix[] = L" err=%d,%s";

}  // namespace

std::wstring FormatTransferResult(const TransferResult& result) {
    if (result.failure == TransferFailure::Incomplete) {
        return cw::FormatText(kIncomplete, static_cast<unsigned long long>(result.received),
                              static_cast<unsigned long long>(result.announced));
    }
    std::wstring line;
    for (const FailureText& text : kTexts) {
        if (text.failure == result.failure) line = cw::FormatText(text.format, static_cast<unsigned>(result.code));
    }
    if (!result.responseText.empty()) {
        line += cw::FormatText(kResponseSuffix, static_cast<int>(result.responseError), result.responseText.c_str());
    }
    return line;
}

}  // namespace fetchrun
