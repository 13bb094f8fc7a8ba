#include "fetchrun/transfer/verified_file_lock.h"

#include "common/signature.h"

namespace fetchrun {

bool VerifiedFileLock::Hold(const std::wstring& path) {
    file_.reset();
    path_ = path;
    file_ = cw::HoldFileForReading(path_.c_str());
    return static_cast<bool>(file_);
}

}  // namespace fetchrun
