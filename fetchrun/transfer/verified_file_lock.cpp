#include "fetchrun/transfer/verified_file_lock.h"

#include <vector>

#include "fetchrun/transfer/download_thread.h"
#include "fetchrun/transfer/hash_text.h"
#include "fetchrun/transfer/hash_thread.h"
#include "common/wide_format.h"

namespace fetchrun {

bool VerifiedFileLock::Hold(const wchar_t* path) {
    file_.reset();
    path_ = path ? path : L"";
    // No write and no delete sharing: the open fails while anyone else may change
    // the file, and afterwards nobody can. Read sharing lets it be started.
    file_.reset(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file_);
}

std::wstring VerifiedFileLock::Verify(const std::wstring& expectedHash) const {
    if (!file_) return cw::FormatText(kDlErrorTrust, static_cast<unsigned>(ERROR_INVALID_HANDLE));
    if (!expectedHash.empty()) {
        std::vector<BYTE> digest;
        HashOpenFile(file_.get(), digest);
        if (!HashTextsMatch(expectedHash, HashToText(digest.data(), digest.size()))) return kDlErrorHash;
    }
    const LONG trust = VerifyProgramSignature(path_.c_str(), file_.get());
    if (trust != 0) return cw::FormatText(kDlErrorTrust, static_cast<unsigned>(trust));
    return {};
}

}  // namespace fetchrun
