#include "common/held_file.h"

namespace cw {

unique_file HoldTrustedFile(const wchar_t* path, DWORD uiChoice, WintrustSize size) {
    // No write and no delete sharing: the open fails while anyone else may change
    // the file, and afterwards nobody can.
    unique_file held(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    if (!held) return held;
    if (VerifyFileSignature(path, uiChoice, size, held.get()) != 0) held.reset();
    return held;
}

}  // namespace cw
