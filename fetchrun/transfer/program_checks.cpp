#include "fetchrun/transfer/program_checks.h"

#include <iterator>
#include <vector>

#include "common/signature.h"
#include "fetchrun/transfer/hash_text.h"
#include "fetchrun/transfer/hash_thread.h"
#include "update_publisher.h"

namespace fetchrun {

TransferResult HoldProgram(std::wstring& path, VerifiedFileLock& program) {
    const std::wstring named = path + kProgramSuffix;
    // The temporary name is unique, the ".exe" name need not be: an earlier run
    // that started its program left "<name>.exe" behind and freed "<name>" for
    // reuse. What lies there is replaced; one still running refuses that.
    if (!MoveFileExW(path.c_str(), named.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return TransferFailed(TransferFailure::Rename, GetLastError());
    }
    path = named;
    if (!program.Hold(path)) return TransferFailed(TransferFailure::Rename, GetLastError());
    return {};
}

TransferResult CheckProgramHash(const VerifiedFileLock& program, const std::wstring& expectedHash) {
    std::vector<BYTE> digest;
    HashOpenFile(program.Handle(), digest);
    if (!HashTextsMatch(expectedHash, HashToText(digest.data(), digest.size()))) {
        return TransferFailed(TransferFailure::Hash);
    }
    return {};
}

TransferResult CheckProgramSignature(const VerifiedFileLock& program) {
    const LONG trust = VerifyProgramSignature(program.Path().c_str(), program.Handle());
    if (trust != 0) return TransferFailed(TransferFailure::Trust, static_cast<std::uint32_t>(trust));
    return {};
}

LONG VerifyProgramSignature(const wchar_t* path, HANDLE file) {
    static constexpr cw::Publisher kPublisher = {kUpdatePublisher, kUpdatePublisherKeys,
                                                 std::size(kUpdatePublisherKeys)};
    return cw::VerifyFileSignature(path, WTD_UI_NONE, cw::WintrustSize::WithSignatureSettings, file, &kPublisher);
}

}  // namespace fetchrun
