#include "fetchrun/transfer/program_checks.h"

#include <iterator>
#include <vector>

#include "common/signature.h"
#include "fetchrun/transfer/hash_text.h"
#include "update_publisher.h"

namespace fetchrun {

TransferResult HoldProgram(const std::wstring& path, const FileIdentity& written, VerifiedFileLock& program) {
    if (!program.Hold(path)) return TransferFailed(TransferFailure::Rename, GetLastError());
    FileIdentity held;
    if (!IdentifyFile(program.Handle(), held) || !(held == written)) {
        program.Release();
        return TransferFailed(TransferFailure::Rename, ERROR_FILE_INVALID);
    }
    return {};
}

TransferResult CheckProgramHash(const std::vector<BYTE>& digest, const std::wstring& expectedHash) {
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
